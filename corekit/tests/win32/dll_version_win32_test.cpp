#include <gtest/gtest.h>

#include <string>

#include "corekit/dll_version.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace {

std::string BuildFolder() {
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::string path = nv::text::Narrow(std::wstring_view(self, n));
  return path.substr(0, path.find_last_of('\\'));
}

// NV_PROJECT_VERSION: the version number the build gave every deliverable ("1.3.12.0").
const VersionNumbers kProject = ParseVersionText(NV_PROJECT_VERSION);

TEST(DllVersionWin32, OurLibrariesReadBackTheProjectVersion) {
  ASSERT_TRUE(kProject.valid);
  for (const char* name : {"Corekit.dll", "NvIdle.dll"}) {
    SCOPED_TRACE(name);
    const CDLLVersion version(BuildFolder() + "\\" + name);
    EXPECT_TRUE(version.IsValid());
    EXPECT_EQ(version.GetMajorVersion(), kProject.major);
    EXPECT_EQ(version.GetMinorVersion(), kProject.minor);
    EXPECT_EQ(version.GetBuildNumber(), kProject.build);
    // The resource's text is the comma-and-blank form: read through the second split.
    EXPECT_NE(version.GetFullVersion().find(", "), std::string::npos) << version.GetFullVersion();
  }
}

TEST(DllVersionWin32, BareNameIsFoundInTheCurrentFolder) {
  wchar_t old[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, old);
  ASSERT_TRUE(::SetCurrentDirectoryW(nv::text::Widen(BuildFolder()).c_str()));
  const CDLLVersion version("NvIdle.dll");
  ::SetCurrentDirectoryW(old);
  EXPECT_TRUE(version.IsValid());
  EXPECT_EQ(version.GetMajorVersion(), kProject.major);
  EXPECT_EQ(version.GetBuildNumber(), kProject.build);
}

TEST(DllVersionWin32, ExportedVersionComesFirst) {
  // The system's shell library answers DllGetVersion; it is found through the system folder.
  const CDLLVersion version("shell32.dll");
  EXPECT_TRUE(version.IsValid());
  EXPECT_GE(version.GetMajorVersion(), 4u);
  EXPECT_EQ(version.GetFullVersion(), std::to_string(version.GetMajorVersion()) + "." +
                                          std::to_string(version.GetMinorVersion()) + "." +
                                          std::to_string(version.GetBuildNumber()));
}

}  // namespace
