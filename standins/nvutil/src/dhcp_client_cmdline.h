// Recognising the DHCP client that serves an interface from its command line (the
// NUL-separated words of /proc/PID/cmdline). Supported: busybox udhcpc, started as
// "udhcpc ..." (a link to busybox) or "busybox udhcpc ...".
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nvutil {

std::vector<std::string> SplitCmdline(std::string_view raw);

// The interface a udhcpc command line serves ("eth0" when it names none, as udhcpc
// itself assumes); nothing when the command is not udhcpc.
std::optional<std::string> UdhcpcInterface(const std::vector<std::string>& argv);

}  // namespace nvutil
