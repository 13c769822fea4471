// CLogFile: the activity log, one file per calendar month ("%s\%02d%02d-%s.log" from the folder,
// the four-digit year, the month and the stem), one line per Write:
//   "%02d-%02d-%02d,%2d:%2d:%2d,%s" + CR LF   e.g. "2006-12-07, 9: 5: 7,ID2"
// Before each write the month file that holds the date `days` back is deleted.  Appends from
// several processes exclude each other by opening the file exclusively (retried for a short
// time when another writer has it) and, when some process created it, by the named mutex
// "NETVANE_LOG_MUTEX".  File errors are swallowed: logging never stops the program.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

// Where the log takes "now" from; tests put in a fixed time.
class LogClock {
 public:
  virtual ~LogClock() = default;
  virtual std::time_t Now() const noexcept = 0;
};

class CLogFile {
 public:
  static constexpr const char* kMutexName = "NETVANE_LOG_MUTEX";

  // A non-empty folder is created (one level; an existing folder or a failure is ignored).
  CLogFile(const std::string& folder, const std::string& stem, std::int32_t days) noexcept;
  CLogFile(const std::string& folder, const std::string& stem, std::int32_t days, const LogClock& clock,
           std::string mutexName = kMutexName) noexcept;

  // Appends one line with the printf-formatted message (at most 1023 bytes of it).
  void Write(const char* format, ...) noexcept __attribute__((format(printf, 2, 3)));

  // The file a write at `t` goes to.
  std::string FilePathAt(std::time_t t) const;

 private:
  void WriteMessage(std::string_view message) noexcept;

  std::string m_folder;
  std::string m_stem;
  std::int32_t m_days;
  const LogClock* m_clock;
  std::string m_mutexName;
};

namespace nv::core {

// The line for a message at a local time, with every line feed made CR LF and a CR LF at the end.
std::string FormatLogLine(const std::tm& local, std::string_view message);

}  // namespace nv::core
