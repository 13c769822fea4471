#include "update_run.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "corekit/debug.h"
#include "platform/text.h"
#include "updater/handover_list.h"
#include "updater/replacing_copy.h"

namespace nv::updater {

std::string FinisherParameters(const RunRequest& request) {
  return request.makerKey + " " + request.remoteDir + " \"" + request.programPath + "\"";
}

bool ListSequence(std::string_view listBytes, uint32_t& sequence) {
  const std::string text = ListTextToUtf8(listBytes);
  for (std::string_view raw : SplitLines(text)) {
    const std::string_view line = Trim(raw);
    if (line.size() < 9 || !nv::text::EqualsNoCase(line.substr(0, 9), "#SEQUENCE")) continue;
    const std::string_view number = Trim(line.substr(9));
    if (number.empty() || number.size() > 10 ||
        number.find_first_not_of("0123456789") != std::string_view::npos)
      return false;
    const uint64_t value = std::stoull(std::string(number));
    if (value > UINT32_MAX) return false;
    sequence = static_cast<uint32_t>(value);
    return true;
  }
  return false;
}

bool UsesAsciiTransfer(const std::string& fileName) {
  const std::string upper = nv::text::ToUpperAscii(fileName);
  return upper.find(".TXT", 1) != std::string::npos || upper.find(".INI", 1) != std::string::npos;
}

namespace {

class Run {
 public:
  Run(const RunRequest& request, const UpdateTexts& texts, RunServices services,
      const std::atomic<bool>& stop)
      : m_request(request), m_texts(texts), m_s(services), m_stop(stop) {}

  RunOutcome Execute() {
    RunOutcome outcome = Steps();
    m_s.ftp.Close();
    if (outcome.end != RunEnd::kHandedOver) {
      // The server's list was fetched to where the finisher reads its hand-over list: without a
      // hand-over it must not stay there.
      if (m_fetchedList) m_s.fs.Remove(ListPath());
    }
    outcome.staged = m_staged;
    return outcome;
  }

 private:
  std::string Installed() const { return m_request.list.installedPath; }
  std::string Join(const std::string& dir, const std::string& name) const {
    return JoinPath(dir, name, m_request.list.style);
  }
  std::string ListPath() const { return Join(Installed(), kVersionListName); }
  std::string StagingDir() const { return Join(Installed(), kStagingFolderName); }

  static RunOutcome Fail(const std::string& message) { return {RunEnd::kFailed, message, {}}; }

