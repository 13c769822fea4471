// UTF-8 is the text encoding inside the system; UTF-16 appears only at Win32 calls.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace nv::text {

// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes) noexcept;

// ASCII-only case folding, as the registry and the INI texts compare names.
std::string ToUpperAscii(std::string_view s);
std::string ToLowerAscii(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b) noexcept;

// Two lower-case hexadecimal digits per byte.
std::string HexText(std::string_view bytes);
// The bytes that `hex` spells, two digits of either case each; nothing when it holds anything
// else or an odd number of digits.
std::optional<std::string> BytesFromHex(std::string_view hex);

// UTF-8 <-> UTF-16; invalid input is replaced by U+FFFD rather than dropped.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

#ifdef _WIN32
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// Text in the system ANSI code page (old string files) to UTF-8.
std::string AnsiToUtf8(std::string_view ansi);
#endif

}  // namespace nv::text
