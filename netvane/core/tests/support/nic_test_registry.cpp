#include "nic_test_registry.h"

#include <utility>

#include "corekit/registry.h"
#include "corekit/testing/registry_sandbox.h"

namespace nictest {
namespace {

using corekit::kHKeyLocalMachine;
using corekit::RegKey;

std::string Full(const std::string& path) {
  return path.empty() ? ScratchRoot() : ScratchRoot() + "\\" + path;
}

bool OpenScratch(CRegistry& reg, const std::string& path) {
  return reg.uOpenKey(kHKeyLocalMachine, Full(path).c_str()) != 0;
}

bool CreateScratch(CRegistry& reg, const std::string& path) {
  return reg.Connect(kHKeyLocalMachine) && reg.Create(Full(path).c_str());
}

// The stored type of a value; nullopt when it cannot be read.
std::optional<CRegistry::KeyValueTypes> TypeOf(CRegistry& reg, const std::string& name) {
  CRegistry::KeyValueTypes type = CRegistry::typeNone;
  uint32_t size = 0;
  if (!reg.QueryValue(name.c_str(), type, nullptr, size)) return std::nullopt;
  return type;
}

class LoggingRegistry final : public corekit::RegistryApi {
 public:
  LoggingRegistry(std::shared_ptr<corekit::RegistryApi> inner, std::vector<std::string>& log)
      : inner_(std::move(inner)), log_(log) {}

  int32_t OpenKey(RegKey parent, const char* path, uint32_t access, RegKey* result) noexcept override {
    std::string p = path ? path : "";
    const std::string root = ScratchRoot() + "\\";
    if (p.compare(0, root.size(), root) == 0) p.erase(0, root.size());
    log_.push_back("open " + p);
    return inner_->OpenKey(parent, path, access, result);
  }
  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) noexcept override {
    log_.push_back(std::string("set ") + (name ? name : ""));
    return inner_->SetValue(key, name, type, data, size);
  }
  int32_t DeleteValue(RegKey key, const char* name) noexcept override {
    log_.push_back(std::string("delete ") + (name ? name : ""));
    return inner_->DeleteValue(key, name);
  }

  int32_t CreateKey(RegKey parent, const char* path, const char* cls, uint32_t options, uint32_t access,
                    void* security, RegKey* result, uint32_t* disposition) noexcept override {
    return inner_->CreateKey(parent, path, cls, options, access, security, result, disposition);
  }
  int32_t CloseKey(RegKey key) noexcept override { return inner_->CloseKey(key); }
  int32_t ConnectRegistry(const char* machine, RegKey root, RegKey* result) noexcept override {
    return inner_->ConnectRegistry(machine, root, result);
  }
  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) noexcept override {
    return inner_->QueryValue(key, name, type, data, size);
  }
  int32_t DeleteKey(RegKey parent, const char* path) noexcept override {
    return inner_->DeleteKey(parent, path);
  }
  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameLen, char* cls, uint32_t* classLen,
                  uint64_t* lastWrite) noexcept override {
    return inner_->EnumKey(key, index, name, nameLen, cls, classLen, lastWrite);
  }
  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLen, uint32_t* type, uint8_t* data,
                    uint32_t* size) noexcept override {
    return inner_->EnumValue(key, index, name, nameLen, type, data, size);
  }
  int32_t QueryInfoKey(RegKey key, char* cls, uint32_t* classLen,
                       corekit::RegKeyInfo* info) noexcept override {
    return inner_->QueryInfoKey(key, cls, classLen, info);
  }
  int32_t FlushKey(RegKey key) noexcept override { return inner_->FlushKey(key); }
  int32_t LoadKey(RegKey key, const char* subkey, const char* file) noexcept override {
    return inner_->LoadKey(key, subkey, file);
  }
  int32_t UnLoadKey(RegKey key, const char* subkey) noexcept override {
    return inner_->UnLoadKey(key, subkey);
  }
  int32_t ReplaceKey(RegKey key, const char* subkey, const char* newFile,
                     const char* oldFile) noexcept override {
    return inner_->ReplaceKey(key, subkey, newFile, oldFile);
  }
  int32_t SaveKey(RegKey key, const char* file, void* security) noexcept override {
    return inner_->SaveKey(key, file, security);
  }
  int32_t RestoreKey(RegKey key, const char* file, uint32_t flags) noexcept override {
    return inner_->RestoreKey(key, file, flags);
  }
  int32_t GetKeySecurity(RegKey key, uint32_t what, void* descriptor, uint32_t* size) noexcept override {
    return inner_->GetKeySecurity(key, what, descriptor, size);
  }
  int32_t SetKeySecurity(RegKey key, uint32_t what, void* descriptor) noexcept override {
    return inner_->SetKeySecurity(key, what, descriptor);
  }
  int32_t NotifyChangeKeyValue(RegKey key, bool wholeSubtree, uint32_t filter, void* event,
                               bool asynchronous) noexcept override {
    return inner_->NotifyChangeKeyValue(key, wholeSubtree, filter, event, asynchronous);
  }
  int32_t EnableRestorePrivilege() noexcept override { return inner_->EnableRestorePrivilege(); }
  int32_t LocalComputerName(std::string& name) noexcept override { return inner_->LocalComputerName(name); }

 private:
  std::shared_ptr<corekit::RegistryApi> inner_;
  std::vector<std::string>& log_;
};

}  // namespace

