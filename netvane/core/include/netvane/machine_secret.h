// Machine-scope protection of small secrets (the stored NetWare passwords): data that programs
// of this machine can read back, but that is no longer plain text where it is stored.
//
// Windows: the data-protection API with the local-machine flag.  Linux: AES-256-GCM with a
// random key in the file "machine.key" beside the registry store, created owner-only (0600) on
// first use; whoever can read that file can read the secrets, as on Windows any program of the
// machine can.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nv::core {

// The protected form of `plain`; nothing when the platform refused.
std::optional<std::vector<uint8_t>> ProtectMachineSecret(std::string_view plain) noexcept;
// The plain text of a protected form; nothing when it is damaged or from another machine.
std::optional<std::string> UnprotectMachineSecret(const std::vector<uint8_t>& sealed) noexcept;

}  // namespace nv::core
