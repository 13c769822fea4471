#include "corekit/registry.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "corekit/debug.h"
#include "corekit/win32_error_codes.h"
#include "registry_multi_string.h"

namespace err = corekit::win32_error;
using corekit::RegKey;

namespace {

constexpr uint32_t kTextBufferBytes = 2048;
// Subkey names fetched while deleting a tree.  A name of 255 UTF-16 characters takes up to
// 765 bytes in UTF-8, so the classic 260 would leave such keys behind.
constexpr uint32_t kSubkeyNameBytes = 1024;
// Deeper than the registry allows (512 levels); stops a corrupt store from exhausting the stack.
constexpr int kMaxTreeDepth = 600;
// A value may grow between the size query and the read; a few rounds settle it.
constexpr int kReadAttempts = 4;

bool IsStringType(uint32_t type) {
  return type == CRegistry::typeString || type == CRegistry::typeExpandString;
}

const char* RootName(RegKey root) {
  if (root == corekit::kHKeyClassesRoot) return "HKEY_CLASSES_ROOT";
  if (root == corekit::kHKeyCurrentUser) return "HKEY_CURRENT_USER";
  if (root == corekit::kHKeyLocalMachine) return "HKEY_LOCAL_MACHINE";
  if (root == corekit::kHKeyUsers) return "HKEY_USERS";
  if (root == corekit::kHKeyPerformanceData) return "HKEY_PERFORMANCE_DATA";
  if (root == corekit::kHKeyCurrentConfig) return "HKEY_CURRENT_CONFIG";
  if (root == corekit::kHKeyDynData) return "HKEY_DYN_DATA";
  return "Unknown";
}

// Runs `body` and turns an escaping exception into the error code the caller stores.
template <typename F>
int32_t Guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return err::kNotEnoughMemory;
  } catch (...) {
    return err::kInternalError;
  }
}

}  // namespace

CRegistry::CRegistry() noexcept : CRegistry(corekit::SystemRegistryApi()) {}

CRegistry::CRegistry(std::shared_ptr<corekit::RegistryApi> api) noexcept : m_Api(std::move(api)) {
  m_Initialize();
}

CRegistry::~CRegistry() {
  if (m_hKey || m_hRegistry) Close();
}

void CRegistry::m_Initialize() noexcept {
  m_hKey = nullptr;
  m_hRegistry = nullptr;
  m_ErrorCode = 0;
  m_ClassName.clear();
  m_ComputerName.clear();
  m_KeyName.clear();
  m_RegistryName.clear();
  m_NumberOfSubkeys = 0;
  m_NumberOfValues = 0;
  m_LongestSubkeyNameLength = 0;
  m_LongestClassNameLength = 0;
  m_LongestValueNameLength = 0;
  m_LongestValueDataLength = 0;
  m_SecurityDescriptorLength = 0;
  m_LastWriteTime = 0;
}

// ---- connection and keys ----

int CRegistry::Connect(RegKey root, const char* machine) noexcept {
  return Store(Guarded([&]() -> int32_t {
    const bool localOnlyRoot = root == corekit::kHKeyClassesRoot || root == corekit::kHKeyCurrentUser;
    if (localOnlyRoot && machine) return err::kInvalidHandle;
    RegKey handle = root;
    if (!localOnlyRoot) {
      const int32_t code = m_Api->ConnectRegistry(machine, root, &handle);
      if (code != 0) return code;
    }
    // A second Connect on the same object must not leak the first connection.
    if (m_hKey) {
      m_Api->CloseKey(m_hKey);
      m_hKey = nullptr;
      m_KeyName.clear();
    }
    if (m_hRegistry && m_hRegistry != handle) m_Api->CloseKey(m_hRegistry);
    m_hRegistry = handle;

    std::string computer;
    if (machine) {
      computer = machine;
    } else if (m_Api->LocalComputerName(computer) != 0 || computer.size() >= 260) {
      computer.clear();
    }
    m_ComputerName = std::move(computer);
    m_RegistryName = RootName(root);
    return 0;
  }));
}