void UseTemporaryStore() { corekit::testing::UseTemporaryRegistryStore(); }

std::string ScratchRoot() { return corekit::testing::ProcessScratchName("SOFTWARE\\NetvaneTest"); }

bool DeleteScratchTree() { return corekit::testing::DeleteTree(kHKeyLocalMachine, ScratchRoot()); }

bool CreateKey(const std::string& path) {
  CRegistry reg;
  return CreateScratch(reg, path);
}

bool SetString(const std::string& path, const std::string& name, const std::string& value) {
  CRegistry reg;
  return CreateScratch(reg, path) && reg.SetValue(name.c_str(), value);
}

bool SetNumber(const std::string& path, const std::string& name, uint32_t value) {
  CRegistry reg;
  return CreateScratch(reg, path) && reg.SetValue(name.c_str(), value);
}

bool SetStrings(const std::string& path, const std::string& name, const std::vector<std::string>& value) {
  CRegistry reg;
  return CreateScratch(reg, path) && reg.SetValue(name.c_str(), value);
}

std::optional<std::string> ReadString(const std::string& path, const std::string& name) {
  CRegistry reg;
  std::string value;
  if (!OpenScratch(reg, path) || TypeOf(reg, name) != CRegistry::typeString) return std::nullopt;
  if (!reg.GetValue(name.c_str(), value)) return std::nullopt;
  return value;
}

std::optional<uint32_t> ReadNumber(const std::string& path, const std::string& name) {
  CRegistry reg;
  uint32_t value = 0;
  if (!OpenScratch(reg, path) || TypeOf(reg, name) != CRegistry::typeDoubleWord) return std::nullopt;
  if (!reg.GetValue(name.c_str(), value)) return std::nullopt;
  return value;
}

std::optional<std::vector<std::string>> ReadStrings(const std::string& path, const std::string& name) {
  CRegistry reg;
  std::vector<std::string> value;
  if (!OpenScratch(reg, path) || TypeOf(reg, name) != CRegistry::typeMultipleString) return std::nullopt;
  if (!reg.GetValue(name.c_str(), value)) return std::nullopt;
  return value;
}

bool HasValue(const std::string& path, const std::string& name) {
  CRegistry reg;
  return OpenScratch(reg, path) && TypeOf(reg, name).has_value();
}

std::shared_ptr<corekit::RegistryApi> MakeLoggingRegistry(std::vector<std::string>& log) {
  return std::make_shared<LoggingRegistry>(corekit::SystemRegistryApi(), log);
}

}  // namespace nictest
