// Windows only: string resources of a loaded module (the resource library "NvRes.dll" or the
// executable itself), for `SetStringSource`.
#pragma once
#include "corekit/resource_strings.h"
#include "platform/windows_api.h"

class COREKIT_API CModuleStringSource final : public IStringSource {
 public:
  // `module` is not owned; null means the executable's own module.
  explicit CModuleStringSource(HMODULE module) noexcept : m_module(module) {}
  bool Lookup(unsigned id, std::string& text) const noexcept override;

 private:
  HMODULE m_module;
};
