// Helpers shared by Corekit's tests: scratch folders, raw file bytes, environment, process id.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace corekit_test {

// A fresh folder under the system's temp folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  // UTF-8 path of a file in the folder.
  std::string File(std::string_view name) const;

 private:
  std::filesystem::path m_path;
};

void WriteBytes(const std::string& utf8Path, std::string_view bytes);
std::string ReadBytes(const std::string& utf8Path);

// Sets (or, with a null value, removes) a variable of the process environment.
void SetEnv(const char* name, const char* value);

unsigned long OwnProcessId();

}  // namespace corekit_test
