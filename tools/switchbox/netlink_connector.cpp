#include "netlink_connector.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/posix_fd.h"

namespace nv::switchbox {
namespace {

struct SetMasterRequest {
  nlmsghdr header;
  ifinfomsg info;
  char attrs[RTA_SPACE(sizeof(std::uint32_t))];
};

std::string Errno(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

}  // namespace

bool NetlinkConnector::Check(std::string& error) const {
  for (const std::string* name : {&cable_, &port_a_, &port_b_}) {
    if (if_nametoindex(name->c_str()) == 0) {
      error = "no interface " + *name;
      return false;
    }
  }
  return true;
}

bool NetlinkConnector::Connect(Port port, std::string& error) noexcept {
  try {
    const unsigned cable = if_nametoindex(cable_.c_str());
    if (cable == 0) {
      error = "no interface " + cable_;
      return false;
    }
    unsigned master = 0;  // 0 releases the port from any bridge
    if (port != Port::None) {
      const std::string& bridge = port == Port::A ? port_a_ : port_b_;
      master = if_nametoindex(bridge.c_str());
      if (master == 0) {
        error = "no interface " + bridge;
        return false;
      }
    }

    nv::posix::UniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!fd) {
      error = Errno("netlink socket", errno);
      return false;
    }
    SetMasterRequest req{};
    req.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg)) + RTA_LENGTH(sizeof(std::uint32_t));
    req.header.nlmsg_type = RTM_SETLINK;
    req.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK;
    req.header.nlmsg_seq = 1;
    req.info.ifi_family = AF_UNSPEC;
    req.info.ifi_index = static_cast<int>(cable);
    auto* attr = reinterpret_cast<rtattr*>(req.attrs);
    attr->rta_type = IFLA_MASTER;
    attr->rta_len = RTA_LENGTH(sizeof(std::uint32_t));
    const std::uint32_t value = master;
    std::memcpy(RTA_DATA(attr), &value, sizeof value);

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd.get(), &req, req.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
      error = Errno("netlink send", errno);
      return false;
    }
    // The kernel answers with one NLMSG_ERROR whose error is 0 on success.
    alignas(nlmsghdr) char buf[4096];
    for (;;) {
      const ssize_t n = ::recv(fd.get(), buf, sizeof buf, 0);
      if (n < 0) {
        if (errno == EINTR) continue;
        error = Errno("netlink receive", errno);
        return false;
      }
      int left = static_cast<int>(n);
      for (auto* h = reinterpret_cast<nlmsghdr*>(buf); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
        if (h->nlmsg_seq != req.header.nlmsg_seq || h->nlmsg_type != NLMSG_ERROR) continue;
        if (h->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr))) {
          error = "short netlink answer";
          return false;
        }
        const auto* e = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
        if (e->error == 0) return true;
        error = Errno("set master", -e->error);
        return false;
      }
    }
  } catch (...) {
    error = "out of memory";
    return false;
  }
}

}  // namespace nv::switchbox
