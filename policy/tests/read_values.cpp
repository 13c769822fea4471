// Prints every registry value the programs' settings readers ask for, one "subkey<TAB>value" line
// each (subkey relative to the product key, "" for the key itself): the configuration store's
// start-up loads observed through a recording registry, and the update client's keys and key
// value.  The template check compares the administrative template against this list.
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "corekit/registry.h"
#include "corekit/testing/registry_sandbox.h"
#include "netvane/cfginfo.h"
#include "netvane/product_key.h"
#include "update_settings.h"

namespace {

using corekit::RegKey;

// Passes every call to the platform's registry and notes which value of which key was asked for.
class RecordingRegistryApi final : public corekit::RegistryApi {
 public:
  explicit RecordingRegistryApi(std::shared_ptr<corekit::RegistryApi> inner) : inner_(std::move(inner)) {}

  std::set<std::pair<std::string, std::string>> reads;

  int32_t OpenKey(RegKey p, const char* path, uint32_t a, RegKey* r) noexcept override {
    const int32_t code = inner_->OpenKey(p, path, a, r);
    if (code == 0) Remember(p, path, *r);
    return code;
  }
  int32_t CreateKey(RegKey p, const char* path, const char* c, uint32_t o, uint32_t a, void* s, RegKey* r,
                    uint32_t* d) noexcept override {
    const int32_t code = inner_->CreateKey(p, path, c, o, a, s, r, d);
    if (code == 0) Remember(p, path, *r);
    return code;
  }
  int32_t CloseKey(RegKey k) noexcept override { return inner_->CloseKey(k); }
  int32_t ConnectRegistry(const char* m, RegKey root, RegKey* r) noexcept override {
    return inner_->ConnectRegistry(m, root, r);
  }
  int32_t QueryValue(RegKey k, const char* n, uint32_t* t, uint8_t* d, uint32_t* s) noexcept override {
    auto it = paths_.find(k);
    reads.insert({it == paths_.end() ? std::string("?") : it->second, n ? n : ""});
    return inner_->QueryValue(k, n, t, d, s);
  }
  int32_t SetValue(RegKey k, const char* n, uint32_t t, const uint8_t* d, uint32_t s) noexcept override {
    return inner_->SetValue(k, n, t, d, s);
  }
  int32_t DeleteValue(RegKey k, const char* n) noexcept override { return inner_->DeleteValue(k, n); }
  int32_t DeleteKey(RegKey p, const char* path) noexcept override { return inner_->DeleteKey(p, path); }
  int32_t EnumKey(RegKey k, uint32_t i, char* n, uint32_t* nl, char* c, uint32_t* cl,
                  uint64_t* w) noexcept override {
    return inner_->EnumKey(k, i, n, nl, c, cl, w);
  }
  int32_t EnumValue(RegKey k, uint32_t i, char* n, uint32_t* nl, uint32_t* t, uint8_t* d,
                    uint32_t* s) noexcept override {
    return inner_->EnumValue(k, i, n, nl, t, d, s);
  }
  int32_t QueryInfoKey(RegKey k, char* c, uint32_t* cl, corekit::RegKeyInfo* i) noexcept override {
    return inner_->QueryInfoKey(k, c, cl, i);
  }
  int32_t FlushKey(RegKey k) noexcept override { return inner_->FlushKey(k); }
  int32_t LoadKey(RegKey k, const char* s, const char* f) noexcept override {
    return inner_->LoadKey(k, s, f);
  }
  int32_t UnLoadKey(RegKey k, const char* s) noexcept override { return inner_->UnLoadKey(k, s); }
  int32_t ReplaceKey(RegKey k, const char* s, const char* n, const char* o) noexcept override {
    return inner_->ReplaceKey(k, s, n, o);
  }
  int32_t SaveKey(RegKey k, const char* f, void* s) noexcept override { return inner_->SaveKey(k, f, s); }
  int32_t RestoreKey(RegKey k, const char* f, uint32_t fl) noexcept override {
    return inner_->RestoreKey(k, f, fl);
  }
  int32_t GetKeySecurity(RegKey k, uint32_t w, void* d, uint32_t* s) noexcept override {
    return inner_->GetKeySecurity(k, w, d, s);
  }
  int32_t SetKeySecurity(RegKey k, uint32_t w, void* d) noexcept override {
    return inner_->SetKeySecurity(k, w, d);
  }
  int32_t NotifyChangeKeyValue(RegKey k, bool t, uint32_t f, void* e, bool a) noexcept override {
    return inner_->NotifyChangeKeyValue(k, t, f, e, a);
  }
  int32_t EnableRestorePrivilege() noexcept override { return inner_->EnableRestorePrivilege(); }
  int32_t LocalComputerName(std::string& name) noexcept override { return inner_->LocalComputerName(name); }

 private:
  void Remember(RegKey parent, const char* path, RegKey key) {
    auto it = paths_.find(parent);
    const std::string base = it == paths_.end() ? std::string() : it->second + "\\";
    paths_[key] = base + (path ? path : "");
  }

  std::shared_ptr<corekit::RegistryApi> inner_;
  std::map<RegKey, std::string> paths_;
};

// "PRODUCT\sub" -> "sub"; keys outside the product key are not the template's business.
bool BelowProduct(const std::string& product, const std::string& key, std::string& relative) {
  if (key.size() < product.size() || key.compare(0, product.size(), product) != 0) return false;
  relative = key.size() == product.size() ? std::string() : key.substr(product.size() + 1);
  return true;
}

}  // namespace

int main() {
  corekit::testing::UseTemporaryRegistryStore();
  const std::string product = nv::core::ProductKeyPath();

  // Two configured networks with their records, so that both records are read as well.
  for (const char* key : {"\\IPCfg", "\\IPCfg\\info0", "\\IPCfg\\info1"}) {
    CRegistry seed;
    if (!seed.Connect(corekit::kHKeyLocalMachine) || !seed.Create((product + key).c_str()) ||
        !seed.SetValue("dwIPnum", uint32_t{2})) {
      std::fprintf(stderr, "cannot seed the registry store\n");
      return 1;
    }
  }

  auto recorder = std::make_shared<RecordingRegistryApi>(corekit::SystemRegistryApi());
  CCfginfo cfg(recorder);
  COSversion os;
  CIniFile strings;
  cfg.LoadBase(os);
  cfg.LoadAll(strings);

  for (const auto& [key, value] : recorder->reads) {
    std::string relative;
    if (BelowProduct(product, key, relative)) std::printf("%s\t%s\n", relative.c_str(), value.c_str());
  }

  // The update client's server list lives in the subkeys it creates; its signing key is a value.
  nv::updater::CUpdateSettings update(product);
  update.EnsureKeys();
  CRegistry reg;
  if (reg.uOpenKey(corekit::kHKeyLocalMachine, (product + "\\Update").c_str())) {
    std::string name, className;
    for (uint32_t i = 0; reg.EnumerateKeys(i, name, className); ++i)
      std::printf("Update\\%s\t*\n", name.c_str());
  }
  std::printf("Update\t%s\n", nv::updater::kUpdatePublicKeyValue);
  std::printf("Update\t%s\n", nv::updater::kRequireVerifiedValue);
  return 0;
}
