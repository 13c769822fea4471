#include "win32/winsock_transport.h"

#include "platform/windows_api.h"
// After windows_api.h: with WIN32_LEAN_AND_MEAN it leaves the socket headers to us.
#include <winsock2.h>
#include <ws2tcpip.h>
// Needs the socket headers before it.
#include <iphlpapi.h>
#include <mswsock.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/unique_handle.h"

namespace nvserv {
namespace {

struct SocketTraits {
  using pointer = SOCKET;
  static pointer invalid() noexcept { return INVALID_SOCKET; }
  static void close(pointer s) noexcept { ::closesocket(s); }
};
using UniqueSocket = nv::UniqueHandle<SocketTraits>;

std::string WsaText(const char* what) {
  return std::string(what) + ": Winsock error " + std::to_string(::WSAGetLastError());
}

bool AdapterHasMac(const MacAddress& mac) {
  ULONG size = 16 * 1024;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::vector<unsigned char> buffer(size);
    auto* list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    const ULONG rc = ::GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, list, &size);
    if (rc == ERROR_BUFFER_OVERFLOW) continue;
    if (rc != NO_ERROR) return false;
    for (const IP_ADAPTER_ADDRESSES* a = list; a != nullptr; a = a->Next) {
      if (a->PhysicalAddressLength == mac.size() &&
          std::memcmp(a->PhysicalAddress, mac.data(), mac.size()) == 0)
        return true;
    }
    return false;
  }
  return false;
}

class WinsockTransport final : public DhcpTransport {
 public:
  explicit WinsockTransport(const WinsockTransportOptions& options) : options_(options) {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockTransport() override {
    Close();
    if (started_) ::WSACleanup();
  }

  bool Open(std::string& error) noexcept override {
    if (!started_) {
      error = "Winsock could not be started";
      return false;
    }
    UniqueSocket s(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!s) {
      error = WsaText("socket");
      return false;
    }
    BOOL on = TRUE;
    // Exclusive: another program must not take over port 67 while we serve it.
    ::setsockopt(s.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    if (::setsockopt(s.get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
      error = WsaText("SO_BROADCAST");
      return false;
    }
    // An ICMP "port unreachable" for an earlier reply must not fail the next receive.
    BOOL off = FALSE;
    DWORD bytes = 0;
    ::WSAIoctl(s.get(), SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &bytes, nullptr, nullptr);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = ::htons(options_.port);
    local.sin_addr.s_addr = ::htonl(options_.bindAddress);
    if (::bind(s.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      error = WsaText("bind UDP port 67");
      return false;
    }
    socket_ = std::move(s);
    return true;
  }

  bool Arm(const LeaseConfig& lease, std::string& error) noexcept override {
    try {
      const MacAddress& mac = lease.mac;
      if (options_.requireAdapter && !AdapterHasMac(mac)) {
        error = "no adapter has the MAC " + FormatMac(mac);
        return false;
      }
    } catch (const std::exception& e) {
      error = e.what();
      return false;
    }
    if (options_.refuseOwnAdapter) {
      error = kOwnClientUnreachable;
      return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = true;
    return true;
  }

  void Disarm() noexcept override {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
  }

  ReceiveResult Receive(std::vector<std::uint8_t>& buffer, int timeoutMs) noexcept override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_.get(), &readable);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
    if (ready == 0) return {ReceiveStatus::kTimeout, 0};
    if (ready < 0) return {ReceiveStatus::kError, 0};
    const int n =
        ::recv(socket_.get(), reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0);
    if (n >= 0) return {ReceiveStatus::kDatagram, static_cast<std::size_t>(n)};
    const int code = ::WSAGetLastError();
    if (code == WSAEMSGSIZE) return {ReceiveStatus::kOversized, 0};
    if (code == WSAECONNRESET || code == WSAEWOULDBLOCK || code == WSAEINTR)
      return {ReceiveStatus::kTimeout, 0};
    return {ReceiveStatus::kError, 0};
  }

  bool Send(const DhcpReply& reply, std::string& error) noexcept override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!armed_) {
      error = "not armed";
      return false;
    }
    // A client without an address cannot be reached by unicast through the IP stack (no
    // address-resolution entry for it): broadcast instead.
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = ::htons(kClientPort);
    to.sin_addr.s_addr = ::htonl(reply.to.clientHasAddress ? reply.to.ip : kBroadcastIp);
    const int n =
        ::sendto(socket_.get(), reinterpret_cast<const char*>(reply.payload.data()),
                 static_cast<int>(reply.payload.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (n < 0) {
      error = WsaText("sendto");
      return false;
    }
    return true;
  }

  void Close() noexcept override {
    Disarm();
    socket_.reset();
  }

 private:
  WinsockTransportOptions options_;
  bool started_ = false;
  UniqueSocket socket_;
  std::mutex mutex_;  // armed_ and every send
  bool armed_ = false;
};

}  // namespace

std::unique_ptr<DhcpTransport> MakeWinsockTransport(const WinsockTransportOptions& options) {
  return std::make_unique<WinsockTransport>(options);
}

// The Winsock responder changes nothing on the adapter: no run leaves anything behind.
std::string RemoveStaleRedirection(const MacAddress&) noexcept { return {}; }

std::unique_ptr<DhcpTransport> MakeSystemTransport() {
  return MakeWinsockTransport(WinsockTransportOptions{});
}

}  // namespace nvserv
