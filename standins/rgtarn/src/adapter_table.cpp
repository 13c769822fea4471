#include "rgtarn/adapter_table.h"

#include <algorithm>
#include <cstring>

#include "rgtarn/RG_DevIO.h"

namespace rgtarn {
namespace {

constexpr char kMarker[] = "RgateII_";

// Copies `text` zero-terminated into `field`, cut at a character boundary when too long.
template <std::size_t N>
void CopyText(char (&field)[N], const std::string& text) noexcept {
  std::size_t n = std::min(text.size(), N - 1);
  if (n < text.size()) {
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;  // continuation byte
  }
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

}  // namespace

std::string AdapterNameFor(const std::string& service) { return kAdapterPrefix + service; }

std::string ServiceNameOf(const std::string& adapter_name) {
  const std::size_t at = adapter_name.find(kMarker);
  if (at == std::string::npos) return adapter_name;
  return adapter_name.substr(at + sizeof(kMarker) - 1);
}

int FillAdapterTable(const std::vector<NicInfo>& nics, tagADAPTER_DESC* table, int max_entries) noexcept {
  if (table == nullptr || max_entries <= 0) return 0;
  const int slots = std::min(max_entries, CRG_DevIO::kMaxAdapters);
  std::memset(table, 0, sizeof(tagADAPTER_DESC) * static_cast<std::size_t>(slots));
  int filled = 0;
  for (const NicInfo& nic : nics) {
    if (filled == slots) break;
    if (nic.service.empty()) continue;
    tagADAPTER_DESC& desc = table[filled++];
    try {
      CopyText(desc.szAdapterName, AdapterNameFor(nic.service));
    } catch (...) {  // out of memory: leave the entry unused
      --filled;
      continue;
    }
    CopyText(desc.szDescription, nic.description);
    std::memcpy(desc.ucMacAddr, nic.mac.data(), sizeof(desc.ucMacAddr));
  }
  return filled;
}

}  // namespace rgtarn
