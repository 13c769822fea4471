// IPv4 addresses as the system passes them: 32-bit numbers with the first octet in the
// most significant byte, written as dotted text "%d.%d.%d.%d"; MACs as six bytes.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nvutil {

using MacAddress = std::array<std::uint8_t, 6>;

// Strict dotted quad: four decimal octets of one to three digits, nothing else (no
// octal or hex forms, no spaces). Returns nothing for anything else.
std::optional<std::uint32_t> ParseDotted(std::string_view text) noexcept;
std::string FormatDotted(std::uint32_t address);

// Bytes in wire order (first octet first), as sockets and the IP helper rows hold them.
std::array<std::uint8_t, 4> ToWireBytes(std::uint32_t address) noexcept;
std::uint32_t FromWireBytes(const std::uint8_t* bytes) noexcept;

// Prefix length of a contiguous mask (255.255.255.0 -> 24); nothing for 255.0.255.0.
std::optional<int> MaskToPrefixLength(std::uint32_t mask) noexcept;
std::uint32_t PrefixLengthToMask(int prefix) noexcept;

// "%02x-%02x-%02x-%02x-%02x-%02x", the form the traces use.
std::string FormatMac(const MacAddress& mac);
bool IsZeroMac(const MacAddress& mac) noexcept;

// Interface numbers given as text (the optional interface arguments): decimal 1..2^32-1.
std::optional<std::uint32_t> ParseInterfaceNumber(std::string_view text) noexcept;

}  // namespace nvutil
