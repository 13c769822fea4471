// SHA-256 by the platform's cryptography (CNG on Windows, OpenSSL natively): the update client
// checks downloads with it and the finisher checks the staged files again before installing them.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nv::updater {

using Sha256Digest = std::array<uint8_t, 32>;

class ISha256 {
 public:
  virtual ~ISha256() = default;
  virtual void Update(const void* data, size_t size) noexcept = 0;
  // False when the platform failed; the digest is then meaningless.
  virtual bool Final(Sha256Digest& digest) noexcept = 0;
};

// Null when the platform offers no SHA-256.
std::unique_ptr<ISha256> NewPlatformSha256() noexcept;

// 64 lower-case hex digits.
std::string Sha256Text(const Sha256Digest& digest);

}  // namespace nv::updater
