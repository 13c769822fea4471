// The registry primitives CRegistry is built on: one call per Win32 Reg* function, with the
// same arguments, the same buffer rules and the same Win32 error codes as the return value.
//
// Text is UTF-8 everywhere: key and value names, class texts, and the data of string-typed
// values (string, expandable string, multi-string) behave like the ANSI registry functions
// with UTF-8 as the code page, so sizes are UTF-8 byte counts on every platform.
//
// On Windows the implementation calls the real registry; natively it is our own store
// (an SQLite file, see registry_store_path.h).  Tests wrap it to inject failures.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "corekit/export.h"

// A registry key handle.  The very type the Windows headers call HKEY, so Windows code can
// pass its keys straight through; natively it is an opaque token of the store.
struct HKEY__;

namespace corekit {

using RegKey = HKEY__*;

// The predefined roots carry the Win32 values (sign-extended like HKEY_LOCAL_MACHINE).
constexpr uintptr_t PredefinedKeyValue(uint32_t id) noexcept {
  return static_cast<uintptr_t>(static_cast<intptr_t>(static_cast<int32_t>(id)));
}
inline RegKey const kHKeyClassesRoot = reinterpret_cast<RegKey>(PredefinedKeyValue(0x80000000u));
inline RegKey const kHKeyCurrentUser = reinterpret_cast<RegKey>(PredefinedKeyValue(0x80000001u));
inline RegKey const kHKeyLocalMachine = reinterpret_cast<RegKey>(PredefinedKeyValue(0x80000002u));
inline RegKey const kHKeyUsers = reinterpret_cast<RegKey>(PredefinedKeyValue(0x80000003u));
inline RegKey const kHKeyPerformanceData = reinterpret_cast<RegKey>(PredefinedKeyValue(0x80000004u));
inline RegKey const kHKeyCurrentConfig = reinterpret_cast<RegKey>(PredefinedKeyValue(0x80000005u));
inline RegKey const kHKeyDynData = reinterpret_cast<RegKey>(PredefinedKeyValue(0x80000006u));

// What RegQueryInfoKey reports besides the class text.
struct RegKeyInfo {
  uint32_t subKeys = 0;
  uint32_t maxSubKeyLen = 0;
  uint32_t maxClassLen = 0;
  uint32_t values = 0;
  uint32_t maxValueNameLen = 0;
  uint32_t maxValueLen = 0;
  uint32_t securityDescriptorLen = 0;
  uint64_t lastWriteTime = 0;  // FILETIME: 100 ns units since 1601-01-01 UTC
};

class COREKIT_API RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  // Name buffers: *len is the capacity in bytes on entry (terminating zero included) and the
  // length without the zero on success; too small gives 234.  Data buffers: *size is the
  // capacity on entry and the stored size afterwards (also on 234); null data asks the size.
  virtual int32_t OpenKey(RegKey parent, const char* path, uint32_t access, RegKey* result) noexcept = 0;
  virtual int32_t CreateKey(RegKey parent, const char* path, const char* cls, uint32_t options,
                            uint32_t access, void* security, RegKey* result,
                            uint32_t* disposition) noexcept = 0;
  virtual int32_t CloseKey(RegKey key) noexcept = 0;
  virtual int32_t ConnectRegistry(const char* machine, RegKey root, RegKey* result) noexcept = 0;
  virtual int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                             uint32_t* size) noexcept = 0;
  virtual int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                           uint32_t size) noexcept = 0;
  virtual int32_t DeleteValue(RegKey key, const char* name) noexcept = 0;
  // Deletes a key that has no subkeys (5 when it has some).  On a link key Windows would delete
  // the key it points to: see DeleteIfLink.
  virtual int32_t DeleteKey(RegKey parent, const char* path) noexcept = 0;
  // When the subkey `name` is a registry link (a symbolic-link key), deletes the link itself,
  // never what it points to, and sets *deleted; otherwise leaves it and clears *deleted.  A store
  // without links (the native one) has nothing to do.
  virtual int32_t DeleteIfLink(RegKey, const char*, bool* deleted) noexcept {
    if (deleted) *deleted = false;
    return 0;
  }
  virtual int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameLen, char* cls,
                          uint32_t* classLen, uint64_t* lastWrite) noexcept = 0;
  virtual int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLen, uint32_t* type,
                            uint8_t* data, uint32_t* size) noexcept = 0;
  virtual int32_t QueryInfoKey(RegKey key, char* cls, uint32_t* classLen, RegKeyInfo* info) noexcept = 0;
  virtual int32_t FlushKey(RegKey key) noexcept = 0;

  // Hives, security and change notification.
  virtual int32_t LoadKey(RegKey key, const char* subkey, const char* file) noexcept = 0;
  virtual int32_t UnLoadKey(RegKey key, const char* subkey) noexcept = 0;
  virtual int32_t ReplaceKey(RegKey key, const char* subkey, const char* newFile,
                             const char* oldFile) noexcept = 0;
  virtual int32_t SaveKey(RegKey key, const char* file, void* security) noexcept = 0;
  virtual int32_t RestoreKey(RegKey key, const char* file, uint32_t flags) noexcept = 0;
  virtual int32_t GetKeySecurity(RegKey key, uint32_t what, void* descriptor, uint32_t* size) noexcept = 0;
  virtual int32_t SetKeySecurity(RegKey key, uint32_t what, void* descriptor) noexcept = 0;
  virtual int32_t NotifyChangeKeyValue(RegKey key, bool wholeSubtree, uint32_t filter, void* event,
                                       bool asynchronous) noexcept = 0;
  // Enables SeRestorePrivilege in the process token (0 on success).
  virtual int32_t EnableRestorePrivilege() noexcept = 0;

  // This machine's name (0 on success).
  virtual int32_t LocalComputerName(std::string& name) noexcept = 0;
};

// The platform's registry: the real one on Windows, the process's store natively.
COREKIT_API std::shared_ptr<RegistryApi> SystemRegistryApi() noexcept;

}  // namespace corekit
