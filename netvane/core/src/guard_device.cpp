#include "netvane/guard_device.h"

#include <algorithm>
#include <cstring>

#include "corekit/debug.h"

namespace nv::core {
namespace {

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

}  // namespace

std::vector<uint8_t> EncodeRecords(const std::vector<FolderRecord>& records) {
  std::vector<uint8_t> bytes(records.size() * kFolderRecordSize, 0);
  for (size_t i = 0; i < records.size(); ++i) {
    uint8_t* record = bytes.data() + i * kFolderRecordSize;
    record[0] = records[i].flags;
    // The field keeps its terminating NUL: a longer path is cut, never written past the field.
    const size_t n = std::min(records[i].path.size(), kFolderPathField - 1);
    std::memcpy(record + 1, records[i].path.data(), n);
  }
  return bytes;
}

std::vector<FolderRecord> DecodeRecords(const uint8_t* bytes, size_t count) {
  std::vector<FolderRecord> records(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* record = bytes + i * kFolderRecordSize;
    const uint8_t* path = record + 1;
    records[i].flags = record[0];
    records[i].path.assign(reinterpret_cast<const char*>(path),
                           std::find(path, path + kFolderPathField, 0) - path);
  }
  return records;
}

void EncodeRequest(uint8_t (&block)[kGuardRequestSize], uint32_t count, uint32_t address) {
  std::memset(block, 0, sizeof block);
  PutU32(block, count);
  PutU32(block + 4, address);
  std::memcpy(block + 8, kGuardTag, std::strlen(kGuardTag));
}

void DecodeRequest(const uint8_t (&block)[kGuardRequestSize], uint32_t& count, uint32_t& address) {
  count = GetU32(block);
  address = GetU32(block + 4);
}

void EncodeNotice(uint8_t (&block)[kGuardNoticeSize], uint32_t network) {
  std::memset(block, 0, sizeof block);
  PutU32(block, network);
  std::memcpy(block + 4, kGuardTag, std::strlen(kGuardTag));
}

}  // namespace nv::core

namespace core = nv::core;

CGuardDevice::CGuardDevice(const COSversion& os) : CGuardDevice(os, core::MakeSystemGuardDeviceIo()) {}

CGuardDevice::CGuardDevice(const COSversion& os, std::unique_ptr<core::IGuardDeviceIo> io)
    : m_os(os), m_io(std::move(io)) {}

CGuardDevice::~CGuardDevice() = default;

bool CGuardDevice::Open() {
  // The device is a Windows 95 family driver: NT-family systems have none to open.
  if (m_os.isNT() || !m_io) return false;
  if (m_io->IsOpen()) return true;
  return m_io->Open(core::kGuardDeviceName);
}

std::optional<std::vector<core::FolderRecord>> CGuardDevice::GetList() {
  return FetchList(core::kGuardGetList);
}

std::optional<std::vector<core::FolderRecord>> CGuardDevice::ReadList() {
  return FetchList(core::kGuardReadList);
}

bool CGuardDevice::ApplyList(const std::vector<core::FolderRecord>& records) {
  return SendList(core::kGuardApplyList, records);
}

bool CGuardDevice::SaveList(const std::vector<core::FolderRecord>& records) {
  return SendList(core::kGuardSaveList, records);
}

bool CGuardDevice::NotifyNetwork(int network) {
  if (!Open()) return false;
  uint8_t block[core::kGuardNoticeSize];
  core::EncodeNotice(block, network != 0 ? 1 : 0);
  uint32_t returned = 0;
  return m_io->Control(core::kGuardNotifyNetwork, block, sizeof block, nullptr, 0, returned);
}

std::optional<std::vector<core::FolderRecord>> CGuardDevice::FetchList(uint32_t code) {
  if (!Open()) return std::nullopt;
  uint8_t block[core::kGuardRequestSize];
  core::EncodeRequest(block, 0, 0);
  uint32_t returned = 0;
  if (!m_io->Control(code, block, sizeof block, block, sizeof block, returned) || returned == 0)
    return std::nullopt;
  uint32_t count = 0;
  uint32_t address = 0;
  core::DecodeRequest(block, count, address);
  if (address == 0) return std::nullopt;
  if (count > core::kGuardMaxRecords) {
    CDebug::dprintf("CGuardDevice: list of %u records refused\n", count);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * core::kFolderRecordSize);
  if (count != 0 && !m_io->ReadAt(address, bytes.data(), bytes.size())) return std::nullopt;
  std::vector<core::FolderRecord> records = core::DecodeRecords(bytes.data(), count);
  for (core::FolderRecord& r : records) r.path = m_io->FromDeviceText(r.path);
  return records;
}

bool CGuardDevice::SendList(uint32_t code, const std::vector<core::FolderRecord>& records) {
  if (!Open()) return false;
  // Ours for the call only: the device copies what it keeps.
  std::vector<core::FolderRecord> device = records;
  for (core::FolderRecord& r : device) r.path = m_io->ToDeviceText(r.path);
  std::vector<uint8_t> bytes = core::EncodeRecords(device);
  const uint32_t address = bytes.empty() ? 0 : m_io->AddressOf(bytes.data(), bytes.size());
  if (!bytes.empty() && address == 0) {
    CDebug::dprintf("CGuardDevice: records out of the device's reach\n");
    return false;
  }
  uint8_t block[core::kGuardRequestSize];
  core::EncodeRequest(block, static_cast<uint32_t>(records.size()), address);
  uint32_t returned = 0;
  return m_io->Control(code, block, sizeof block, nullptr, 0, returned);
}