int CRegistry::Open(const char* path, CreatePermissions permissions) noexcept {
  return Store(Guarded([&]() -> int32_t {
    if (m_hKey) {
      m_Api->CloseKey(m_hKey);
      m_hKey = nullptr;
    }
    RegKey key = nullptr;
    const int32_t code = m_Api->OpenKey(m_hRegistry, path, permissions, &key);
    if (code != 0) return code;
    m_hKey = key;
    QueryInfo();
    m_KeyName = path ? path : "";
    return 0;
  }));
}

int CRegistry::Create(const char* path, const char* className, CreateOptions options,
                      CreatePermissions permissions, void* securityAttributes,
                      CreationDisposition* disposition) noexcept {
  if (!path) return Store(err::kInvalidParameter);
  return Store(Guarded([&]() -> int32_t {
    if (m_hKey) {
      m_Api->CloseKey(m_hKey);
      m_hKey = nullptr;
    }
    RegKey key = nullptr;
    uint32_t created = 0;
    const int32_t code = m_Api->CreateKey(m_hRegistry, path, className ? className : "", options, permissions,
                                          securityAttributes, &key, &created);
    if (code != 0) return code;
    m_hKey = key;
    if (disposition) *disposition = static_cast<CreationDisposition>(created);
    m_KeyName = path;
    return 0;
  }));
}

int CRegistry::uOpenKey(RegKey root, const char* path) noexcept {
  if (!Connect(root, nullptr)) return 0;
  return Open(path, permissionAllAccess);
}

int CRegistry::Close() noexcept {
  if (m_hKey) {
    m_Api->CloseKey(m_hKey);
    m_hKey = nullptr;
  }
  if (m_hRegistry) {
    const int32_t code = m_Api->CloseKey(m_hRegistry);
    if (code != 0) return Store(code);
  }
  m_Initialize();
  return 1;
}

int CRegistry::Flush() noexcept { return Store(m_Api->FlushKey(m_hKey)); }

int CRegistry::QueryInfo() noexcept {
  char cls[kTextBufferBytes] = {};
  uint32_t classLen = kTextBufferBytes - 1;
  corekit::RegKeyInfo info;
  const int32_t code = m_Api->QueryInfoKey(m_hKey, cls, &classLen, &info);
  if (code != 0) return Store(code);
  return Store(Guarded([&]() -> int32_t {
    m_ClassName = cls;
    m_NumberOfSubkeys = info.subKeys;
    m_LongestSubkeyNameLength = info.maxSubKeyLen;
    m_LongestClassNameLength = info.maxClassLen;
    m_NumberOfValues = info.values;
    m_LongestValueNameLength = info.maxValueNameLen;
    m_LongestValueDataLength = info.maxValueLen;
    m_SecurityDescriptorLength = info.securityDescriptorLen;
    m_LastWriteTime = info.lastWriteTime;
    return 0;
  }));
}

int CRegistry::DeleteKey(const char* path) noexcept {
  if (!path) return Store(err::kInvalidParameter);
  return Store(Guarded([&]() -> int32_t {
    const std::string full(path);
    const size_t slash = full.rfind('\\');
    // An empty leaf ("", "a\") would name the open key itself and wipe its whole tree.
    if (full.size() == (slash == std::string::npos ? 0 : slash + 1)) return err::kInvalidParameter;
    if (slash == std::string::npos) return DeleteKeyTree(m_hKey, full, 0);

    const std::string remembered = m_KeyName;
    if (!Open(full.substr(0, slash).c_str(), permissionAllAccess)) {
      m_KeyName = remembered;
      return m_ErrorCode;
    }
    return DeleteKeyTree(m_hKey, full.substr(slash + 1), 0);
  }));
}

