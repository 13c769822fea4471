#include "support/scratch_registry.h"

#include "corekit/registry.h"

namespace nv::core::testing {

ScratchValueGuard::ScratchValueGuard(std::string keyPath, std::string valueName)
    : m_key(std::move(keyPath)), m_name(std::move(valueName)) {
  CRegistry key;
  if (key.uOpenKey(corekit::kHKeyLocalMachine, m_key.c_str()))
    m_existed = key.GetValue(m_name.c_str(), m_old) != 0;
}

ScratchValueGuard::~ScratchValueGuard() {
  CRegistry key;
  if (!key.uOpenKey(corekit::kHKeyLocalMachine, m_key.c_str())) return;
  if (m_existed) {
    key.SetValue(m_name.c_str(), m_old);
  } else {
    key.DeleteValue(m_name.c_str());
  }
}

}  // namespace nv::core::testing
