#include "corekit/resource_strings.h"

#include <atomic>

#include "default_strings.h"

namespace {
std::atomic<const IStringSource*> g_source{nullptr};
}  // namespace

void CStringTable::Set(unsigned id, std::string text) { m_strings[id] = std::move(text); }

bool CStringTable::Lookup(unsigned id, std::string& text) const noexcept {
  const auto it = m_strings.find(id);
  if (it == m_strings.end()) return false;
  try {
    text = it->second;
    return true;
  } catch (...) {
    return false;
  }
}

void SetStringSource(const IStringSource* source) noexcept { g_source.store(source); }

std::string LoadResourceString(unsigned id) {
  std::string text;
  const IStringSource* source = g_source.load();
  const bool found = source ? source->Lookup(id, text) : nv::corekit::LoadDefaultString(id, text);
  if (!found) text.clear();
  return text;
}
