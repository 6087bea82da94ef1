// The log statement behind VLOG_*: test first, then make, format and push one record.
#include <cstdarg>
#include <cstdio>

#include "logging/vanta.h"

namespace quorvel {
namespace vanta {

void vlogPrintfTo(IVantaManager* manager, int id, int level, const char* file, int line,
                  const char* fmt, va_list args) {
  if (!manager->prePushLog(id, level)) return;
  LogData* record = manager->makeLogData(id, level);
  if (record == nullptr) return;
  int room = kLogContentSize - record->contentLen;
  if (room > 0) {
    // The analyzer cannot see that every caller starts `args`; both callers below do.
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
    int produced = vsnprintf(record->content + record->contentLen, room, fmt, args);
    if (produced < 0) produced = 0;
    if (produced > room) produced = room;
    record->contentLen += produced;
  }
  manager->pushLog(record, file, line);
}

void logPrintfTo(IVantaManager* manager, int id, int level, const char* file, int line,
                 const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  vlogPrintfTo(manager, id, level, file, line, fmt, args);
  va_end(args);
}

void logPrintf(int id, int level, const char* file, int line, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  vlogPrintfTo(IVantaManager::getInstance(), id, level, file, line, fmt, args);
  va_end(args);
}

}  // namespace vanta
}  // namespace quorvel
