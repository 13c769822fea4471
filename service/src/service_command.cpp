#include "service_command.h"

#include <string>

#include "platform/text.h"

namespace nv::service {

ServiceCommand ParseServiceCommand(const char* firstArgument, std::string_view serviceName) noexcept {
  if (firstArgument == nullptr) return ServiceCommand::kNone;
  const std::string_view argument(firstArgument);
  if (nv::text::EqualsNoCase(argument, "-i")) return ServiceCommand::kInstall;
  if (nv::text::EqualsNoCase(argument, "-u")) return ServiceCommand::kRemove;
  if (!argument.empty() && argument.front() == '-' && !serviceName.empty() &&
      nv::text::EqualsNoCase(argument.substr(1), serviceName))
    return ServiceCommand::kRun;
  return ServiceCommand::kNone;
}

}  // namespace nv::service
