// Registry helpers of the adapter list tests.  Every tree the tests build lives below a scratch
// key "SOFTWARE\NetvaneTest-<pid>" under HKEY_LOCAL_MACHINE, which CNicList is given as its
// registry root, so the machine's own network settings are never touched.  Natively the process
// store is pointed at a temporary file first (NV_REGISTRY_DB); under Wine it is Wine's registry.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "netvane/nic_notice.h"

namespace nictest {

// Sets up the temporary store (natively) once per process; call before any registry access.
void UseTemporaryStore();

// "SOFTWARE\NetvaneTest-<pid>".
std::string ScratchRoot();
// Deletes the scratch tree; true when it is gone.
bool DeleteScratchTree();

// Writes below the scratch root, creating keys on the way; false when the registry refused.
bool CreateKey(const std::string& path);
bool SetString(const std::string& path, const std::string& name, const std::string& value);
bool SetNumber(const std::string& path, const std::string& name, uint32_t value);
bool SetStrings(const std::string& path, const std::string& name, const std::vector<std::string>& value);

// Reads below the scratch root; nullopt when the key or the value is missing or of another type.
std::optional<std::string> ReadString(const std::string& path, const std::string& name);
std::optional<uint32_t> ReadNumber(const std::string& path, const std::string& name);
std::optional<std::vector<std::string>> ReadStrings(const std::string& path, const std::string& name);
bool HasValue(const std::string& path, const std::string& name);

// Counts the notices instead of showing them.
class RecordingNotice final : public nv::core::INicNotice {
 public:
  void NoNicInstalled(const std::string& text) noexcept override {
    ++count;
    last = text;
  }
  int count = 0;
  std::string last;
};

}  // namespace nictest
