// A folder-guard device for tests: it keeps a list of its own in a pretend memory of 32-bit
// addresses, answers the list requests as the device protocol says, and records every request
// with the exact bytes it received (block and records).
#pragma once
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "netvane/guard_device.h"

namespace nv::core::testing {

struct GuardState {
  bool opens = true;  // Open succeeds
  int openCalls = 0;
  bool failNext = false;               // the next request fails
  bool answerWithoutData = false;      // list reads succeed with 0 bytes returned
  bool latin1 = false;                 // paths travel in Latin-1, as a code page would carry them
  std::vector<uint8_t> deviceRecords;  // the device's own list, raw records
  uint32_t deviceCount = 0;            // count the device reports (may differ from the bytes on purpose)
  struct Request {
    uint32_t code = 0;
    std::vector<uint8_t> block;    // as received
    std::vector<uint8_t> records;  // the records the block's address pointed at (list sends)
  };
  std::vector<Request> requests;
};

class FakeGuardDevice final : public IGuardDeviceIo {
 public:
  static constexpr uint32_t kDeviceListAddress = 0x80001000u;  // where the device keeps its list
  static constexpr uint32_t kCallerBase = 0x00400000u;         // where caller buffers appear

  explicit FakeGuardDevice(GuardState& s) : s_(s) {}

  bool Open(const char* name) override {
    ++s_.openCalls;
    open_ = s_.opens && std::string(name) == "\\\\.\\VTARND.VXD";
    return open_;
  }
  bool IsOpen() const override { return open_; }

  bool Control(uint32_t code, uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
               uint32_t& returned) override {
    returned = 0;
    GuardState::Request request;
    request.code = code;
    request.block.assign(in, in + inSize);
    if ((code == kGuardApplyList || code == kGuardSaveList) && inSize >= 8) {
      const uint32_t count = Le32(in);
      const auto it = caller_.find(Le32(in + 4));
      if (it != caller_.end())
        request.records.assign(it->second.first, it->second.first + count * kFolderRecordSize);
    }
    s_.requests.push_back(request);
    if (s_.failNext) {
      s_.failNext = false;
      return false;
    }
    if ((code == kGuardGetList || code == kGuardReadList) && out != nullptr && outSize >= 8) {
      if (s_.answerWithoutData) return true;
      PutLe32(out, s_.deviceCount);
      PutLe32(out + 4, kDeviceListAddress);
      returned = outSize;
    }
    return true;
  }

  uint32_t AddressOf(const uint8_t* bytes, size_t size) override {
    const uint32_t address = kCallerBase + 0x10000u * static_cast<uint32_t>(caller_.size());
    caller_[address] = {bytes, size};
    return address;
  }

  bool ReadAt(uint32_t address, uint8_t* out, size_t size) override {
    if (address != kDeviceListAddress || size > s_.deviceRecords.size()) return false;
    std::memcpy(out, s_.deviceRecords.data(), size);
    return true;
  }

  std::string ToDeviceText(const std::string& utf8) override {
    if (!s_.latin1) return utf8;
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
      const auto c = static_cast<unsigned char>(utf8[i]);
      if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
        out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
      } else {
        out += static_cast<char>(c);
      }
    }
    return out;
  }
  std::string FromDeviceText(const std::string& text) override {
    if (!s_.latin1) return text;
    std::string out;
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if (c < 0x80) {
        out += ch;
      } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out;
  }

  static uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
  }
  static void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }

 private:
  GuardState& s_;
  bool open_ = false;
  std::map<uint32_t, std::pair<const uint8_t*, size_t>> caller_;
};

// A raw device record: flags, then the path NUL-padded to 256 bytes.
inline std::vector<uint8_t> RawRecord(uint8_t flags, const std::string& path) {
  std::vector<uint8_t> r(kFolderRecordSize, 0);
  r[0] = flags;
  std::memcpy(r.data() + 1, path.data(), path.size());
  return r;
}

inline COSversion Windows95Family() {
  COSversion os;
  os.m_osvi.dwPlatformId = kPlatformWindows;
  os.m_osvi.dwMajorVersion = 4;
  os.m_osvi.dwMinorVersion = 10;
  return os;
}

inline COSversion NtFamily() {
  COSversion os;
  os.m_osvi.dwPlatformId = kPlatformNT;
  os.m_osvi.dwMajorVersion = 5;
  return os;
}

}  // namespace nv::core::testing
