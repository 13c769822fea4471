// The registry primitives on the real Windows registry.  The wide functions are called and
// text is converted at the call: names and string-typed data reach the portable layer as
// UTF-8, the way the ANSI functions would hand them over with UTF-8 as the code page.
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "corekit/registry_api.h"
#include "corekit/win32_error_codes.h"
#include "platform/text.h"
#include "platform/win32_handles.h"
#include "platform/windows_api.h"
#include "registry_buffers.h"

static_assert(std::is_same_v<HKEY, corekit::RegKey>, "RegKey must be the Windows HKEY");

namespace corekit {
namespace err = win32_error;
namespace {

using nv::text::Narrow;
using nv::text::Widen;

constexpr DWORD kMaxValueNameChars = 16384;  // 16383 characters and the zero

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Wide text or null, for the optional text parameters of the Reg* functions.
class WideArg {
 public:
  explicit WideArg(const char* utf8)
      : present_(utf8 != nullptr), text_(utf8 ? Widen(utf8) : std::wstring()) {}
  const wchar_t* get() const { return present_ ? text_.c_str() : nullptr; }
  wchar_t* mutable_get() { return present_ ? text_.data() : nullptr; }

 private:
  bool present_;
  std::wstring text_;
};

// String-typed data as UTF-8 bytes: every UTF-16 unit stored (terminating zeros included)
// becomes its UTF-8 form; an odd trailing byte cannot be a character and is dropped.
std::string StoredTextAsUtf8(const std::vector<BYTE>& raw) {
  std::u16string wide(raw.size() / 2, u'\0');
  if (!wide.empty()) std::memcpy(wide.data(), raw.data(), wide.size() * 2);
  return nv::text::Utf16ToUtf8(wide);
}

int32_t HandOut(DWORD type, const std::vector<BYTE>& raw, uint8_t* data, uint32_t* size) {
  if (IsStringType(type)) {
    const std::string text = StoredTextAsUtf8(raw);
    return CopyDataOut(text.data(), static_cast<uint32_t>(text.size()), data, size);
  }
  return CopyDataOut(raw.data(), static_cast<uint32_t>(raw.size()), data, size);
}

class Win32Registry final : public RegistryApi {
 public:
  int32_t OpenKey(RegKey parent, const char* path, uint32_t access, RegKey* result) noexcept override {
    if (!result) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wpath(path);
      return static_cast<int32_t>(::RegOpenKeyExW(parent, wpath.get(), 0, access, result));
    });
  }

