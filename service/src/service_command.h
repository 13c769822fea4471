// NvSVC's command line: the first argument picks what the program does.
#pragma once
#include <string_view>

namespace nv::service {

enum class ServiceCommand {
  kNone,     // no argument or an unknown one: exit at once, printing nothing
  kInstall,  // "-i"
  kRemove,   // "-u"
  kRun,      // "-" + the service name: run under the service control dispatcher
};

// `firstArgument` is null when the program got none; compared without case.
ServiceCommand ParseServiceCommand(const char* firstArgument, std::string_view serviceName) noexcept;

}  // namespace nv::service
