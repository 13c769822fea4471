#include "netvane/machine_secret.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <memory>

#include "corekit/debug.h"
#include "corekit/registry_store_path.h"
#include "platform/posix_fd.h"

namespace nv::core {
namespace {

constexpr size_t kKeyBytes = 32;
constexpr size_t kNonceBytes = 12;
constexpr size_t kTagBytes = 16;
constexpr std::array<uint8_t, 4> kMagic = {'N', 'V', 'M', '1'};

using Key = std::array<uint8_t, kKeyBytes>;

struct CipherDeleter {
  void operator()(EVP_CIPHER_CTX* c) const noexcept { EVP_CIPHER_CTX_free(c); }
};
using Cipher = std::unique_ptr<EVP_CIPHER_CTX, CipherDeleter>;

// The key lives with the store it protects values of, so a test run's own store gets its own key.
std::string KeyPath() {
  const std::string store = corekit::RegistryStorePath();
  if (store.empty()) return {};
  return (std::filesystem::path(store).parent_path() / "machine.key").string();
}

bool ReadKey(const std::string& path, Key& key) {
  nv::posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return false;
  size_t got = 0;
  while (got < key.size()) {
    const ssize_t n = ::read(fd.get(), key.data() + got, key.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Creates the key owner-only in a temporary file and links it into place, so a second process
// never reads a half-written key: whoever links first wins and the other reads that key.
bool LoadOrCreateKey(Key& key) {
  const std::string path = KeyPath();
  if (path.empty()) return false;
  if (ReadKey(path, key)) return true;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  Key fresh{};
  if (RAND_bytes(fresh.data(), static_cast<int>(fresh.size())) != 1) return false;
  const std::string temp = path + "." + std::to_string(::getpid());
  {
    nv::posix::UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd) return false;
    if (!WriteAll(fd.get(), fresh.data(), fresh.size()) || ::fsync(fd.get()) != 0) {
      ::unlink(temp.c_str());
      return false;
    }
  }
  const bool linked = ::link(temp.c_str(), path.c_str()) == 0;
  ::unlink(temp.c_str());
  if (!linked && errno != EEXIST) return false;
  return ReadKey(path, key);
}

}  // namespace

std::optional<std::vector<uint8_t>> ProtectMachineSecret(std::string_view plain) noexcept {
  try {
    Key key{};
    if (!LoadOrCreateKey(key)) {
      CDebug::dprintf("ProtectMachineSecret: no machine key at %s\n", KeyPath().c_str());
      return std::nullopt;
    }
    std::vector<uint8_t> out(kMagic.begin(), kMagic.end());
    out.resize(kMagic.size() + kNonceBytes + plain.size() + kTagBytes);
    uint8_t* nonce = out.data() + kMagic.size();
    uint8_t* body = nonce + kNonceBytes;
    if (RAND_bytes(nonce, static_cast<int>(kNonceBytes)) != 1) return std::nullopt;
    Cipher ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int tail = 0;
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) != 1 ||
        EVP_EncryptUpdate(ctx.get(), body, &len, reinterpret_cast<const uint8_t*>(plain.data()),
                          static_cast<int>(plain.size())) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), body + len, &tail) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagBytes),
                            body + plain.size()) != 1) {
      return std::nullopt;
    }
    return out;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<std::string> UnprotectMachineSecret(const std::vector<uint8_t>& sealed) noexcept {
  try {
    if (sealed.size() < kMagic.size() + kNonceBytes + kTagBytes ||
        !std::equal(kMagic.begin(), kMagic.end(), sealed.begin())) {
      return std::nullopt;
    }
    Key key{};
    if (!ReadKey(KeyPath(), key)) return std::nullopt;
    const uint8_t* nonce = sealed.data() + kMagic.size();
    const uint8_t* body = nonce + kNonceBytes;
    const size_t bodySize = sealed.size() - kMagic.size() - kNonceBytes - kTagBytes;
    std::vector<uint8_t> tag(body + bodySize, body + bodySize + kTagBytes);
    std::string plain(bodySize, '\0');
    auto* out = reinterpret_cast<uint8_t*>(plain.data());
    Cipher ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int tail = 0;
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) != 1 ||
        EVP_DecryptUpdate(ctx.get(), out, &len, body, static_cast<int>(bodySize)) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagBytes), tag.data()) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), out + len, &tail) != 1) {
      CDebug::dprintf("UnprotectMachineSecret: the value does not open with this machine's key\n");
      return std::nullopt;
    }
    return plain;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace nv::core