int32_t CRegistry::DeleteKeyTree(RegKey parent, const std::string& name, int depth) noexcept {
  if (depth > kMaxTreeDepth) return err::kInvalidParameter;
  // A link goes by itself: following it would empty a key outside the tree (anywhere in HKLM).
  bool link = false;
  if (const int32_t code = m_Api->DeleteIfLink(parent, name.c_str(), &link); code != 0 || link) return code;
  RegKey key = nullptr;
  int32_t code = m_Api->OpenKey(parent, name.c_str(), permissionAllAccess, &key);
  if (code != 0) return code;

  int32_t childFailure = 0;
  try {
    std::string child(kSubkeyNameBytes, '\0');
    for (;;) {
      uint32_t len = kSubkeyNameBytes;
      if (m_Api->EnumKey(key, 0, child.data(), &len, nullptr, nullptr, nullptr) != 0) break;
      // A child that cannot go would be fetched again forever: stop at the first failure.
      childFailure = DeleteKeyTree(key, child.substr(0, len), depth + 1);
      if (childFailure != 0) break;
    }
  } catch (...) {
    childFailure = err::kNotEnoughMemory;
  }
  m_Api->CloseKey(key);
  if (childFailure != 0) return childFailure;
  return m_Api->DeleteKey(parent, name.c_str());
}

int CRegistry::DeleteValue(const char* name) noexcept {
  if (!name) return Store(err::kInvalidParameter);
  return Store(m_Api->DeleteValue(m_hKey, name));
}

int CRegistry::EnumerateKeys(uint32_t index, std::string& name, std::string& className) noexcept {
  char nameBuf[kTextBufferBytes] = {};
  char classBuf[kTextBufferBytes] = {};
  uint32_t nameLen = kTextBufferBytes - 1;
  uint32_t classLen = kTextBufferBytes - 1;
  uint64_t lastWrite = 0;
  const int32_t code = m_Api->EnumKey(m_hKey, index, nameBuf, &nameLen, classBuf, &classLen, &lastWrite);
  if (code != 0) return Store(code);
  m_LastWriteTime = lastWrite;
  return Store(Guarded([&]() -> int32_t {
    name.assign(nameBuf, nameLen);
    className.assign(classBuf, classLen);
    return 0;
  }));
}

int CRegistry::EnumerateValues(uint32_t index, std::string& name, KeyValueTypes& type, uint8_t* data,
                               uint32_t& size) noexcept {
  return Store(Guarded([&]() -> int32_t {
    char nameBuf[kTextBufferBytes] = {};
    uint32_t nameLen = kTextBufferBytes - 1;
    uint32_t rawType = type;
    uint32_t rawSize = size;
    const int32_t code = m_Api->EnumValue(m_hKey, index, nameBuf, &nameLen, &rawType, data, &rawSize);
    if (code != 0) return code;
    size = rawSize;
    type = static_cast<KeyValueTypes>(rawType);
    name.assign(nameBuf, nameLen);
    return 0;
  }));
}

// ---- reading ----

int CRegistry::QueryValue(const char* name, KeyValueTypes& type, uint8_t* data, uint32_t& size) noexcept {
  uint32_t rawType = type;
  uint32_t rawSize = size;
  const int32_t code = m_Api->QueryValue(m_hKey, name, &rawType, data, &rawSize);
  if (code == 0) {
    type = static_cast<KeyValueTypes>(rawType);
    size = rawSize;
  }
  return Store(code);
}

int CRegistry::GetStringValue(const char* name, std::string& value) noexcept {
  // The whole text, however long: a cut or empty path silently sends files elsewhere.
  uint32_t type = typeString;
  std::vector<uint8_t> bytes;
  int32_t code = ReadVariableSize(name, type, bytes, kTextBufferBytes);
  if (code == 0 && !IsStringType(type)) code = err::kUnsupportedType;
  value.clear();
  if (code != 0) {
    // A missing value or key is how defaults come about; anything else is worth a trace line.
    if (code != err::kFileNotFound && code != err::kInvalidHandle) {
      CDebug::dprintf("CRegistry::GetStringValue: %s not read (error %d)\n", name ? name : "(default)",
                      static_cast<int>(code));
    }
    return Store(code);
  }
  return Store(Guarded([&]() -> int32_t {
    // The text ends at its first zero, as a C string read from the registry does.
    value.assign(bytes.begin(), std::find(bytes.begin(), bytes.end(), uint8_t{0}));
    return 0;
  }));
}

