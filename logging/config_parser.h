// The logger configuration text: an INI-like list of [sections] with key=value lines, parsed
// line by line into an ordered map of section key to LoggerInfo.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "logging/loger_info.h"

namespace quorvel {
namespace vanta {

constexpr const char* kConfigTrimChars = "\r\n\t ";
constexpr const char* kSectionTrimChars = "\r\n\t []";

// Skips a UTF-8 byte-order mark at the start, then removes leading and trailing characters
// found in `trimSet`.
std::string trimConfigText(const std::string& text, const char* trimSet);

// Byte sum of the text, the configuration's change detector.
uint32_t configChecksum(const std::string& text);

using ConfigSections = std::map<std::string, LoggerInfo>;

// Parses one line into `sections`, updating the current `section` key; false for an empty line.
bool parseConfigLine(const std::string& line, std::string* section, ConfigSections* sections);

// Cuts the text at every '\r' or '\n' and parses each line in order.
void parseConfigText(const std::string& text, ConfigSections* sections);

}  // namespace vanta
}  // namespace quorvel