  RunOutcome Steps() {
    // An empty or relative folder would put the staging folder where any user can create it.
    if (!IsSafeAbsolutePath(Installed(), m_request.list.style)) {
      CDebug::dprintf("Updagent: InstalledPath \"%s\" is not an absolute folder\n", Installed().c_str());
      return Fail(m_texts.badInstalledPath);
    }
    const std::string keyText = m_s.settings.UpdatePublicKey();
    m_verifying = keyText.find_first_not_of(" \t\r\n") != std::string::npos;
    if (!m_verifying && m_s.settings.RequireVerifiedUpdates()) {
      CDebug::dprintf("Updagent: verified updates are required and no update key is configured\n");
      return Fail(m_texts.verifiedRequired);
    }
    m_s.fs.CreateDirectory(Installed());
    if (!m_s.fs.CreatePrivateDirectory(StagingDir())) {
      CDebug::dprintf("Updagent: staging folder %s refused: %s\n", StagingDir().c_str(),
                      m_s.fs.LastError().c_str());
      return Fail(m_texts.badStaging);
    }

    m_s.view.ShowStatus(m_texts.connect);
    const ServerEndpoint& e = m_request.endpoint;
    if (!m_s.ftp.Connect(e.address, m_request.port, e.user, e.password)) {
      CDebug::dprintf("Updagent: cannot connect to %s\n", e.address.c_str());
      return {RunEnd::kConnectFailed, "", {}};
    }
    std::string cwd;
    if (!m_s.ftp.ChangeDirectory(m_request.remoteDir) || !m_s.ftp.CurrentDirectory(cwd)) {
      CDebug::dprintf("Updagent: no folder %s on the server\n", m_request.remoteDir.c_str());
      return Fail(m_texts.failList);
    }
    m_s.settings.SetLastServerName(m_request.serverName);

    // With a key every transfer is binary, so the bytes checked are the server's own.
    const std::string remoteDir = cwd.empty() || cwd.back() == '/' ? cwd : cwd + "/";
    std::string listBytes;
    if (!Fetch(remoteDir + kVersionListName, !m_verifying, listBytes)) return Fail(m_texts.failList);
    auto listFile = m_s.fs.Create(ListPath());
    m_fetchedList = true;
    if (!listFile || !listFile->Write(listBytes.data(), listBytes.size()) || !listFile->Close()) {
      return Fail(m_texts.writeProtect);
    }

    std::string signature;
    const bool haveSignature = m_verifying && Fetch(remoteDir + kSignatureName, false, signature);
    switch (CheckVersionList(m_s.crypto, keyText, listBytes, haveSignature ? &signature : nullptr)) {
      case ListCheck::kNotConfigured:
        CDebug::dprintf("Updagent: no update key configured, the update is not verified\n");
        break;
      case ListCheck::kVerified:
        CDebug::dprintf("Updagent: the list's signature is valid\n");
        break;
      case ListCheck::kBadKey:
        CDebug::dprintf("Updagent: the configured update key cannot be read\n");
        return Fail(m_texts.badKey);
      case ListCheck::kNoSignature:
      case ListCheck::kBadSignature:
        CDebug::dprintf("Updagent: %s missing or not valid for this list\n", kSignatureName);
        return Fail(m_texts.badSignature);
    }

    if (m_verifying) {
      // A signed list stays valid: an older one must not roll files back.
      const uint32_t installed = m_s.settings.InstalledSequence();
      const bool numbered = ListSequence(listBytes, m_sequence);
      if (installed > 0 && (!numbered || m_sequence < installed)) {
        CDebug::dprintf("Updagent: the list's sequence %s is older than %u, the last installed\n",
                        numbered ? std::to_string(m_sequence).c_str() : "(none)",
                        static_cast<unsigned>(installed));
        return Fail(m_texts.oldSequence);
      }
    }

    const VersionList list = ParseVersionList(listBytes, m_request.list);
    for (const auto& why : list.rejected) CDebug::dprintf("Updagent: line refused, %s\n", why.c_str());
    const std::vector<VersionEntry> chosen = SelectUpdates(list.entries, m_s.versions);
    if (chosen.empty()) return {RunEnd::kNothingToUpdate, "Update already Complete", {}};
    // Two names that reach one staged file would let one line's check cover another's bytes.
    for (size_t i = 0; i < chosen.size(); ++i) {
      for (size_t j = 0; j < i; ++j) {
        if (NamesMayAlias(chosen[j].fileName, chosen[i].fileName)) {
          CDebug::dprintf("Updagent: %s and %s name one staged file\n", chosen[j].fileName.c_str(),
                          chosen[i].fileName.c_str());
          return Fail(m_texts.sameName);
        }
      }
    }
    if (m_verifying) {
      for (const auto& entry : chosen) {
        if (entry.sha256.empty()) {
          CDebug::dprintf("Updagent: no SHA-256 for %s\n", entry.fileName.c_str());
          return Fail(m_texts.noHash);
        }
      }
    }

    const int count = static_cast<int>(chosen.size());
    for (int i = 0; i < count; ++i) {
      if (m_stop) return {RunEnd::kStopped, "", {}};
      char status[64];
      std::snprintf(status, sizeof status, "%d/%d ", i + 1, count);
      m_s.view.ShowStatus(status + m_texts.downloading);
      m_s.view.ShowTotalProgress(i * 100 / count);
      RunOutcome entryOutcome = Stage(chosen[i]);
      if (entryOutcome.end != RunEnd::kHandedOver) {
        if (m_hashFailed) RemoveStaged();
        return entryOutcome;
      }
    }
    m_s.view.ShowTotalProgress(100);
    return HandOver(chosen);
  }

  // Downloads a whole small file (the list, the signature) into memory.
  bool Fetch(const std::string& remote, bool ascii, std::string& bytes) {
    std::string error;
    const FtpDownload result = m_s.ftp.Download(
        remote, ascii, kDownloadBlock,
        [&](const char* data, size_t size) {
          bytes.append(data, size);
          return bytes.size() <= (16u << 20);  // a list is small; refuse to grow without bound
        },
        error);
    if (result != FtpDownload::kDone)
      CDebug::dprintf("Updagent: cannot fetch %s (%s)\n", remote.c_str(), error.c_str());
    return result == FtpDownload::kDone;
  }

