// The process-wide log manager: built on first use (thread-safe), destroyed at process exit,
// which stops its thread and closes its files.
#include "logging/loger_manager.h"

namespace quorvel {
namespace vanta {

IVantaManager* IVantaManager::getInstance() {
  static LogerManager manager;
  return &manager;
}

}  // namespace vanta
}  // namespace quorvel
