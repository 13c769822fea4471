#include <vector>

#include "platform/windows_api.h"
// sddl.h needs the types of windows.h first.
#include <sddl.h>

#include "corekit/service_control_api.h"
#include "nt_service_platform.h"
#include "platform/text.h"
#include "platform/win32_handles.h"

namespace corekit {
namespace {

SC_HANDLE Sc(ServiceHandle handle) { return static_cast<SC_HANDLE>(handle); }

int32_t LastError() { return static_cast<int32_t>(::GetLastError()); }
constexpr DWORD kLockedWaitMs = 15000;

class Win32ServiceControl : public ServiceControlApi {
 public:
  int32_t OpenManager(uint32_t access, ServiceHandle& manager) override {
    manager = ::OpenSCManagerW(nullptr, nullptr, access);
    return manager != nullptr ? 0 : LastError();
  }

  int32_t Create(ServiceHandle manager, const ServiceConfig& c, ServiceHandle& service) override {
    // The dependency list is a double-null-terminated multi-string.
    std::wstring dependencies = nv::text::Widen(c.dependencies);
    dependencies.append(2, L'\0');
    service =
        ::CreateServiceW(Sc(manager), nv::text::Widen(c.name).c_str(), nv::text::Widen(c.displayName).c_str(),
                         c.access, c.type, c.start, c.errorControl, nv::text::Widen(c.path).c_str(), nullptr,
                         nullptr, c.dependencies.empty() ? nullptr : dependencies.c_str(), nullptr, nullptr);
    return service != nullptr ? 0 : LastError();
  }

  int32_t Open(ServiceHandle manager, const std::string& name, uint32_t access,
               ServiceHandle& service) override {
    service = ::OpenServiceW(Sc(manager), nv::text::Widen(name).c_str(), access);
    return service != nullptr ? 0 : LastError();
  }

  int32_t Start(ServiceHandle service) override {
    // The manager refuses starts while it starts another service (and for a while at boot):
    // wait that out for a bounded time before reporting the lock.
    const DWORD begin = ::GetTickCount();
    for (;;) {
      if (::StartServiceW(Sc(service), 0, nullptr)) return 0;
      const int32_t error = LastError();
      if (error != ERROR_SERVICE_DATABASE_LOCKED || ::GetTickCount() - begin >= kLockedWaitMs) return error;
      ::Sleep(250);
    }
  }

  int32_t Stop(ServiceHandle service) override {
    SERVICE_STATUS status{};
    return ::ControlService(Sc(service), SERVICE_CONTROL_STOP, &status) ? 0 : LastError();
  }

  int32_t Delete(ServiceHandle service) override { return ::DeleteService(Sc(service)) ? 0 : LastError(); }

  void Close(ServiceHandle handle) override { ::CloseServiceHandle(Sc(handle)); }

  int32_t SetAccessList(ServiceHandle service, const std::string& dacl) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(nv::text::Widen(dacl).c_str(),
                                                                SDDL_REVISION_1, &descriptor, nullptr))
      return LastError();
    const BOOL set = ::SetServiceObjectSecurity(Sc(service), DACL_SECURITY_INFORMATION, descriptor);
    const int32_t error = set ? 0 : LastError();
    ::LocalFree(descriptor);
    return error;
  }

  void ShowWaitCursor(bool on) override { ::SetCursor(::LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW)); }
};

struct SidTraits {
  using pointer = PSID;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer sid) noexcept { ::FreeSid(sid); }
};

// An impersonation token of the caller: the thread's own while impersonating, else a copy of the
// process token (the access check takes impersonation tokens only).
nv::win32::UniqueKernelHandle CallerToken() {
  nv::win32::UniqueKernelHandle token;
  if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put())) return token;
  nv::win32::UniqueKernelHandle process;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, process.put())) return {};
  ::DuplicateToken(process.get(), SecurityImpersonation, token.put());
  return token;
}

}  // namespace

ServiceControlApi& PlatformServiceControl() {
  static Win32ServiceControl api;
  return api;
}

namespace detail {

bool CallerIsAdministrator(uint32_t& checkError) noexcept {
  checkError = 0;
  const bool impersonating = ::ImpersonateSelf(SecurityImpersonation) != FALSE;
  bool admin = false;
  do {
    nv::win32::UniqueKernelHandle token = CallerToken();
    if (!token) {
      checkError = ::GetLastError();
      break;
    }
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    nv::UniqueHandle<SidTraits> admins;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, admins.put())) {
      checkError = ::GetLastError();
      break;
    }
    constexpr DWORD kAccessRead = 1;
    constexpr DWORD kAccessWrite = 2;
    const DWORD aclSize =
        sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(admins.get()) - sizeof(DWORD);
    std::vector<uint8_t> aclBytes(aclSize);
    auto* acl = reinterpret_cast<ACL*>(aclBytes.data());
    SECURITY_DESCRIPTOR descriptor{};
    if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::InitializeAcl(acl, aclSize, ACL_REVISION2) ||
        !::AddAccessAllowedAce(acl, ACL_REVISION2, kAccessRead | kAccessWrite, admins.get()) ||
        !::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
        !::SetSecurityDescriptorGroup(&descriptor, admins.get(), FALSE) ||
        !::SetSecurityDescriptorOwner(&descriptor, admins.get(), FALSE)) {
      checkError = ::GetLastError();
      break;
    }
    GENERIC_MAPPING mapping{kAccessRead, kAccessWrite, 0, kAccessRead | kAccessWrite};
    PRIVILEGE_SET privileges{};
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!::AccessCheck(&descriptor, token.get(), kAccessRead, &mapping, &privileges, &privilegesSize,
                       &granted, &status)) {
      checkError = ::GetLastError();
      break;
    }
    admin = status != FALSE;
  } while (false);
  if (impersonating) ::RevertToSelf();
  return admin;
}

}  // namespace detail
}  // namespace corekit
