// Record header, source suffix and line end of a trace record (see log_record.h).
#include "logging/log_record.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace quorvel {
namespace vanta {
namespace {

const char* const kLevelNames[] = {"LOG_TRACE", "LOG_DEBUG", "LOG_INFO", "LOG_WARN",
                                   "LOG_ERROR", "LOG_ALARM", "LOG_FATAL"};

// The calendar day of the cached midnight, shared by every thread that makes records.
struct MidnightCache {
  std::mutex lock;
  bool valid = false;
  time_t midnight = 0;
  int year = 0;
  int month = 0;
  int day = 0;
};

MidnightCache& midnightCache() {
  static MidnightCache cache;
  return cache;
}

void appendBytes(LogData* record, const char* text, size_t len) {
  int room = kLogContentSize - record->contentLen;
  if (room <= 0) return;
  if (len > static_cast<size_t>(room)) len = room;
  memcpy(record->content + record->contentLen, text, len);
  record->contentLen += static_cast<int32_t>(len);
}

void appendText(LogData* record, const char* text) { appendBytes(record, text, strlen(text)); }

}  // namespace

const char* levelName(int level) {
  if (level < LOG_LEVEL_TRACE || level > LOG_LEVEL_FATAL) return "LOG_UNKNOWN";
  return kLevelNames[level];
}

time_t localMidnight(time_t t) {
  struct tm parts;
  localtime_r(&t, &parts);
  parts.tm_hour = 0;
  parts.tm_min = 0;
  parts.tm_sec = 0;
  return mktime(&parts);
}

void writeRecordHeader(LogData* record) {
  const time_t t = static_cast<time_t>(record->time);
  int year, month, day;
  long sinceMidnight;
  {
    MidnightCache& cache = midnightCache();
    std::lock_guard<std::mutex> hold(cache.lock);
    if (!cache.valid || t < cache.midnight || t > cache.midnight + 86399) {
      struct tm parts;
      localtime_r(&t, &parts);
      cache.year = parts.tm_year + 1900;
      cache.month = parts.tm_mon + 1;
      cache.day = parts.tm_mday;
      parts.tm_hour = 0;
      parts.tm_min = 0;
      parts.tm_sec = 0;
      cache.midnight = mktime(&parts);
      cache.valid = true;
    }
    year = cache.year;
    month = cache.month;
    day = cache.day;
    sinceMidnight = static_cast<long>(t - cache.midnight);
  }
  char piece[64];
  snprintf(piece, sizeof(piece), "%04d%02d%02d", year, month, day);
  appendText(record, piece);
  snprintf(piece, sizeof(piece), " %02ld:%02ld:%02ld", sinceMidnight / 3600,
           sinceMidnight % 3600 / 60, sinceMidnight % 60);
  appendText(record, piece);
  snprintf(piece, sizeof(piece), ".%03u", record->millis);
  appendText(record, piece);
  snprintf(piece, sizeof(piece), " [%04u]", record->threadId);
  appendText(record, piece);
  appendText(record, " ");
  appendText(record, levelName(record->level));
  appendText(record, " ");
}

void appendSourceSuffix(LogData* record, const char* file, int line) {
  const char* base = file;
  for (const char* p = file; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  appendText(record, " ");
  appendText(record, base);
  appendText(record, ":");
  char number[16];
  snprintf(number, sizeof(number), "%d", line);
  appendText(record, number);
}

void finishRecordLine(LogData* record) {
  if (record->contentLen > kLogContentSize - 3) {
    record->contentLen = kLogContentSize - 1;
    record->content[record->contentLen - 2] = '\r';
    record->content[record->contentLen - 1] = '\n';
  } else {
    record->content[record->contentLen++] = '\r';
    record->content[record->contentLen++] = '\n';
  }
  record->content[record->contentLen] = '\0';
}

}  // namespace vanta
}  // namespace quorvel
