// A registry that passes every call to the platform's and can make chosen calls fail (or
// succeed) with a given code instead, counting the calls: for the paths that the platform
// will not produce on request.
#pragma once
#include <climits>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "corekit/registry_api.h"

namespace regtest {

class ScriptedRegistryApi final : public corekit::RegistryApi {
 public:
  enum class Op {
    Open,
    Create,
    Close,
    Connect,
    QueryValue,
    SetValue,
    DeleteKey,
    EnumKey,
    QueryInfo,
    Restore,
    EnablePrivilege
  };

  explicit ScriptedRegistryApi(std::shared_ptr<corekit::RegistryApi> inner = corekit::SystemRegistryApi())
      : inner_(std::move(inner)) {}

  // The next `times` calls of `op` return `code` without reaching the registry (-1: every
  // call from then on); kPass lets them through.  Scripts for one operation are used in the
  // order they were given, so Script(op, kPass, 5) then Script(op, code) fails the sixth call.
  static constexpr int32_t kPass = INT32_MIN;
  void Script(Op op, int32_t code, int times = 1) { scripts_[op].push_back({code, times}); }
  void Clear(Op op) { scripts_.erase(op); }
  int Calls(Op op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
  }
  std::string lastMachine;

  int32_t OpenKey(corekit::RegKey p, const char* path, uint32_t a, corekit::RegKey* r) noexcept override {
    return Run(Op::Open, [&] { return inner_->OpenKey(p, path, a, r); });
  }
  int32_t CreateKey(corekit::RegKey p, const char* path, const char* c, uint32_t o, uint32_t a, void* s,
                    corekit::RegKey* r, uint32_t* d) noexcept override {
    return Run(Op::Create, [&] { return inner_->CreateKey(p, path, c, o, a, s, r, d); });
  }
  int32_t CloseKey(corekit::RegKey k) noexcept override {
    return Run(Op::Close, [&] { return inner_->CloseKey(k); });
  }
  int32_t ConnectRegistry(const char* m, corekit::RegKey root, corekit::RegKey* r) noexcept override {
    lastMachine = m ? m : "";
    return Run(Op::Connect, [&] { return inner_->ConnectRegistry(m, root, r); });
  }
  int32_t QueryValue(corekit::RegKey k, const char* n, uint32_t* t, uint8_t* d,
                     uint32_t* s) noexcept override {
    return Run(Op::QueryValue, [&] { return inner_->QueryValue(k, n, t, d, s); });
  }
  int32_t SetValue(corekit::RegKey k, const char* n, uint32_t t, const uint8_t* d,
                   uint32_t s) noexcept override {
    return Run(Op::SetValue, [&] { return inner_->SetValue(k, n, t, d, s); });
  }
  int32_t DeleteValue(corekit::RegKey k, const char* n) noexcept override {
    return inner_->DeleteValue(k, n);
  }
  int32_t DeleteKey(corekit::RegKey p, const char* path) noexcept override {
    return Run(Op::DeleteKey, [&] { return inner_->DeleteKey(p, path); });
  }
  int32_t EnumKey(corekit::RegKey k, uint32_t i, char* n, uint32_t* nl, char* c, uint32_t* cl,
                  uint64_t* w) noexcept override {
    return Run(Op::EnumKey, [&] { return inner_->EnumKey(k, i, n, nl, c, cl, w); });
  }
  int32_t EnumValue(corekit::RegKey k, uint32_t i, char* n, uint32_t* nl, uint32_t* t, uint8_t* d,
                    uint32_t* s) noexcept override {
    return inner_->EnumValue(k, i, n, nl, t, d, s);
  }
  int32_t QueryInfoKey(corekit::RegKey k, char* c, uint32_t* cl,
                       corekit::RegKeyInfo* info) noexcept override {
    return Run(Op::QueryInfo, [&] { return inner_->QueryInfoKey(k, c, cl, info); });
  }
  int32_t FlushKey(corekit::RegKey k) noexcept override { return inner_->FlushKey(k); }
  int32_t LoadKey(corekit::RegKey k, const char* s, const char* f) noexcept override {
    return inner_->LoadKey(k, s, f);
  }
  int32_t UnLoadKey(corekit::RegKey k, const char* s) noexcept override { return inner_->UnLoadKey(k, s); }
  int32_t ReplaceKey(corekit::RegKey k, const char* s, const char* n, const char* o) noexcept override {
    return inner_->ReplaceKey(k, s, n, o);
  }
  int32_t SaveKey(corekit::RegKey k, const char* f, void* s) noexcept override {
    return inner_->SaveKey(k, f, s);
  }
  int32_t RestoreKey(corekit::RegKey k, const char* f, uint32_t fl) noexcept override {
    return Run(Op::Restore, [&] { return inner_->RestoreKey(k, f, fl); });
  }
  int32_t GetKeySecurity(corekit::RegKey k, uint32_t w, void* d, uint32_t* s) noexcept override {
    return inner_->GetKeySecurity(k, w, d, s);
  }
  int32_t SetKeySecurity(corekit::RegKey k, uint32_t w, void* d) noexcept override {
    return inner_->SetKeySecurity(k, w, d);
  }
  int32_t NotifyChangeKeyValue(corekit::RegKey k, bool w, uint32_t f, void* e, bool a) noexcept override {
    return inner_->NotifyChangeKeyValue(k, w, f, e, a);
  }
  int32_t EnableRestorePrivilege() noexcept override {
    return Run(Op::EnablePrivilege, [&] { return inner_->EnableRestorePrivilege(); });
  }
  int32_t LocalComputerName(std::string& name) noexcept override { return inner_->LocalComputerName(name); }

 private:
  struct Scripted {
    int32_t code;
    int times;
  };
  template <typename F>
  int32_t Run(Op op, F&& real) {
    ++calls_[op];
    auto it = scripts_.find(op);
    if (it == scripts_.end() || it->second.empty()) return real();
    Scripted& next = it->second.front();
    const int32_t code = next.code;
    if (next.times > 0 && --next.times == 0) it->second.pop_front();
    return code == kPass ? real() : code;
  }

  std::shared_ptr<corekit::RegistryApi> inner_;
  std::map<Op, std::deque<Scripted>> scripts_;
  std::map<Op, int> calls_;
};

}  // namespace regtest
