#include "corekit/os_version.h"
#include "netvane/drive_platform.h"

namespace nv::core {

// Only the Windows 95 family keeps the logon password list in a file of the Windows folder.
std::string PasswordListFolder() {
  const COSversion os;
  return os.m_osvi.dwPlatformId == kPlatformWindows ? os.m_windowsDir : std::string();
}

}  // namespace nv::core
