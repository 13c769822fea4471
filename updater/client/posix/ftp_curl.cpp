#include <curl/curl.h>

#include <algorithm>

#include "corekit/debug.h"
#include "ftp_listing.h"
#include "ftp_session.h"
#include "updater/handover_list.h"

namespace nv::updater {
namespace {

struct CurlInit {
  CurlInit() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

struct Sink {
  const std::function<bool(const char*, size_t)>* deliver = nullptr;
  size_t blockSize = 0;
  bool stopped = false;
};

size_t Deliver(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const size_t total = size * count;
  // libcurl hands over what arrived; the caller sees blocks of at most its block size.
  for (size_t done = 0; done < total;) {
    const size_t n = std::min(sink->blockSize, total - done);
    if (!(*sink->deliver)(data + done, n)) {
      sink->stopped = true;
      return 0;
    }
    done += n;
  }
  return total;
}

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// libcurl: one easy handle keeps the control connection between the calls.
class CurlFtpSession final : public IFtpSession {
 public:
  CurlFtpSession() {
    static CurlInit init;
    m_curl = curl_easy_init();
  }
  ~CurlFtpSession() override { Close(); }

  bool Connect(const std::string& host, uint16_t port, const std::string& user,
               const std::string& password) noexcept override {
    if (!m_curl) return false;
    m_base = "ftp://" + host + ":" + std::to_string(port);
    m_user = user;
    m_password = password;
    m_dir = "/";
    std::string ignored;
    return Perform(m_base + "/", true, nullptr, &ignored) == CURLE_OK;
  }

  bool ChangeDirectory(const std::string& dir) noexcept override {
    try {
      const std::string next = dir.empty() ? m_dir : (dir[0] == '/' ? dir : m_dir + dir);
      std::string probe = next.back() == '/' ? next : next + "/";
      std::string ignored;
      if (Perform(m_base + probe, true, nullptr, &ignored) != CURLE_OK) return false;
      m_dir = probe;
      return true;
    } catch (...) {
      return false;
    }
  }

  bool CurrentDirectory(std::string& dir) noexcept override {
    try {
      dir = m_dir.size() > 1 ? m_dir.substr(0, m_dir.size() - 1) : m_dir;
      return true;
    } catch (...) {
      return false;
    }
  }

  bool List(std::vector<FtpListing>& entries) noexcept override {
    try {
      std::string text;
      if (Perform(m_base + m_dir, false, nullptr, &text) != CURLE_OK) return false;
      entries.clear();
      for (std::string_view line : SplitLines(text)) {
        if (auto item = ParseListLine(line)) entries.push_back(std::move(*item));
      }
      return true;
    } catch (...) {
      return false;
    }
  }

  FtpDownload Download(const std::string& remote, bool ascii, size_t blockSize,
                       const std::function<bool(const char*, size_t)>& sink,
                       std::string& error) noexcept override {
    try {
      Sink target{&sink, blockSize == 0 ? 1 : blockSize, false};
      const std::string path = remote.empty() || remote[0] != '/' ? m_dir + remote : remote;
      curl_easy_setopt(m_curl, CURLOPT_TRANSFERTEXT, ascii ? 1L : 0L);
      const CURLcode code = Perform(m_base + path, false, &target, nullptr);
      curl_easy_setopt(m_curl, CURLOPT_TRANSFERTEXT, 0L);
      error = m_error;
      if (code == CURLE_OK) return FtpDownload::kDone;
      if (target.stopped) return FtpDownload::kStopped;
      switch (code) {
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_FTP_COULDNT_RETR_FILE:
        case CURLE_REMOTE_ACCESS_DENIED:
          return FtpDownload::kOpenExplained;
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_GOT_NOTHING:
          return FtpDownload::kTransferFailed;
        default:
          return FtpDownload::kOpenUnknown;
      }
    } catch (...) {
      return FtpDownload::kOpenUnknown;
    }
  }

  void Close() noexcept override {
    if (m_curl) curl_easy_cleanup(m_curl);
    m_curl = nullptr;
  }

 private:
  CURLcode Perform(const std::string& url, bool noBody, Sink* sink, std::string* text) noexcept {
    if (!m_curl) return CURLE_FAILED_INIT;
    m_error[0] = '\0';
    curl_easy_setopt(m_curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(m_curl, CURLOPT_USERNAME, m_user.c_str());
    curl_easy_setopt(m_curl, CURLOPT_PASSWORD, m_password.c_str());
    curl_easy_setopt(m_curl, CURLOPT_FTPPORT, "-");  // active mode
    curl_easy_setopt(m_curl, CURLOPT_NOBODY, noBody ? 1L : 0L);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_error);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, 20L);
    // A server that stops sending for half a minute has dropped the transfer.
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, 30L);
    curl_easy_setopt(m_curl, CURLOPT_BUFFERSIZE, 16384L);
    if (sink) {
      curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, Deliver);
      curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, sink);
    } else {
      curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, Collect);
      curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, text);
    }
    const CURLcode code = curl_easy_perform(m_curl);
    if (code != CURLE_OK)
      CDebug::dprintf("Updagent: %s: %s\n", url.c_str(), m_error[0] ? m_error : curl_easy_strerror(code));
    return code;
  }

  CURL* m_curl = nullptr;
  std::string m_base, m_user, m_password, m_dir;
  char m_error[CURL_ERROR_SIZE] = {};
};

}  // namespace

std::unique_ptr<IFtpSession> NewNativeFtpSession() { return std::make_unique<CurlFtpSession>(); }

}  // namespace nv::updater
