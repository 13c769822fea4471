// The folder-guard device through CreateFile and DeviceIoControl.  The device reads and writes
// record addresses in this process directly, as 32-bit values.
#include <cstring>

#include "netvane/guard_device.h"
#include "platform/text.h"
#include "platform/win32_handles.h"

namespace nv::core {
namespace {

class Win32GuardDeviceIo final : public IGuardDeviceIo {
 public:
  bool Open(const char* deviceName) override {
    m_device = nv::win32::UniqueFile(::CreateFileW(nv::text::Widen(deviceName).c_str(), 0, 0, nullptr, 0,
                                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return m_device.valid();
  }
  bool IsOpen() const override { return m_device.valid(); }

  bool Control(uint32_t code, uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
               uint32_t& returned) override {
    DWORD bytes = 0;
    const BOOL ok = ::DeviceIoControl(m_device.get(), code, in, inSize, out, outSize, &bytes, nullptr);
    returned = bytes;
    return ok != FALSE;
  }

  uint32_t AddressOf(const uint8_t* bytes, size_t) override {
    const auto address = reinterpret_cast<uintptr_t>(bytes);
    return address <= 0xFFFFFFFFu ? static_cast<uint32_t>(address) : 0;
  }

  std::string ToDeviceText(const std::string& utf8) override {
    const std::wstring wide = nv::text::Widen(utf8);
    const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string ansi(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
      ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), n, nullptr,
                            nullptr);
    return ansi;
  }
  std::string FromDeviceText(const std::string& ansi) override { return nv::text::AnsiToUtf8(ansi); }

  bool ReadAt(uint32_t address, uint8_t* out, size_t size) override {
    if (address == 0) return false;
    std::memcpy(out, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), size);
    return true;
  }

 private:
  nv::win32::UniqueFile m_device;
};

}  // namespace

std::unique_ptr<IGuardDeviceIo> MakeSystemGuardDeviceIo() { return std::make_unique<Win32GuardDeviceIo>(); }

}  // namespace nv::core
