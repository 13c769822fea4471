// CGuardDevice: the folder-guard device "\\.\VTARND.VXD", which hides folders or makes them
// read-only, always or only while network B is in force.  Each operation is one device control
// request; the byte layouts below are the device's protocol.  The device exists only on the
// Windows 95 family: on NT-family systems Open refuses without touching the system, every
// operation fails and nothing is shown.
//
// Lifecycle: the handle is opened by the first operation (a failed open is tried again by the
// next one) and closed with the object.  Main thread only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "corekit/os_version.h"
#include "netvane/drive_platform.h"

namespace nv::core {

// One folder record as the device exchanges it: flags, then the path (ANSI, NUL-terminated).
inline constexpr size_t kFolderRecordSize = 257;
inline constexpr size_t kFolderPathField = 256;
// Request block of the list operations: count, record address, tag.
inline constexpr size_t kGuardRequestSize = 20;
// Network notice: network in force, tag.
inline constexpr size_t kGuardNoticeSize = 16;
inline constexpr const char* kGuardTag = "Test";
inline constexpr const char* kGuardDeviceName = "\\\\.\\VTARND.VXD";

inline constexpr uint32_t kGuardApplyList = 0x0FFF0008;
inline constexpr uint32_t kGuardNotifyNetwork = 0x0FFF000C;
inline constexpr uint32_t kGuardGetList = 0x0FFF0010;
inline constexpr uint32_t kGuardSaveList = 0x0FFF0018;
inline constexpr uint32_t kGuardReadList = 0x0FFF001C;
// More records than this in a list the device returns is taken for a damaged answer.
inline constexpr uint32_t kGuardMaxRecords = 4096;

struct FolderRecord {
  uint8_t flags = 0;
  std::string path;  // at most 255 bytes reach the device
  bool operator==(const FolderRecord& o) const { return flags == o.flags && path == o.path; }
};

// The byte layouts, little-endian like the device.
std::vector<uint8_t> EncodeRecords(const std::vector<FolderRecord>& records);
std::vector<FolderRecord> DecodeRecords(const uint8_t* bytes, size_t count);
void EncodeRequest(uint8_t (&block)[kGuardRequestSize], uint32_t count, uint32_t address);
void DecodeRequest(const uint8_t (&block)[kGuardRequestSize], uint32_t& count, uint32_t& address);
void EncodeNotice(uint8_t (&block)[kGuardNoticeSize], uint32_t network);

// The device connection.  Addresses in request blocks are 32-bit, as the device reads them.
class IGuardDeviceIo {
 public:
  virtual ~IGuardDeviceIo() = default;
  virtual bool Open(const char* deviceName) = 0;
  virtual bool IsOpen() const = 0;
  // One request: `in` goes to the device; it may write up to `outSize` bytes to `out` (which
  // may be `in`).  `returned`: bytes written.  False when the request failed.
  virtual bool Control(uint32_t code, uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                       uint32_t& returned) = 0;
  // The address under which the device reads `size` bytes at `bytes`; 0 when it cannot (a
  // buffer above 4 GB).
  virtual uint32_t AddressOf(const uint8_t* bytes, size_t size) = 0;
  // Copies `size` bytes the device keeps at `address`; false when they cannot be read.
  virtual bool ReadAt(uint32_t address, uint8_t* out, size_t size) = 0;
  // Paths travel in the system's ANSI code page; inside they are UTF-8.  Identity by default.
  virtual std::string ToDeviceText(const std::string& utf8) { return utf8; }
  virtual std::string FromDeviceText(const std::string& ansi) { return ansi; }
};

// The platform's: the device by CreateFile and DeviceIoControl on Windows; natively none.
std::unique_ptr<IGuardDeviceIo> MakeSystemGuardDeviceIo();

}  // namespace nv::core

class CGuardDevice : public nv::core::IFolderGuard {
 public:
  explicit CGuardDevice(const COSversion& os);
  CGuardDevice(const COSversion& os, std::unique_ptr<nv::core::IGuardDeviceIo> io);
  ~CGuardDevice() override;
  CGuardDevice(const CGuardDevice&) = delete;
  CGuardDevice& operator=(const CGuardDevice&) = delete;

  // True when the device is open; always false on NT-family systems.
  bool Open();
  // The device's list (its records copied out); nullopt on failure, no data or a damaged answer.
  std::optional<std::vector<nv::core::FolderRecord>> GetList();
  std::optional<std::vector<nv::core::FolderRecord>> ReadList();
  // Hands the device a list; true when the request succeeded.
  bool ApplyList(const std::vector<nv::core::FolderRecord>& records);
  bool SaveList(const std::vector<nv::core::FolderRecord>& records);
  // Tells the device the network in force (0 = A, else B).
  bool NotifyNetwork(int network);
  // IFolderGuard: the change sequence's notice after every change.
  void SetNetwork(int network) override { NotifyNetwork(network); }

 private:
  std::optional<std::vector<nv::core::FolderRecord>> FetchList(uint32_t code);
  bool SendList(uint32_t code, const std::vector<nv::core::FolderRecord>& records);

  COSversion m_os;
  std::unique_ptr<nv::core::IGuardDeviceIo> m_io;
};
