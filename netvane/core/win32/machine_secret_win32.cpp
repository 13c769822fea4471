#include "netvane/machine_secret.h"

#include <memory>

#include "corekit/debug.h"
#include "platform/windows_api.h"

#include <wincrypt.h>  // after windows.h, which it needs

namespace nv::core {
namespace {

struct LocalFreeDeleter {
  void operator()(BYTE* p) const noexcept { ::LocalFree(p); }
};
using LocalBytes = std::unique_ptr<BYTE, LocalFreeDeleter>;

DATA_BLOB Blob(const void* data, size_t size) {
  return DATA_BLOB{static_cast<DWORD>(size), static_cast<BYTE*>(const_cast<void*>(data))};
}

}  // namespace

std::optional<std::vector<uint8_t>> ProtectMachineSecret(std::string_view plain) noexcept {
  try {
    DATA_BLOB in = Blob(plain.data(), plain.size());
    DATA_BLOB out{};
    // Local-machine scope: the tray program runs as whoever is logged on, and every one of them
    // must log on to the same NetWare server with the stored password.
    if (!::CryptProtectData(&in, L"Netvane", nullptr, nullptr, nullptr,
                            CRYPTPROTECT_LOCAL_MACHINE | CRYPTPROTECT_UI_FORBIDDEN, &out)) {
      CDebug::dprintf("ProtectMachineSecret: CryptProtectData failed (%lu)\n", ::GetLastError());
      return std::nullopt;
    }
    LocalBytes owner(out.pbData);
    return std::vector<uint8_t>(out.pbData, out.pbData + out.cbData);
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> UnprotectMachineSecret(const std::vector<uint8_t>& sealed) noexcept {
  try {
    if (sealed.empty()) return std::nullopt;
    DATA_BLOB in = Blob(sealed.data(), sealed.size());
    DATA_BLOB out{};
    if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) {
      CDebug::dprintf("UnprotectMachineSecret: CryptUnprotectData failed (%lu)\n", ::GetLastError());
      return std::nullopt;
    }
    LocalBytes owner(out.pbData);
    return std::string(reinterpret_cast<const char*>(out.pbData), out.cbData);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace nv::core
