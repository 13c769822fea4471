// The two update programs as built: each carries the project's version resource (what the update
// client compares against the server's list), and continue.exe imports no Corekit.dll, because it
// is the program that replaces Corekit.dll.
#include <gtest/gtest.h>

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

// The DLL names of a program's import table, read from its image mapped without loading them.
std::vector<std::string> ImportedDlls(const std::string& program) {
  std::vector<std::string> names;
  const HMODULE image =
      ::LoadLibraryExW(nv::text::Widen(program).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (image == nullptr) return names;
  const auto* base = reinterpret_cast<const uint8_t*>(image);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress != 0) {
    for (const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry)
      names.push_back(nv::text::ToUpperAscii(reinterpret_cast<const char*>(base + entry->Name)));
  }
  ::FreeLibrary(image);
  return names;
}

bool Imports(const std::vector<std::string>& names, const std::string& dll) {
  for (const std::string& name : names)
    if (name == nv::text::ToUpperAscii(dll)) return true;
  return false;
}

TEST(UpdatePrograms, CarryTheProjectVersion) {
  const VersionNumbers project = ParseVersionText(NV_PROJECT_VERSION);
  ASSERT_TRUE(project.valid);
  for (const char* name : {"continue.exe", "Updagent.exe"}) {
    SCOPED_TRACE(name);
    std::string text;
    ASSERT_TRUE(ReadFileVersionText(BuildFolder() + "\\" + name, text));
    const VersionNumbers read = ParseVersionText(text);
    EXPECT_TRUE(read.valid) << text;
    EXPECT_EQ(read.major, project.major);
    EXPECT_EQ(read.minor, project.minor);
    EXPECT_EQ(read.build, project.build);
  }
  std::string text;
  EXPECT_FALSE(ReadFileVersionText(BuildFolder() + "\\no-such-program.exe", text));
}

TEST(UpdatePrograms, ContinueRunsWithoutCorekitDll) {
  const std::vector<std::string> finisher = ImportedDlls(BuildFolder() + "\\continue.exe");
  ASSERT_TRUE(Imports(finisher, "KERNEL32.dll")) << "import table not read";
  EXPECT_FALSE(Imports(finisher, "Corekit.dll"));
  // The client may use the shared library; it is not what replaces it.
  EXPECT_TRUE(Imports(ImportedDlls(BuildFolder() + "\\Updagent.exe"), "Corekit.dll"));
}

}  // namespace
