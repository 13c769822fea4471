// There is no folder-guard device natively: it never opens.
#include "netvane/guard_device.h"

namespace nv::core {
namespace {

class NoGuardDeviceIo final : public IGuardDeviceIo {
 public:
  bool Open(const char*) override { return false; }
  bool IsOpen() const override { return false; }
  bool Control(uint32_t, uint8_t*, uint32_t, uint8_t*, uint32_t, uint32_t& returned) override {
    returned = 0;
    return false;
  }
  uint32_t AddressOf(const uint8_t*, size_t) override { return 0; }
  bool ReadAt(uint32_t, uint8_t*, size_t) override { return false; }
};

}  // namespace

std::unique_ptr<IGuardDeviceIo> MakeSystemGuardDeviceIo() { return std::make_unique<NoGuardDeviceIo>(); }

}  // namespace nv::core
