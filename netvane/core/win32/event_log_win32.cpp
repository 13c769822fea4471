#include "platform/windows_api.h"

#include "netvane/change_audit.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "platform/win32_handles.h"

namespace nv::core {
namespace {

struct EventSourceTraits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::DeregisterEventSource(h); }
};

class SystemEventLog : public IEventLog {
 public:
  bool SourceRegistered(const std::string& source) override {
    // RegisterEventSourceW succeeds for any name (it falls back to the Application log), so
    // the source counts as present only when its key exists.
    const std::wstring key =
        L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + nv::text::Widen(source);
    nv::win32::UniqueKey handle;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
  }

  bool Report(const std::string& source, Kind kind, unsigned eventId, const std::string& text) override {
    const nv::UniqueHandle<EventSourceTraits> log(
        ::RegisterEventSourceW(nullptr, nv::text::Widen(source).c_str()));
    if (!log) return false;
    const std::wstring wide = nv::text::Widen(text);
    const wchar_t* strings[] = {wide.c_str()};
    const WORD type = kind == Kind::Error     ? EVENTLOG_ERROR_TYPE
                      : kind == Kind::Warning ? EVENTLOG_WARNING_TYPE
                                              : EVENTLOG_INFORMATION_TYPE;
    return ::ReportEventW(log.get(), type, 0, eventId, nullptr, 1, 0, strings, nullptr) != FALSE;
  }
};

}  // namespace

std::unique_ptr<IEventLog> MakeSystemEventLog() { return std::make_unique<SystemEventLog>(); }

}  // namespace nv::core
