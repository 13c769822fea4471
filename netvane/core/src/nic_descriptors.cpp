#include "netvane/nic_descriptors.h"

#include <algorithm>
#include <cstring>

#include "corekit/debug.h"

namespace nv::core {
namespace {

// Adapter names read "\Device\RgateII_<service>": the service name starts at character 16.
constexpr std::size_t kServiceNameOffset = 16;
constexpr char kMarker[] = "RgateII_";

bool IsTrailingSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsUtf8Continuation(char c) noexcept { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string NameOf(const tagADAPTER_DESC& desc) {
  return DescriptorFieldText(desc.szAdapterName, sizeof(desc.szAdapterName));
}

std::string DescriptionOf(const tagADAPTER_DESC& desc) {
  return DescriptorFieldText(desc.szDescription, sizeof(desc.szDescription));
}

MacAddress MacOf(const tagADAPTER_DESC& desc) {
  MacAddress mac{};
  std::copy(std::begin(desc.ucMacAddr), std::end(desc.ucMacAddr), mac.begin());
  return mac;
}

}  // namespace

std::string DescriptorFieldText(const char* field, std::size_t size) {
  if (field == nullptr) return {};
  const void* zero = std::memchr(field, '\0', size);
  const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : size;
  return std::string(field, length);
}

std::string RightTrimmed(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && IsTrailingSpace(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

std::string ShortenNicDescription(std::string_view description) {
  std::size_t chars = 0;
  std::size_t cut = 0;
  for (; cut < description.size(); ++cut) {
    if (IsUtf8Continuation(description[cut])) continue;
    if (chars == kNicDescriptionChars) break;
    ++chars;
  }
  if (cut == description.size()) return std::string(description);
  return RightTrimmed(description.substr(0, cut)) + "...";
}

std::optional<NicDescriptorMatch> FindNtDescriptor(const tagADAPTER_DESC* table, int entries,
                                                   const std::string& service_name) {
  if (table == nullptr || service_name.empty()) return std::nullopt;
  for (int i = 0; i < entries; ++i) {
    const std::string name = NameOf(table[i]);
    if (name.empty()) continue;
    const std::string description = DescriptionOf(table[i]);
    CDebug::dprintf("(%s)\n(%s)\n(%s)\n", description.c_str(), name.c_str(), service_name.c_str());
    if (name.size() <= kServiceNameOffset ||
        name.compare(kServiceNameOffset, std::string::npos, service_name) != 0)
      continue;
    return NicDescriptorMatch{ShortenNicDescription(description), RightTrimmed(name), MacOf(table[i])};
  }
  return std::nullopt;
}

std::optional<NicDescriptorMatch> FindWin9xDescriptor(const tagADAPTER_DESC* table, int entries,
                                                      const std::string& driver_value) {
  const std::size_t slash = driver_value.rfind('\\');
  if (table == nullptr || slash == std::string::npos || slash + 1 == driver_value.size()) return std::nullopt;
  const std::string instance = driver_value.substr(slash + 1);
  for (int i = 0; i < entries; ++i) {
    const std::string name = NameOf(table[i]);
    if (name != instance) continue;
    return NicDescriptorMatch{RightTrimmed(DescriptionOf(table[i])), RightTrimmed(name), MacOf(table[i])};
  }
  return std::nullopt;
}

std::string ServiceNameOfAdapter(const std::string& adapter_name) {
  const std::size_t at = adapter_name.find(kMarker);
  if (at != std::string::npos) return adapter_name.substr(at + sizeof(kMarker) - 1);
  return adapter_name.size() > kServiceNameOffset ? adapter_name.substr(kServiceNameOffset) : std::string();
}

}  // namespace nv::core