  int32_t CreateKey(RegKey parent, const char* path, const char* cls, uint32_t options, uint32_t access,
                    void* security, RegKey* result, uint32_t* disposition) noexcept override {
    if (!result || !path) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wpath(path);
      WideArg wclass(cls ? cls : "");
      DWORD created = 0;
      const LONG code = ::RegCreateKeyExW(parent, wpath.get(), 0, wclass.mutable_get(), options, access,
                                          static_cast<LPSECURITY_ATTRIBUTES>(security), result, &created);
      if (code == ERROR_SUCCESS && disposition) *disposition = created;
      return static_cast<int32_t>(code);
    });
  }

  int32_t CloseKey(RegKey key) noexcept override { return static_cast<int32_t>(::RegCloseKey(key)); }

  int32_t ConnectRegistry(const char* machine, RegKey root, RegKey* result) noexcept override {
    if (!result) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wmachine(machine);
      return static_cast<int32_t>(::RegConnectRegistryW(wmachine.get(), root, result));
    });
  }

  int32_t QueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                     uint32_t* size) noexcept override {
    if (data && !size) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wname(name);
      DWORD rawType = 0;
      std::vector<BYTE> raw;
      LONG code = ERROR_MORE_DATA;
      // The value may grow between the size query and the read.
      for (int attempt = 0; attempt < 4 && code == ERROR_MORE_DATA; ++attempt) {
        DWORD bytes = 0;
        code = ::RegQueryValueExW(key, wname.get(), nullptr, &rawType, nullptr, &bytes);
        if (code != ERROR_SUCCESS) break;
        raw.assign(bytes + 2, 0);  // room for a zero the registry may add to text
        bytes = static_cast<DWORD>(raw.size());
        code = ::RegQueryValueExW(key, wname.get(), nullptr, &rawType, raw.data(), &bytes);
        if (code == ERROR_SUCCESS) raw.resize(bytes);
      }
      if (code != ERROR_SUCCESS) return static_cast<int32_t>(code);
      if (type) *type = rawType;
      return HandOut(rawType, raw, data, size);
    });
  }

  int32_t SetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                   uint32_t size) noexcept override {
    if (!data && size != 0) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wname(name);
      if (IsStringType(type)) {
        const std::u16string wide =
            nv::text::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
        return static_cast<int32_t>(::RegSetValueExW(key, wname.get(), 0, type,
                                                     reinterpret_cast<const BYTE*>(wide.data()),
                                                     static_cast<DWORD>(wide.size() * 2)));
      }
      return static_cast<int32_t>(::RegSetValueExW(key, wname.get(), 0, type, data, size));
    });
  }

  int32_t DeleteValue(RegKey key, const char* name) noexcept override {
    return Guard([&]() -> int32_t {
      WideArg wname(name);
      return static_cast<int32_t>(::RegDeleteValueW(key, wname.get()));
    });
  }

  int32_t DeleteKey(RegKey parent, const char* path) noexcept override {
    if (!path || !*path) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wpath(path);
      return static_cast<int32_t>(::RegDeleteKeyW(parent, wpath.get()));
    });
  }

  int32_t DeleteIfLink(RegKey parent, const char* name, bool* deleted) noexcept override {
    if (!name || !*name || !deleted) return err::kInvalidParameter;
    *deleted = false;
    return Guard([&]() -> int32_t {
      WideArg wname(name);
      HKEY raw = nullptr;
      // The key itself, not where it points: REG_OPTION_OPEN_LINK.
      LONG code = ::RegOpenKeyExW(parent, wname.get(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | DELETE, &raw);
      if (code == ERROR_FILE_NOT_FOUND) return 0;
      if (code != ERROR_SUCCESS) return static_cast<int32_t>(code);
      nv::win32::UniqueKey key(raw);
      DWORD type = 0;
      code = ::RegQueryValueExW(key.get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
      if (code != ERROR_SUCCESS || type != REG_LINK) return 0;
      // RegDeleteKey opens the name again and would follow the link; the handle deletes the link.
      using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
      const auto deleteKey = reinterpret_cast<NtDeleteKeyFn>(
          reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
      if (deleteKey == nullptr) return err::kNotSupported;
      if (deleteKey(key.get()) != 0) return ERROR_ACCESS_DENIED;
      *deleted = true;
      return 0;
    });
  }

  int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameLen, char* cls, uint32_t* classLen,
                  uint64_t* lastWrite) noexcept override {
    if (!name || !nameLen || (cls && !classLen)) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      // A UTF-8 name never has fewer bytes than UTF-16 units, so this many units always do.
      std::wstring wname(*nameLen + 1, L'\0');
      DWORD wnameLen = static_cast<DWORD>(wname.size());
      std::wstring wclass(cls ? *classLen + 1 : 1, L'\0');
      DWORD wclassLen = static_cast<DWORD>(wclass.size());
      FILETIME written{};
      const LONG code = ::RegEnumKeyExW(key, index, wname.data(), &wnameLen, nullptr,
                                        cls ? wclass.data() : nullptr, cls ? &wclassLen : nullptr, &written);
      if (code != ERROR_SUCCESS) return static_cast<int32_t>(code);
      if (int32_t c = CopyNameOut(Narrow(std::wstring_view(wname.data(), wnameLen)), name, nameLen); c != 0) {
        return c;
      }
      if (cls) {
        if (int32_t c = CopyNameOut(Narrow(std::wstring_view(wclass.data(), wclassLen)), cls, classLen);
            c != 0) {
          return c;
        }
      }
      if (lastWrite)
        *lastWrite = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
      return 0;
    });
  }

  int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLen, uint32_t* type, uint8_t* data,
                    uint32_t* size) noexcept override {
    if (!name || !nameLen || (data && !size)) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      std::wstring wname(kMaxValueNameChars, L'\0');
      DWORD wnameLen = 0;
      DWORD rawType = 0;
      std::vector<BYTE> raw;
      LONG code = ERROR_MORE_DATA;
      for (int attempt = 0; attempt < 4 && code == ERROR_MORE_DATA; ++attempt) {
        DWORD bytes = 0;
        wnameLen = kMaxValueNameChars;
        code = ::RegEnumValueW(key, index, wname.data(), &wnameLen, nullptr, &rawType, nullptr, &bytes);
        if (code != ERROR_SUCCESS) break;
        raw.assign(bytes + 2, 0);
        bytes = static_cast<DWORD>(raw.size());
        wnameLen = kMaxValueNameChars;
        code = ::RegEnumValueW(key, index, wname.data(), &wnameLen, nullptr, &rawType, raw.data(), &bytes);
        if (code == ERROR_SUCCESS) raw.resize(bytes);
      }
      if (code != ERROR_SUCCESS) return static_cast<int32_t>(code);
      if (int32_t c = CopyNameOut(Narrow(std::wstring_view(wname.data(), wnameLen)), name, nameLen); c != 0) {
        return c;
      }
      if (type) *type = rawType;
      return HandOut(rawType, raw, data, size);
    });
  }

  int32_t QueryInfoKey(RegKey key, char* cls, uint32_t* classLen, RegKeyInfo* info) noexcept override {
    if (cls && !classLen) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      std::wstring wclass(cls ? *classLen + 1 : 1, L'\0');
      DWORD wclassLen = static_cast<DWORD>(wclass.size());
      DWORD subKeys = 0, maxSubKey = 0, maxClass = 0, values = 0, maxValueName = 0, maxValue = 0,
            security = 0;
      FILETIME written{};
      const LONG code = ::RegQueryInfoKeyW(key, cls ? wclass.data() : nullptr, cls ? &wclassLen : nullptr,
                                           nullptr, &subKeys, &maxSubKey, &maxClass, &values, &maxValueName,
                                           &maxValue, &security, &written);
      if (code != ERROR_SUCCESS) return static_cast<int32_t>(code);
      if (cls) {
        if (int32_t c = CopyNameOut(Narrow(std::wstring_view(wclass.data(), wclassLen)), cls, classLen);
            c != 0) {
          return c;
        }
      }
      if (info) {
        info->subKeys = subKeys;
        info->maxSubKeyLen = maxSubKey;
        info->maxClassLen = maxClass;
        info->values = values;
        info->maxValueNameLen = maxValueName;
        info->maxValueLen = maxValue;
        info->securityDescriptorLen = security;
        info->lastWriteTime = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
      }
      return 0;
    });
  }

  int32_t FlushKey(RegKey key) noexcept override { return static_cast<int32_t>(::RegFlushKey(key)); }

  int32_t LoadKey(RegKey key, const char* subkey, const char* file) noexcept override {
    if (!subkey || !file) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wsubkey(subkey), wfile(file);
      return static_cast<int32_t>(::RegLoadKeyW(key, wsubkey.get(), wfile.get()));
    });
  }

  int32_t UnLoadKey(RegKey key, const char* subkey) noexcept override {
    if (!subkey) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wsubkey(subkey);
      return static_cast<int32_t>(::RegUnLoadKeyW(key, wsubkey.get()));
    });
  }

  int32_t ReplaceKey(RegKey key, const char* subkey, const char* newFile,
                     const char* oldFile) noexcept override {
    if (!subkey || !newFile || !oldFile) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wsubkey(subkey), wnew(newFile), wold(oldFile);
      return static_cast<int32_t>(::RegReplaceKeyW(key, wsubkey.get(), wnew.get(), wold.get()));
    });
  }

  int32_t SaveKey(RegKey key, const char* file, void* security) noexcept override {
    if (!file) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wfile(file);
      return static_cast<int32_t>(
          ::RegSaveKeyW(key, wfile.get(), static_cast<LPSECURITY_ATTRIBUTES>(security)));
    });
  }

  int32_t RestoreKey(RegKey key, const char* file, uint32_t flags) noexcept override {
    if (!file) return err::kInvalidParameter;
    return Guard([&]() -> int32_t {
      WideArg wfile(file);
      return static_cast<int32_t>(::RegRestoreKeyW(key, wfile.get(), flags));
    });
  }

  int32_t GetKeySecurity(RegKey key, uint32_t what, void* descriptor, uint32_t* size) noexcept override {
    if (!descriptor || !size) return err::kInvalidParameter;
    DWORD bytes = *size;
    const LONG code = ::RegGetKeySecurity(key, what, descriptor, &bytes);
    *size = bytes;
    return static_cast<int32_t>(code);
  }

  int32_t SetKeySecurity(RegKey key, uint32_t what, void* descriptor) noexcept override {
    if (!descriptor) return err::kInvalidParameter;
    return static_cast<int32_t>(::RegSetKeySecurity(key, what, descriptor));
  }

  int32_t NotifyChangeKeyValue(RegKey key, bool wholeSubtree, uint32_t filter, void* event,
                               bool asynchronous) noexcept override {
    if (!event) return err::kInvalidParameter;
    return static_cast<int32_t>(::RegNotifyChangeKeyValue(key, wholeSubtree ? TRUE : FALSE, filter, event,
                                                          asynchronous ? TRUE : FALSE));
  }

  int32_t EnableRestorePrivilege() noexcept override {
    nv::win32::UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) {
      return static_cast<int32_t>(::GetLastError());
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, L"SeRestorePrivilege", &privileges.Privileges[0].Luid)) {
      return static_cast<int32_t>(::GetLastError());
    }
    if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) {
      return static_cast<int32_t>(::GetLastError());
    }
    return 0;
  }

  int32_t LocalComputerName(std::string& name) noexcept override {
    wchar_t buffer[260] = {};
    DWORD len = 260;
    if (!::GetComputerNameW(buffer, &len)) return static_cast<int32_t>(::GetLastError());
    return Guard([&]() -> int32_t {
      name = Narrow(std::wstring_view(buffer, len));
      return 0;
    });
  }

 private:
  template <typename F>
  static int32_t Guard(F&& body) noexcept {
    try {
      return body();
    } catch (...) {
      return err::kNotEnoughMemory;  // conversions only allocate
    }
  }
};

}  // namespace

std::shared_ptr<RegistryApi> SystemRegistryApi() noexcept {
  static Win32Registry registry;
  return std::shared_ptr<RegistryApi>(std::shared_ptr<RegistryApi>(), &registry);
}

}  // namespace corekit