  bool FindListed(const std::string& name, uint64_t& size) {
    for (int attempt = 1; attempt <= kListingAttempts; ++attempt) {
      std::vector<FtpListing> listing;
      if (m_s.ftp.List(listing)) {
        for (const auto& item : listing) {
          if (item.name == name) {
            size = item.size;
            return true;
          }
        }
      }
      CDebug::dprintf("Updagent: %s not listed (listing %d of %d)\n", name.c_str(), attempt,
                      kListingAttempts);
    }
    return false;
  }

  // Stages one entry; kHandedOver stands for "staged, go on".
  RunOutcome Stage(const VersionEntry& entry) {
    uint64_t size = 0;
    if (!FindListed(entry.remoteName, size)) return Fail(m_texts.writeProtect);
    if (size == 0) {
      CDebug::dprintf("Updagent: %s is listed with size 0\n", entry.remoteName.c_str());
      return Fail(m_texts.readProtect);
    }
    const bool ascii = !m_verifying && UsesAsciiTransfer(entry.fileName);
    const std::string staged = Join(StagingDir(), entry.fileName);

    for (;;) {
      auto out = m_s.fs.Create(staged);
      if (!out) {
        CDebug::dprintf("Updagent: cannot create %s: %s\n", staged.c_str(), m_s.fs.LastError().c_str());
        return Fail(m_texts.writeProtect);
      }
      m_staged.push_back(entry.fileName);
      // Every staged file is hashed: the finisher installs only these bytes.
      std::unique_ptr<ISha256> hash = m_s.crypto.NewSha256();
      if (!hash) return Fail(m_texts.badHash);
      uint64_t received = 0;
      uint64_t lineFeeds = 0;
      bool writeFailed = false;
      std::string error;
      m_s.view.ShowFileProgress(0);
      const FtpDownload result = m_s.ftp.Download(
          entry.remoteName, ascii, kDownloadBlock,
          [&](const char* data, size_t n) {
            if (m_stop) return false;
            // A binary file is exactly its listed size; ASCII line ends may change its length.
            if (!ascii && received + n > size) n = static_cast<size_t>(size - received);
            if (!out->Write(data, n)) {
              writeFailed = true;
              return false;
            }
            if (hash) hash->Update(data, n);
            if (ascii) lineFeeds += static_cast<uint64_t>(std::count(data, data + n, '\n'));
            received += n;
            m_s.view.ShowFileProgress(static_cast<int>(received >= size ? 100 : received * 100 / size));
            return ascii || received < size;
          },
          error);
      const bool closed = out->Close();
      if (writeFailed || !closed) return Fail(m_texts.writeProtect);
      if (m_stop) return {RunEnd::kStopped, "", {}};
      switch (result) {
        case FtpDownload::kDone:
        case FtpDownload::kStopped:
          break;
        case FtpDownload::kOpenExplained:
          CDebug::dprintf("Updagent: %s refused: %s\n", entry.remoteName.c_str(), error.c_str());
          if (m_s.view.Ask(m_texts.askRetry + "\n\n" + error)) continue;
          return Fail(m_texts.readProtect);
        case FtpDownload::kOpenUnknown:
          return Fail("Unknown Err");
        case FtpDownload::kNoHandle:
          return Fail(m_texts.readProtect);
        case FtpDownload::kTransferFailed:
          CDebug::dprintf("Updagent: transfer of %s broke off: %s\n", entry.remoteName.c_str(),
                          error.c_str());
          return Fail(m_texts.readProtect);
      }
      // An ASCII transfer adds or drops at most one CR per line: fewer bytes than that allows
      // means the transfer broke off, even when the connection just ended.
      if ((!ascii && received < size) || (ascii && received + lineFeeds < size)) {
        CDebug::dprintf("Updagent: %s ended after %llu of %llu bytes\n", entry.remoteName.c_str(),
                        static_cast<unsigned long long>(received), static_cast<unsigned long long>(size));
        return Fail(m_texts.readProtect);
      }
      Sha256Digest digest{};
      if (!hash->Final(digest)) return Fail(m_texts.badHash);
      m_stagedHashes.push_back(Sha256Text(digest));
      if (m_verifying && m_stagedHashes.back() != entry.sha256) {
        CDebug::dprintf("Updagent: %s does not match its SHA-256\n", entry.fileName.c_str());
        m_hashFailed = true;
        return Fail(m_texts.badHash);
      }
      return {RunEnd::kHandedOver, "", {}};
    }
  }