int CRegistry::GetDoubleWordValue(const char* name, uint32_t& value) noexcept {
  uint8_t bytes[4] = {};
  uint32_t size = sizeof bytes;
  uint32_t type = typeDoubleWord;
  int32_t code = m_Api->QueryValue(m_hKey, name, &type, bytes, &size);
  // Text or a short value in a number's place is not a number: the caller's value stays.
  if (code == 0 && (type != typeDoubleWord || size != sizeof bytes)) code = err::kUnsupportedType;
  if (code == 0) {
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  }
  return Store(code);
}

int32_t CRegistry::ReadVariableSize(const char* name, uint32_t& type, std::vector<uint8_t>& data,
                                    uint32_t minCapacity) noexcept {
  return Guarded([&]() -> int32_t {
    uint32_t capacity = std::max(m_LongestValueDataLength, minCapacity);
    int32_t code = err::kMoreData;
    for (int attempt = 0; attempt < kReadAttempts && code == err::kMoreData; ++attempt) {
      data.assign(capacity == 0 ? 1 : capacity, 0);
      uint32_t size = capacity;
      code = m_Api->QueryValue(m_hKey, name, &type, data.data(), &size);
      if (code == 0) data.resize(size);
      // The key may have changed since QueryInfo: size the buffer to what the value needs.
      capacity = size;
    }
    return code;
  });
}

int CRegistry::GetBinaryValue(const char* name, std::vector<uint8_t>& value) noexcept {
  uint32_t type = typeBinary;
  std::vector<uint8_t> bytes;
  int32_t code = ReadVariableSize(name, type, bytes);
  if (code == 0 && type != typeBinary && type != typeNone) code = err::kUnsupportedType;
  value.clear();
  if (code == 0) value = std::move(bytes);
  return Store(code);
}

int CRegistry::GetStringArrayValue(const char* name, std::vector<std::string>& value) noexcept {
  uint32_t type = typeMultipleString;
  std::vector<uint8_t> bytes;
  int32_t code = ReadVariableSize(name, type, bytes);
  if (code == 0 && type != typeMultipleString) code = err::kUnsupportedType;
  value.clear();
  if (code != 0) return Store(code);
  return Store(Guarded([&]() -> int32_t {
    value = corekit::UnpackMultiString(bytes.data(), bytes.size());
    return 0;
  }));
}

int CRegistry::GetValue(const char* name, std::vector<std::string>& value) noexcept {
  return GetStringArrayValue(name, value);
}

int CRegistry::GetValue(const char* name, std::string& value) noexcept { return GetStringValue(name, value); }

int CRegistry::GetValue(const char* name, uint32_t& value, uint32_t defaultValue) noexcept {
  if (GetDoubleWordValue(name, value)) return 0;
  // Only a missing value is replaced by the default; one that exists but does not read as a
  // number is left in the registry, and the caller gets the default.
  if (m_ErrorCode != err::kFileNotFound) {
    value = defaultValue;
    return 0;
  }
  const int stored = SetDoubleWordValue(name, defaultValue);
  value = defaultValue;
  return stored;
}

int CRegistry::GetValue(const char* name, uint32_t& value) noexcept {
  return GetDoubleWordValue(name, value);
}

int CRegistry::GetValue(const char* name, std::vector<uint8_t>& value) noexcept {
  return GetBinaryValue(name, value);
}

std::string CRegistry::GetClassNameA() const { return m_ClassName; }
std::string CRegistry::GetComputerNameA() const { return m_ComputerName; }
int32_t CRegistry::GetErrorCode() const noexcept { return m_ErrorCode; }
std::string CRegistry::GetKeyName() const { return m_KeyName; }
uint32_t CRegistry::GetNumberOfSubkeys() const noexcept { return m_NumberOfSubkeys; }
uint32_t CRegistry::GetNumberOfValues() const noexcept { return m_NumberOfValues; }
std::string CRegistry::GetRegistryName() const { return m_RegistryName; }

// ---- writing ----

int CRegistry::SetValue(const char* name, KeyValueTypes type, const uint8_t* data, uint32_t size) noexcept {
  if (!name || !data) return Store(err::kInvalidParameter);
  return Store(m_Api->SetValue(m_hKey, name, type, data, size));
}

