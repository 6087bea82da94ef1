// The log statement behind VLOG_*: format into the record's text area and push it.
#include <cstdarg>
#include <cstdio>

#include "logging/vanta.h"

namespace quorvel {
namespace vanta {

void logPrintf(int id, int level, const char* file, int line, const char* fmt, ...) {
  IVantaManager* manager = IVantaManager::getInstance();
  if (!manager->prePushLog(id, level)) return;
  LogData* record = manager->makeLogData(id, level);
  if (record == nullptr) return;
  int room = kLogContentSize - record->contentLen;
  if (room > 0) {
    va_list args;
    va_start(args, fmt);
    int produced = vsnprintf(record->content + record->contentLen, room, fmt, args);
    va_end(args);
    if (produced < 0) produced = 0;
    if (produced > room) produced = room;
    record->contentLen += produced;
  }
  manager->pushLog(record, file, line);
}

}  // namespace vanta
}  // namespace quorvel
