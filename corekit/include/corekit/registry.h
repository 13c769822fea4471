// CRegistry: the one registry wrapper of the system.
//
// One object wraps one connection to a predefined root key (this machine or another) plus
// at most one open subkey, and remembers the Win32 error code of its last operation.  Every
// operation returns non-zero on success and 0 on failure; GetErrorCode tells why.  Nothing
// throws: exceptions inside are caught and reported as error 1064.
//
// Text is UTF-8; string data sizes are UTF-8 byte counts on every platform.  The operations
// are virtual and the typed GetValue/SetValue overloads call the named ones, so a derived
// class that overrides GetDoubleWordValue also changes GetValue(name, number).
//
// GetClassNameA and GetComputerNameA carry these exact names: windows.h renames GetClassName
// and GetComputerName by macro, never the A-suffixed names, so both builds agree.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "corekit/export.h"
#include "corekit/registry_api.h"

// True when two key or value names are the same name to the registry: compared without case by
// the Unicode simple upper-casing (not ASCII only), as the registry and the spooler match names.
COREKIT_API bool RegistryNamesEqual(std::string_view a, std::string_view b) noexcept;

class COREKIT_API CRegistry {
 public:
  enum CreateOptions : uint32_t {
    optionsNonVolatile = 0,
    optionsVolatile = 1,
    optionsBackupRestore = 4,
  };

  enum CreatePermissions : uint32_t {
    permissionQueryValue = 0x0001,
    permissionSetValue = 0x0002,
    permissionCreateSubKey = 0x0004,
    permissionEnumerateSubKeys = 0x0008,
    permissionNotify = 0x0010,
    permissionCreateLink = 0x0020,
    permissionRead = 0x20019,
    permissionWrite = 0x20006,
    permissionExecute = 0x20019,
    permissionAllAccess = 0xF003F,
  };

  enum CreationDisposition : uint32_t {
    dispositionCreatedNewKey = 1,
    dispositionOpenedExistingKey = 2,
  };

  enum KeyValueTypes : uint32_t {
    typeNone = 0,
    typeString = 1,
    typeExpandString = 2,
    typeBinary = 3,
    typeDoubleWord = 4,
    typeDoubleWordBigEndian = 5,
    typeUnicodeSymbolicLink = 6,
    typeMultipleString = 7,
    typeResourceList = 8,
    typeFullResourceDescriptor = 9,
    typeResourceRequirementsList = 10,
    typeQuadWord = 11,
  };

  enum NotifyChangeFilter : uint32_t {
    changeKeyAndSubkeys = 0x1,
    changeAttributes = 0x2,
    changeLastSet = 0x4,
    changeSecurity = 0x8,
  };

  CRegistry() noexcept;
  // Runs on the given primitives instead of the platform's (tests, other stores).
  explicit CRegistry(std::shared_ptr<corekit::RegistryApi> api) noexcept;
  CRegistry(const CRegistry&) = delete;
  CRegistry& operator=(const CRegistry&) = delete;
  virtual ~CRegistry();