int CRegistry::SetStringValue(const char* name, const std::string& value) noexcept {
  if (value.size() >= UINT32_MAX) return Store(err::kInvalidParameter);
  return SetValue(name, typeString, reinterpret_cast<const uint8_t*>(value.c_str()),
                  static_cast<uint32_t>(value.size() + 1));
}

int CRegistry::SetDoubleWordValue(const char* name, uint32_t value) noexcept {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return SetValue(name, typeDoubleWord, bytes, sizeof bytes);
}

int CRegistry::SetBinaryValue(const char* name, const std::vector<uint8_t>& value) noexcept {
  if (value.size() > UINT32_MAX) return Store(err::kInvalidParameter);
  // An empty array is a valid value, not a null pointer.
  static const uint8_t kNoBytes = 0;
  return SetValue(name, typeBinary, value.empty() ? &kNoBytes : value.data(),
                  static_cast<uint32_t>(value.size()));
}

int CRegistry::SetStringArrayValue(const char* name, const std::vector<std::string>& value) noexcept {
  std::vector<uint8_t> packed;
  const int32_t code = Guarded([&]() -> int32_t {
    packed = corekit::PackMultiString(value);
    return packed.size() > UINT32_MAX ? err::kInvalidParameter : 0;
  });
  if (code != 0) return Store(code);
  return SetValue(name, typeMultipleString, packed.data(), static_cast<uint32_t>(packed.size()));
}

int CRegistry::SetValue(const char* name, const std::string& value) noexcept {
  return SetStringValue(name, value);
}

int CRegistry::SetValue(const char* name, const std::vector<std::string>& value) noexcept {
  return SetStringArrayValue(name, value);
}

int CRegistry::SetValue(const char* name, uint32_t value) noexcept { return SetDoubleWordValue(name, value); }

int CRegistry::SetValue(const char* name, const std::vector<uint8_t>& value) noexcept {
  return SetBinaryValue(name, value);
}

// ---- hives, security, notification ----

int CRegistry::Load(const char* subkey, const char* file) noexcept {
  if (!subkey || !file) return Store(err::kInvalidParameter);
  return Store(m_Api->LoadKey(m_hRegistry, subkey, file));
}

int CRegistry::UnLoad(const char* subkey) noexcept {
  if (!subkey) return Store(err::kInvalidParameter);
  return Store(m_Api->UnLoadKey(m_hKey, subkey));
}

int CRegistry::Replace(const char* subkey, const char* newFile, const char* oldFile) noexcept {
  if (!subkey || !newFile || !oldFile) return Store(err::kInvalidParameter);
  return Store(m_Api->ReplaceKey(m_hKey, subkey, newFile, oldFile));
}

int CRegistry::Save(const char* file, void* securityAttributes) noexcept {
  if (!file) return Store(err::kInvalidParameter);
  return Store(m_Api->SaveKey(m_hKey, file, securityAttributes));
}

int CRegistry::Restore(const char* file, uint32_t flags) noexcept {
  if (!file) return Store(err::kInvalidParameter);
  const int32_t first = m_Api->RestoreKey(m_hKey, file, flags);
  if (first == 0) return Store(0);
  // Restoring needs SeRestorePrivilege, which an administrator holds but has not enabled.
  if (m_Api->EnableRestorePrivilege() != 0) return Store(first);
  return Store(m_Api->RestoreKey(m_hKey, file, flags));
}

int CRegistry::GetSecurity(uint32_t what, void* descriptor, uint32_t& size) noexcept {
  if (!descriptor) return Store(err::kInvalidParameter);
  uint32_t rawSize = size;
  const int32_t code = m_Api->GetKeySecurity(m_hKey, what, descriptor, &rawSize);
  size = rawSize;
  return Store(code);
}

int CRegistry::SetSecurity(uint32_t what, void* descriptor) noexcept {
  if (!descriptor) return Store(err::kInvalidParameter);
  return Store(m_Api->SetKeySecurity(m_hKey, what, descriptor));
}

int CRegistry::NotifyChange(void* event, NotifyChangeFilter filter, bool wholeSubtree,
                            bool asynchronous) noexcept {
  if (!event) return Store(err::kInvalidParameter);
  return Store(m_Api->NotifyChangeKeyValue(m_hKey, wholeSubtree, filter, event, asynchronous));
}
