// The audit trail's event log on the system it runs on (Wine here, whose event log takes the
// call and keeps nothing): a source counts only with its key, and a taken event writes no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "netvane/change_audit.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace fs = std::filesystem;

TEST(SystemEventLog, SourceCountsOnlyWithItsKeyAndTheFileTakesWhatTheLogDoesNot) {
  const std::string source = "NvAuditTest" + std::to_string(::GetCurrentProcessId());
  const std::wstring key =
      L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + nv::text::Widen(source);
  const fs::path dir = fs::temp_directory_path() / ("nvaudit-" + source);
  fs::remove_all(dir);
  fs::create_directories(dir);
  const auto sink = [&] {
    return nv::core::EventLogAuditSink(
        nv::core::MakeSystemEventLog(), source,
        std::make_unique<nv::core::JsonLinesAuditSink>((dir / "Log").string()));
  };
  const auto fileLines = [&] {
    std::ifstream in(dir / "Log" / "audit.jsonl");
    size_t n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
  };
  nv::core::AuditRecord record;
  record.time = "2026-12-08T10:00:00.000Z";
  record.outcome = "changed";

  auto log = nv::core::MakeSystemEventLog();
  ASSERT_NE(log, nullptr);
  EXPECT_FALSE(log->SourceRegistered(source));
  sink().Write(record);
  EXPECT_EQ(fileLines(), 1u) << "a missing source sends the record to the file";

  HKEY created = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &created, nullptr),
            ERROR_SUCCESS);
  const DWORD types = 7;
  ::RegSetValueExW(created, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                   sizeof types);
  ::RegCloseKey(created);
  EXPECT_TRUE(log->SourceRegistered(source));
  EXPECT_TRUE(log->Report(source, nv::core::IEventLog::Kind::Information, 1000, nv::core::AuditText(record)));
  sink().Write(record);
  EXPECT_EQ(fileLines(), 1u) << "an event the log took is not written to the file as well";

  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  fs::remove_all(dir);
}
