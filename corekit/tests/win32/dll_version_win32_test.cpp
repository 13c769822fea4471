#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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

std::vector<std::string> ShippedFiles() {
  std::vector<std::string> names;
  const std::string list = NV_SHIPPED_BINARIES;
  for (size_t start = 0; start <= list.size();) {
    const size_t comma = std::min(list.find(',', start), list.size());
    names.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return names;
}

// One text of the resource's first translation, as Explorer's properties page shows it.
std::string VersionText(const std::string& file, const char* name) {
  const std::wstring path = nv::text::Widen(file);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return "(no version resource)";
  std::vector<unsigned char> block(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return "(unreadable)";
  WORD* translation = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &length) ||
      length < 4)
    return "(no translation)";
  char language[9];
  snprintf(language, sizeof language, "%04x%04x", translation[0], translation[1]);
  const std::wstring sub = nv::text::Widen(std::string("\\StringFileInfo\\") + language + "\\" + name);
  wchar_t* text = nullptr;
  if (!::VerQueryValueW(block.data(), sub.c_str(), reinterpret_cast<void**>(&text), &length) || length == 0)
    return "(missing)";
  return nv::text::Narrow(std::wstring_view(text, wcsnlen(text, length)));
}

TEST(DllVersionWin32, EveryShippedFileCarriesVersionProductAndCompany) {
  const std::vector<std::string> files = ShippedFiles();
  ASSERT_EQ(files.size(), 9u);
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    const std::string path = BuildFolder() + "\\" + name;
    const CDLLVersion version(path);
    EXPECT_TRUE(version.IsValid());
    EXPECT_EQ(version.GetMajorVersion(), kProject.major);
    EXPECT_EQ(version.GetMinorVersion(), kProject.minor);
    EXPECT_EQ(version.GetBuildNumber(), kProject.build);
    EXPECT_EQ(VersionText(path, "ProductName"), "Netvane");
    // The maker's name as the settings key spells it (SOFTWARE\Tarn\Netvane-H).
    EXPECT_EQ(VersionText(path, "CompanyName"), "Tarn");
    EXPECT_EQ(VersionText(path, "ProductVersion"), NV_PROJECT_VERSION);
    EXPECT_EQ(VersionText(path, "OriginalFilename"), name);
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
