// Parser of the logger configuration text (see config_parser.h).
#include "logging/config_parser.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace quorvel {
namespace vanta {
namespace {

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

bool parseFlag(const std::string& value) { return value != "false" && value != "0"; }

// Level names of the configuration; any other value leaves `level` unchanged.
void parseLevel(const std::string& value, SharedValue<int32_t>* level) {
  static const std::map<std::string, int32_t> kLevels = {{"trace", 0}, {"all", 0},   {"debug", 1},
                                                         {"info", 2},  {"warn", 3},  {"warning", 3},
                                                         {"error", 4}, {"alarm", 5}, {"fatal", 6}};
  auto found = kLevels.find(value);
  if (found != kLevels.end()) *level = found->second;
}

void setValue(const std::string& key, const std::string& rawValue, LoggerInfo* info) {
  if (key == "path") {
    info->path = rawValue;
    return;
  }
  if (key == "name") {
    info->name = rawValue;
    return;
  }
  const std::string value = lowerCase(rawValue);
  if (key == "level") {
    parseLevel(value, &info->level);
  } else if (key == "display") {
    info->display = parseFlag(value);
  } else if (key == "outfile") {
    info->outfile = parseFlag(value);
  } else if (key == "monthdir") {
    info->monthdir = parseFlag(value);
  } else if (key == "fileline") {
    info->fileline = parseFlag(value);
  } else if (key == "enable") {
    info->enable = parseFlag(value);
  } else if (key == "limitsize") {
    info->limitsize = static_cast<uint32_t>(strtoll(value.c_str(), nullptr, 10));
  } else if (key == "reserve") {
    info->reserve = strtoll(value.c_str(), nullptr, 10);
  }
}

}  // namespace

std::string trimConfigText(const std::string& text, const char* trimSet) {
  size_t begin = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) begin = 3;
  while (begin < text.size() && strchr(trimSet, text[begin]) != nullptr && text[begin] != '\0') {
    ++begin;
  }
  size_t end = text.size();
  while (end > begin && strchr(trimSet, text[end - 1]) != nullptr && text[end - 1] != '\0') --end;
  return text.substr(begin, end - begin);
}

uint32_t configChecksum(const std::string& text) {
  uint32_t sum = 0;
  for (char c : text) sum += static_cast<unsigned char>(c);
  return sum;
}

bool parseConfigLine(const std::string& line, std::string* section, ConfigSections* sections) {
  if (line.empty()) return false;
  const size_t equals = line.find('=');
  const std::string rawKey = line.substr(0, equals);
  const std::string rawValue = equals == std::string::npos ? "" : line.substr(equals + 1);
  const std::string key = trimConfigText(rawKey, kConfigTrimChars);
  if (key.empty() || key[0] == '#') return true;
  if (key[0] == '[') {
    std::string name = trimConfigText(rawKey, kSectionTrimChars);
    if (lowerCase(name) == "main") name = "Main";
    *section = name;
    if (sections->find(name) == sections->end()) {
      LoggerInfo& info = (*sections)[name];
      info.enable = true;
      info.key = name;
      info.name = name;
    }
    return true;
  }
  auto entry = sections->find(*section);
  if (entry == sections->end()) return true;
  setValue(lowerCase(key), trimConfigText(rawValue, kConfigTrimChars), &entry->second);
  return true;
}

void parseConfigText(const std::string& text, ConfigSections* sections) {
  std::string section;
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string::npos) end = text.size();
    parseConfigLine(text.substr(begin, end - begin), &section, sections);
    begin = end + 1;
  }
}

}  // namespace vanta
}  // namespace quorvel
