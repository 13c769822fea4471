// The registry keys the adapter list reads and its DHCP writer changes, all below
// HKEY_LOCAL_MACHINE.
#pragma once
#include <string>

namespace nv::core::nic_paths {

inline constexpr char kNetworkCards[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
inline constexpr char kTcpIpParameters[] = "SYSTEM\\CurrentControlSet\\Services\\TcpIp\\Parameters";
inline constexpr char kServices[] = "SYSTEM\\CurrentControlSet\\Services";
inline constexpr char kDhcpService[] = "SYSTEM\\CurrentControlSet\\Services\\DHCP";
inline constexpr char kWin9xClass[] = "System\\CurrentControlSet\\Services\\Class";
inline constexpr char kWin9xMstcp[] = "System\\CurrentControlSet\\Services\\VxD\\MSTCP";
inline constexpr char kWin9xNetworkEnum[] = "Enum\\Network";

// "<parent>\<child>"; either alone when the other is empty.
inline std::string Join(const std::string& parent, const std::string& child) {
  if (parent.empty()) return child;
  if (child.empty()) return parent;
  return parent + "\\" + child;
}

// The adapter's TCP/IP key as the list shows it (the first path the writer changes).
inline std::string Nt5InterfaceKey(const std::string& service) {
  return std::string(kTcpIpParameters) + "\\Interfaces\\" + service;
}
inline std::string Nt4FirstTcpIpKey(const std::string& service) {
  return std::string(kServices) + "\\" + service + "\\Parameters\\TcpIp";
}
// NT 4's second path puts TcpIp before Parameters, unlike the first.
inline std::string Nt4SecondTcpIpKey(const std::string& service) {
  return std::string(kServices) + "\\" + service + "\\TcpIp\\Parameters";
}
inline std::string Nt5NameServerKey(const std::string& service) {
  return std::string(kTcpIpParameters) + "\\interfaces\\" + service;
}

}  // namespace nv::core::nic_paths
