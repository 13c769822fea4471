#include "corekit/psapi.h"

#include "platform/text.h"

CPSAPI::CPSAPI() noexcept = default;
CPSAPI::~CPSAPI() = default;

bool CPSAPI::OnDeviceDriver(void*) { return true; }
bool CPSAPI::OnProcess(const std::string&, unsigned long) { return true; }
bool CPSAPI::OnModule(void*, const std::string&, const std::string&) { return true; }

int CPSAPI::Initialize() noexcept { return 1; }
int CPSAPI::EnumDeviceDrivers() noexcept { return 0; }

CPSAPI::WindowHandle CPSAPI::CompProcName(const std::string& imageName, const std::string& imagePath,
                                          unsigned long processId) noexcept {
  return ImageNameMatches(imageName, imagePath) ? FindWindowX(processId) : nullptr;
}

bool ImageNameMatches(std::string_view imageName, std::string_view imagePath) noexcept {
  const size_t slash = imagePath.find_last_of("\\/");
  const std::string_view fileName = slash == std::string_view::npos ? imagePath : imagePath.substr(slash + 1);
  return !imageName.empty() && nv::text::EqualsNoCase(fileName, imageName);
}

HelperCommand BuildHelperCommand(std::string_view windowsDir, bool nt, bool throughShell,
                                 std::string_view program, std::string_view arguments) {
  const auto join = [](std::string_view a, std::string_view b) {
    return std::string(a) + " " + std::string(b);
  };
  const auto inFolder = [](std::string_view folder, std::string_view file) {
    return std::string(folder) + "\\" + std::string(file);
  };
  // A program given with its folder is run from there.
  const bool hasFolder = program.find_first_of("\\/:") != std::string_view::npos;
  const std::string quoted =
      program.find(' ') == std::string_view::npos ? std::string(program) : "\"" + std::string(program) + "\"";
  HelperCommand command;
  if (!nt && throughShell) {
    command.commandLine = "COMMAND.COM /C " + join(quoted, arguments);
    command.programFile = inFolder(windowsDir, "COMMAND.COM");
    return command;
  }
  command.commandLine = join(quoted, arguments);
  if (hasFolder) {
    command.programFile = program;
  } else {
    command.programFile =
        nt ? inFolder(inFolder(windowsDir, "system32"), program) : inFolder(windowsDir, program);
  }
  return command;
}
