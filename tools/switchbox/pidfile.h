// A pidfile that readers never see half-written and that is removed only by
// the process it names.
#pragma once
#include <sys/types.h>
#include <string>

namespace nv::switchbox {

[[nodiscard]] bool WritePidFile(const std::string& path, pid_t pid, std::string& error);

// Removes `path` when it still names `pid`; a successor's file stays.
void RemovePidFileIfOurs(const std::string& path, pid_t pid) noexcept;

}  // namespace nv::switchbox