  // Connect(root, null) then Open(path, full access): the call used for every access.
  virtual int uOpenKey(corekit::RegKey root, const char* path) noexcept;
  virtual int Close() noexcept;
  virtual int Connect(corekit::RegKey root, const char* machine = nullptr) noexcept;
  virtual int Create(const char* path, const char* className = nullptr,
                     CreateOptions options = optionsNonVolatile,
                     CreatePermissions permissions = permissionAllAccess, void* securityAttributes = nullptr,
                     CreationDisposition* disposition = nullptr) noexcept;
  virtual int DeleteKey(const char* path) noexcept;
  virtual int DeleteValue(const char* name) noexcept;
  virtual int EnumerateKeys(uint32_t index, std::string& name, std::string& className) noexcept;
  virtual int EnumerateValues(uint32_t index, std::string& name, KeyValueTypes& type, uint8_t* data,
                              uint32_t& size) noexcept;
  virtual int Flush() noexcept;
  virtual int GetBinaryValue(const char* name, std::vector<uint8_t>& value) noexcept;
  virtual std::string GetClassNameA() const;
  virtual std::string GetComputerNameA() const;
  virtual int GetDoubleWordValue(const char* name, uint32_t& value) noexcept;
  virtual int32_t GetErrorCode() const noexcept;
  virtual std::string GetKeyName() const;
  virtual uint32_t GetNumberOfSubkeys() const noexcept;
  virtual uint32_t GetNumberOfValues() const noexcept;
  virtual std::string GetRegistryName() const;
  virtual int GetSecurity(uint32_t what, void* descriptor, uint32_t& size) noexcept;
  virtual int GetStringValue(const char* name, std::string& value) noexcept;
  virtual int GetStringArrayValue(const char* name, std::vector<std::string>& value) noexcept;
  virtual int GetValue(const char* name, std::vector<std::string>& value) noexcept;
  virtual int GetValue(const char* name, std::string& value) noexcept;
  virtual int GetValue(const char* name, uint32_t& value, uint32_t defaultValue) noexcept;
  virtual int GetValue(const char* name, uint32_t& value) noexcept;
  virtual int GetValue(const char* name, std::vector<uint8_t>& value) noexcept;
  virtual int Load(const char* subkey, const char* file) noexcept;
  virtual int NotifyChange(void* event, NotifyChangeFilter filter = changeLastSet, bool wholeSubtree = true,
                           bool asynchronous = true) noexcept;
  virtual int Open(const char* path, CreatePermissions permissions = permissionAllAccess) noexcept;
  virtual int QueryInfo() noexcept;
  virtual int QueryValue(const char* name, KeyValueTypes& type, uint8_t* data, uint32_t& size) noexcept;
  virtual int Replace(const char* subkey, const char* newFile, const char* oldFile) noexcept;
  virtual int Restore(const char* file, uint32_t flags = 0) noexcept;
  virtual int Save(const char* file, void* securityAttributes = nullptr) noexcept;
  virtual int SetBinaryValue(const char* name, const std::vector<uint8_t>& value) noexcept;
  virtual int SetDoubleWordValue(const char* name, uint32_t value) noexcept;
  virtual int SetSecurity(uint32_t what, void* descriptor) noexcept;
  virtual int SetStringValue(const char* name, const std::string& value) noexcept;
  virtual int SetStringArrayValue(const char* name, const std::vector<std::string>& value) noexcept;
  virtual int SetValue(const char* name, KeyValueTypes type, const uint8_t* data, uint32_t size) noexcept;
  virtual int SetValue(const char* name, const std::string& value) noexcept;
  virtual int SetValue(const char* name, const std::vector<std::string>& value) noexcept;
  virtual int SetValue(const char* name, uint32_t value) noexcept;
  virtual int SetValue(const char* name, const std::vector<uint8_t>& value) noexcept;
  virtual int UnLoad(const char* subkey) noexcept;

  corekit::RegKey GetHandle() const noexcept { return m_hKey; }
  operator corekit::RegKey() const noexcept { return m_hKey; }

  // Longest value data and last write time as the last QueryInfo saw them.
  uint32_t GetLongestValueDataLength() const noexcept { return m_LongestValueDataLength; }
  uint64_t GetLastWriteTime() const noexcept { return m_LastWriteTime; }

 private:
  void m_Initialize() noexcept;
  // Reads a value of any size, starting from the longest size QueryInfo reported (at least
  // `minCapacity` bytes).
  int32_t ReadVariableSize(const char* name, uint32_t& type, std::vector<uint8_t>& data,
                           uint32_t minCapacity = 0) noexcept;
  int32_t DeleteKeyTree(corekit::RegKey parent, const std::string& name, int depth) noexcept;
  int Store(int32_t code) noexcept {
    m_ErrorCode = code;
    return code == 0 ? 1 : 0;
  }

  std::shared_ptr<corekit::RegistryApi> m_Api;
  corekit::RegKey m_hKey = nullptr;
  corekit::RegKey m_hRegistry = nullptr;
  int32_t m_ErrorCode = 0;
  std::string m_ClassName;
  std::string m_ComputerName;
  std::string m_KeyName;
  std::string m_RegistryName;
  uint32_t m_NumberOfSubkeys = 0;
  uint32_t m_NumberOfValues = 0;
  uint32_t m_LongestSubkeyNameLength = 0;
  uint32_t m_LongestClassNameLength = 0;
  uint32_t m_LongestValueNameLength = 0;
  uint32_t m_LongestValueDataLength = 0;
  uint32_t m_SecurityDescriptorLength = 0;
  uint64_t m_LastWriteTime = 0;
};
