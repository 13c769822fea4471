#include "netvane/change_audit.h"

namespace nv::core {

// Linux keeps the audit trail in the JSON-lines file only.
std::unique_ptr<IEventLog> MakeSystemEventLog() { return nullptr; }

}  // namespace nv::core
