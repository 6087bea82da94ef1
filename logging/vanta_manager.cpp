// The process-wide log manager: built on first use (thread-safe), destroyed at process exit,
// which stops its thread and closes its files.
#include "logging/loger_manager.h"

namespace quorvel {
namespace vanta {

namespace {
LogerManager& theManager() {
  static LogerManager manager;
  return manager;
}
}  // namespace

IVantaManager* IVantaManager::getInstance() { return &theManager(); }

void setDurableClose(bool on) { theManager().setDurableClose(on); }

}  // namespace vanta
}  // namespace quorvel
