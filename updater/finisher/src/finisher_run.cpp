#include "finisher_run.h"

#include "corekit/debug.h"
#include "updater/handover_list.h"
#include "updater/replacing_copy.h"

namespace nv::updater {

std::optional<FinisherArguments> ParseFinisherArguments(const std::vector<std::string>& args) {
  if (args.size() != 3) return std::nullopt;
  return FinisherArguments{args[0], args[1], args[2]};
}

FinisherReport RunFinisher(const FinisherContext& context, IFileSystem& fs, IServiceControl& services,
                           IFinisherHost& host) {
  FinisherReport report;
  // An empty or relative folder would make the staging folder one that any user can create
  // ("\UpdateTemp" at the root of the drive): nothing is read from there.
  if (!IsSafeAbsolutePath(context.installedPath, context.style)) {
    CDebug::dprintf("continue: InstalledPath \"%s\" is not an absolute folder: nothing installed\n",
                    context.installedPath.c_str());
    report.badInstalledPath = true;
    return report;
  }
  const std::string listPath = JoinPath(context.installedPath, kVersionListName, context.style);
  std::string text;
  if (!ReadWholeFile(fs, listPath, text) || text.empty()) return report;
  report.listFound = true;

  const HandOverList list = ParseHandOverList(text, context.style);
  for (const auto& why : list.rejected) CDebug::dprintf("continue: line refused, %s\n", why.c_str());
  report.refused = list.rejected;
  host.SetProgressRange(static_cast<int>(list.entries.size()));
  const std::string staging = JoinPath(context.installedPath, kStagingFolderName, context.style);
  bool restart = false;
  bool shutdown = false;
  bool shutdownAsked = false;
  for (const auto& entry : list.entries)
    shutdownAsked = shutdownAsked || entry.flags.find("SHUTDOWN") != std::string::npos;
  for (const auto& entry : list.entries) {
    host.StepProgress();
    host.ShowStatus("Copying " + entry.fileName + " ...");
    const std::string service = context.ntFamily ? ServiceNameOfFlags(entry.flags) : std::string();
    if (!service.empty()) {
      services.Stop(service);
      host.Wait(2000);
    }
    fs.CreateDirectory(ParentDirectory(entry.targetPath, context.style));
    // The program that held it (the tray program changing back to A) may still be ending.
    unsigned waited = 0;
    while (fs.InUse(entry.targetPath) && waited < kFreeWaitMs) {
      host.Wait(kFreePollMs);
      waited += kFreePollMs;
    }
    const bool busy = waited >= kFreeWaitMs && fs.InUse(entry.targetPath);
    if (busy)
      CDebug::dprintf("continue: %s still in use after %u s\n", entry.targetPath.c_str(), waited / 1000);
    const ReplaceWhen when = busy && shutdownAsked ? ReplaceWhen::kAtRestart : ReplaceWhen::kNow;
    const CopyResult copy =
        CopyReplacing(fs, JoinPath(staging, entry.fileName, context.style), entry.targetPath, kInstallBlock,
                      context.style, {}, entry.sha256, when);
    if (copy.status == CopyStatus::kSourceMissing) {
      // Nothing staged for this entry: its service stays stopped and its flags unnoted.
      CDebug::dprintf("continue: %s\n", copy.error.c_str());
      continue;
    }
    if (copy.status == CopyStatus::kCopied) {
      report.installed.push_back(entry.fileName);
    } else if (copy.status == CopyStatus::kScheduled) {
      CDebug::dprintf("continue: %s replaces %s when the computer next starts\n", copy.error.c_str(),
                      entry.targetPath.c_str());
      report.scheduled.push_back(entry.fileName);
      host.ReportReplacedAtRestart(entry.fileName);
    } else {
      CDebug::dprintf("continue: %s\n", copy.error.c_str());
      report.failed.push_back(entry.fileName);
      host.ReportCopyFailure(entry.fileName, copy.error);
    }
    if (!service.empty()) services.Start(service);
    restart = restart || entry.flags.find("RESTART") != std::string::npos;
    shutdown = shutdown || entry.flags.find("SHUTDOWN") != std::string::npos;
  }
  fs.Remove(listPath);

  if (shutdown && host.AskRestartWindows(context.productName)) {
    host.RestartComputer();
    report.restartedComputer = true;
  } else if (restart && host.ProgramRuns(context.programPath)) {
    // A second tray program beside the first would ask the first for a change.
    CDebug::dprintf("continue: %s runs already: not started again\n", context.programPath.c_str());
    report.programRanAlready = true;
  } else if (restart) {
    host.ShowStatus("Restarting " + context.productName + " ...");
    report.restartedProgram = host.RestartProgram(context.programPath);
  }
  return report;
}

}  // namespace nv::updater
