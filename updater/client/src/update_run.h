// One update run, from the connection to the hand-over, on the worker thread: fetch the server's
// version list (and with a configured key its signature), choose the newer files, download them
// into the staging folder, write the hand-over list and start the finisher.  Everything outside
// (FTP, files, versions, registry, the dialog, starting programs) comes through interfaces.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ftp_session.h"
#include "update_crypto.h"
#include "update_selection.h"
#include "update_settings.h"
#include "update_texts.h"
#include "updater/file_system.h"
#include "version_list.h"

namespace nv::updater {

inline constexpr size_t kDownloadBlock = 2048;
inline constexpr size_t kFinisherCopyBlock = 64512;
inline constexpr int kListingAttempts = 6;
inline constexpr const char* kSignatureName = "VerSion.txt.sig";
inline constexpr const char* kFinisherName = "continue.exe";
inline constexpr const char* kFinisherCopyName = "orgcontinue.exe";

// What the run shows; called on the worker thread.
class IUpdateView {
 public:
  virtual ~IUpdateView() = default;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void ShowTotalProgress(int percent) = 0;
  virtual void ShowFileProgress(int percent) = 0;
  // A yes/no question to the user (the retry of a refused file).
  virtual bool Ask(const std::string& text) = 0;
};

// Registry access of a run (CUpdateSettings in the programs).
class IRunSettings {
 public:
  virtual ~IRunSettings() = default;
  virtual void SetLastServerName(const std::string& name) = 0;
  virtual void SetCwd(const std::string& dir) = 0;
  virtual std::string UpdatePublicKey() = 0;
  // "RequireVerifiedUpdates": without a key nothing is staged.
  virtual bool RequireVerifiedUpdates() = 0;
  // The highest "#SEQUENCE" of a verified list handed over on this machine (0: none yet).
  virtual uint32_t InstalledSequence() = 0;
  virtual void SetInstalledSequence(uint32_t sequence) = 0;
  // One line for the audit trail (an update handed over without verification).
  virtual void Audit(const std::string& text) = 0;
};

// The two things the hand-over does outside the process.
// How long Updagent waits for the tray program to end after the exit command: on network B it
// first changes back to A, which takes seconds and may wait for DHCP.
inline constexpr unsigned kTrayExitLimitMs = 120000;

class IHandOverActions {
 public:
  virtual ~IHandOverActions() = default;
  // The exit command to the tray program, so that it closes before its files are replaced.
  virtual void SendCommandToTray() = 0;
  // Waits up to `limitMs` for the tray program the command went to to end; true when it has
  // (or there was none to wait for).
  virtual bool WaitForTrayToEnd(unsigned limitMs) = 0;
  // Starts `program` with `parameters`; false when it did not start.
  virtual bool StartProgram(const std::string& program, const std::string& parameters) = 0;
};

struct RunRequest {
  std::string serverName;  // stored as the last server used
  ServerEndpoint endpoint;
  uint16_t port = 21;
  std::string remoteDir;  // the product key name
  std::string makerKey;
  std::string programPath;  // the program the finisher restarts
  ListContext list;         // installedPath is the installation folder
};

enum class RunEnd {
  kConnectFailed,  // quiet: back to idle
  kFailed,         // `message` says why
  kStopped,
  kNothingToUpdate,  // "Update already Complete"
  kHandedOver,       // the finisher runs; the dialog closes
};

struct RunOutcome {
  RunEnd end = RunEnd::kFailed;
  std::string message;
  std::vector<std::string> staged;  // file names staged by this run
};

struct RunServices {
  IFtpSession& ftp;
  IFileSystem& fs;
  IFileVersionReader& versions;
  ICrypto& crypto;
  IRunSettings& settings;
  IHandOverActions& actions;
  IUpdateView& view;
};

// Parameters of the finisher: maker, product and the restarted program in quotes.
std::string FinisherParameters(const RunRequest& request);

// The number of the list's first "#SEQUENCE n" line (older clients take it for a comment);
// false when there is none or its number is not a decimal that fits 32 bits.
bool ListSequence(std::string_view listBytes, uint32_t& sequence);

// ASCII for names holding ".TXT" or ".INI" after their first character.
bool UsesAsciiTransfer(const std::string& fileName);

RunOutcome RunUpdate(const RunRequest& request, const UpdateTexts& texts, RunServices services,
                     const std::atomic<bool>& stop);

}  // namespace nv::updater
