#include "name_fold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "platform/text.h"

namespace corekit {
namespace {

struct UpperRun {
  uint16_t first;
  uint16_t last;
  uint16_t stride;
  int32_t delta;
};

constexpr UpperRun kUpperRuns[] = {
#include "unicode_upper_table.inc"
};

// Rank of a byte where two UTF-8 texts first differ: the lead bytes of U+E000..U+FFFF (0xEE,
// 0xEF) move above those of four-byte characters (0xF0..0xF4), whose UTF-16 form starts with
// a surrogate (0xD800..0xDFFF).  Other bytes keep their order; the rank stays one-to-one.
unsigned Utf16OrderRank(unsigned char byte) {
  const unsigned moved = byte == 0xEE || byte == 0xEF ? byte + 0x10u : byte;
  return moved << 1 | (byte >= 0xFE ? 1u : 0u);
}

}  // namespace

char16_t UpperCodeUnit(char16_t unit) noexcept {
  const auto after = std::upper_bound(std::begin(kUpperRuns), std::end(kUpperRuns), unit,
                                      [](char16_t u, const UpperRun& run) { return u < run.first; });
  if (after == std::begin(kUpperRuns)) return unit;
  const UpperRun& run = *std::prev(after);
  if (unit > run.last || (unit - run.first) % run.stride != 0) return unit;
  return static_cast<char16_t>(unit + run.delta);
}

std::string FoldName(std::string_view utf8) {
  if (!nv::text::IsValidUtf8(utf8)) return nv::text::ToUpperAscii(utf8);
  std::u16string units = nv::text::Utf8ToUtf16(utf8);
  // Surrogates map to themselves, so characters above U+FFFF stay as they are.
  for (char16_t& unit : units) unit = UpperCodeUnit(unit);
  return nv::text::Utf16ToUtf8(units);
}

int CompareInUtf16Order(std::string_view a, std::string_view b) noexcept {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;
    const unsigned ra = Utf16OrderRank(static_cast<unsigned char>(a[i]));
    const unsigned rb = Utf16OrderRank(static_cast<unsigned char>(b[i]));
    return ra < rb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace corekit