  void RemoveStaged() {
    for (const auto& name : m_staged) m_s.fs.Remove(Join(StagingDir(), name));
    m_staged.clear();
  }

  RunOutcome HandOver(const std::vector<VersionEntry>& chosen) {
    std::vector<HandOverEntry> handOver;
    bool restartTray = false;
    for (size_t i = 0; i < chosen.size(); ++i) {
      const VersionEntry& entry = chosen[i];
      handOver.push_back({entry.fileName, entry.targetPath, entry.flags, m_stagedHashes.at(i)});
      restartTray = restartTray || entry.flags.find("Restart") != std::string::npos;
    }
    if (!ReplaceWholeFile(m_s.fs, ListPath(), FormatHandOverList(handOver)))
      return Fail(m_texts.writeProtect);
    m_fetchedList = false;
    m_s.settings.SetCwd(Installed());
    m_s.view.ShowStatus("Preparing File Copy ...");

    // The finisher runs from a copy, so that its own file can be among the replaced ones.
    const std::string finisherCopy = Join(Installed(), kFinisherCopyName);
    const CopyResult copy =
        CopyReplacing(m_s.fs, Join(Installed(), kFinisherName), finisherCopy, kFinisherCopyBlock,
                      m_request.list.style, [&](uint64_t done, uint64_t total) {
                        m_s.view.ShowFileProgress(total == 0 ? 100 : static_cast<int>(done * 100 / total));
                      });
    if (copy.status != CopyStatus::kCopied) {
      CDebug::dprintf("Updagent: %s\n", copy.error.c_str());
      return Fail(m_texts.failExecute);
    }
    if (m_verifying && m_sequence > m_s.settings.InstalledSequence())
      m_s.settings.SetInstalledSequence(m_sequence);
    // Every hand-over is on the audit trail: what was installed, from where, and whether checked.
    std::string names;
    for (const auto& entry : chosen) names += (names.empty() ? "" : ", ") + entry.fileName;
    const std::string how = !m_verifying     ? "NOT VERIFIED (no update key configured)"
                            : m_sequence > 0 ? "verified (sequence " + std::to_string(m_sequence) + ")"
                                             : "verified";
    m_s.settings.Audit("update from " + m_request.serverName + " (" + m_request.endpoint.address +
                       ") handed over " + how + ": " + names);
    if (restartTray) {
      m_s.actions.SendCommandToTray();
      // Its files stay in use until it has ended; continue would find them busy.
      if (!m_s.actions.WaitForTrayToEnd(kTrayExitLimitMs)) {
        CDebug::dprintf("Updagent: the tray program still runs after %u s; continue waits for its files\n",
                        kTrayExitLimitMs / 1000);
      }
    }
    if (!m_s.actions.StartProgram(finisherCopy, FinisherParameters(m_request)))
      return Fail(m_texts.failExecute);
    return {RunEnd::kHandedOver, "", {}};
  }

  const RunRequest& m_request;
  const UpdateTexts& m_texts;
  RunServices m_s;
  const std::atomic<bool>& m_stop;
  bool m_verifying = false;
  bool m_fetchedList = false;
  bool m_hashFailed = false;
  uint32_t m_sequence = 0;
  std::vector<std::string> m_staged;
  std::vector<std::string> m_stagedHashes;  // per chosen entry, in order
};

}  // namespace

RunOutcome RunUpdate(const RunRequest& request, const UpdateTexts& texts, RunServices services,
                     const std::atomic<bool>& stop) {
  try {
    return Run(request, texts, services, stop).Execute();
  } catch (const std::exception& e) {
    CDebug::dprintf("Updagent: run ended by %s\n", e.what());
    services.ftp.Close();
    return {RunEnd::kFailed, texts.failExecute, {}};
  }
}

}  // namespace nv::updater
