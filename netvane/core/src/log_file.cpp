#include "netvane/log_file.h"

#include <cstdarg>
#include <cstdio>

#include "log_io.h"
#include "platform/local_time.h"
#include "platform/named_mutex.h"

namespace {

// A writer that finds the file held by another process waits this long before the line is lost.
constexpr int kShareRetryMs = 2000;

class SystemClock final : public LogClock {
 public:
  std::time_t Now() const noexcept override { return std::time(nullptr); }
};

const SystemClock g_systemClock;

}  // namespace

namespace nv::core {

std::string FormatLogLine(const std::tm& local, std::string_view message) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%02d-%02d-%02d,%2d:%2d:%2d,", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  std::string line(stamp);
  line.reserve(line.size() + message.size() + 8);
  for (const char c : message) {
    // A CR LF already in the message stays one line end instead of becoming CR CR LF.
    if (c == '\n' && (line.empty() || line.back() != '\r')) line += '\r';
    line += c;
  }
  // Every entry ends its line, also when the message's last line feed is not at its end;
  // otherwise the next entry would continue this entry's last line.
  if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) line += "\r\n";
  return line;
}

}  // namespace nv::core

CLogFile::CLogFile(const std::string& folder, const std::string& stem, std::int32_t days) noexcept
    : CLogFile(folder, stem, days, g_systemClock) {}

CLogFile::CLogFile(const std::string& folder, const std::string& stem, std::int32_t days,
                   const LogClock& clock, std::string mutexName) noexcept
    : m_days(days), m_clock(&clock), m_mutexName(std::move(mutexName)) {
  try {
    if (!folder.empty()) {
      m_folder = folder;
      nv::core::logio::CreateFolder(m_folder);
    }
    if (!stem.empty()) m_stem = stem;
  } catch (...) {  // out of memory: the log then writes to the current folder
  }
}

std::string CLogFile::FilePathAt(std::time_t t) const {
  std::tm local{};
  nv::ToLocalTime(t, local);
  char name[64];
  std::snprintf(name, sizeof name, "%02d%02d-", local.tm_year + 1900, local.tm_mon + 1);
  return m_folder + nv::core::logio::PathSeparator() + name + m_stem + ".log";
}

void CLogFile::Write(const char* format, ...) noexcept {
  char message[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (n < 0) return;
  WriteMessage(message);
}

void CLogFile::WriteMessage(std::string_view message) noexcept {
  try {
    const std::time_t now = m_clock->Now();
    const std::string path = FilePathAt(now);
    // The month file holding the retention cut-off goes; never the file about to be written,
    // which a retention shorter than a month would otherwise empty before every line.
    const std::string expired = FilePathAt(now - static_cast<std::time_t>(m_days) * 86400);
    if (expired != path) nv::core::logio::DeleteFileQuietly(expired);

    std::tm local{};
    nv::ToLocalTime(now, local);
    const std::string line = nv::core::FormatLogLine(local, message);

    const auto mutex = nv::NamedMutex::OpenExisting(m_mutexName);
    const bool locked = mutex && mutex->Lock();
    nv::core::logio::AppendExclusive(path, line, kShareRetryMs);
    if (locked) mutex->Unlock();
  } catch (...) {  // the line is lost; the program goes on
  }
}
