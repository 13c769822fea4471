#include "nic_test_registry.h"

#include "corekit/registry.h"
#include "corekit/testing/registry_sandbox.h"

namespace nictest {
namespace {

using corekit::kHKeyLocalMachine;

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

}  // namespace nictest
