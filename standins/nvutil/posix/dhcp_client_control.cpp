#include "dhcp_client_control.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/run_program.h"

namespace nvutil::posix {
namespace {

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string Joined(const std::vector<std::string>& argv) {
  std::string text;
  for (const std::string& w : argv) text += (text.empty() ? "" : " ") + w;
  return text;
}

}  // namespace

std::string DhcpClientControl::Resolve(const std::string& program) const {
  if (!program.empty() && program[0] == '/') return program;
  const auto slash = program.rfind('/');
  const std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
  std::vector<std::string> candidates;
  for (const std::string& dir : options_.toolDirs) candidates.push_back(dir + "/" + name);
  return nv::posix::FindExecutable(candidates);
}

std::vector<ManagingClient> DhcpClientControl::Find(const std::string& interfaceName,
                                                    int interfaceIndex) const {
  const std::vector<ProcessEntry> processes = options_.finder.ListProcesses();
  DaemonAnswers answers;
  for (const ProcessEntry& p : processes) {
    const auto line = RecogniseDhcpClient(p.argv);
    if (!line) continue;
    if (line->kind == DhcpClientKind::NetworkManager && !answers.nmcliOutput) {
      const std::string nmcli = Resolve("nmcli");
      if (nmcli.empty()) continue;
      const auto r = nv::posix::RunProgram({nmcli, "-t", "-f", "DEVICE,STATE", "device"}, 10000);
      if (r.exitCode == 0) answers.nmcliOutput = r.output;
    } else if (line->kind == DhcpClientKind::Networkd && !answers.networkdState) {
      std::ifstream in(options_.networkdLinks + "/" + std::to_string(interfaceIndex));
      if (in) {
        std::stringstream text;
        text << in.rdbuf();
        answers.networkdState = text.str();
      }
    }
  }
  return FindManagingClients(processes, interfaceName, answers);
}

bool DhcpClientControl::Execute(const LeasePlan& plan, const ManagingClient& client,
                                std::string& error) const {
  for (const LeaseStep& step : plan.steps) {
    if (step.kind == LeaseStep::Kind::SignalRelease || step.kind == LeaseStep::Kind::SignalRenew) {
      const int sig = step.kind == LeaseStep::Kind::SignalRelease ? SIGUSR2 : SIGUSR1;
      if (::kill(client.pid, sig) != 0) {
        error = std::string("signalling ") + DhcpClientName(client.line.kind) + " " +
                std::to_string(client.pid) + ": " + std::strerror(errno);
        return false;
      }
      continue;
    }
    std::vector<std::string> argv = step.argv;
    argv[0] = Resolve(argv[0]);
    if (argv[0].empty()) {
      error = step.argv[0] + " is not installed";
      return false;
    }
    if (step.kind == LeaseStep::Kind::Start) {
      if (!nv::posix::StartDetached(argv)) {
        error = "cannot start " + Joined(argv);
        return false;
      }
      continue;
    }
    const auto r = nv::posix::RunProgram(argv, options_.commandWaitMs);
    if (!r.started || r.timedOut || r.exitCode != 0) {
      error = Joined(argv) + (r.started ? r.timedOut ? " did not finish in time"
                                                     : " exited with " + std::to_string(r.exitCode)
                                        : " could not be started");
      if (!r.output.empty()) error += ": " + FirstLine(r.output);
      return false;
    }
  }
  return true;
}

std::string DhcpClientControl::StatePath(const std::string& interfaceName) const {
  return options_.stateDir + "/dhcp-client-" + std::to_string(options_.finder.NamespaceId()) + "-" +
         interfaceName;
}

void DhcpClientControl::RememberStopped(const std::string& interfaceName,
                                        const ManagingClient& client) const {
  ::mkdir(options_.stateDir.c_str(), 0700);
  const std::string path = StatePath(interfaceName);
  std::ofstream out(path + ".tmp", std::ios::trunc);
  out << static_cast<int>(client.line.kind) << '\n'
      << (client.line.manager ? 1 : 0) << '\n'
      << client.line.family << '\n';
  for (const std::string& w : client.argv) out << w << '\n';
  out.close();
  if (out) std::rename((path + ".tmp").c_str(), path.c_str());
}

std::optional<ManagingClient> DhcpClientControl::RecallStopped(const std::string& interfaceName) const {
  // What is started from here must have been written by us: a folder and file of our own that
  // nobody else can write.
  struct stat dir {
  }, file{};
  const std::string path = StatePath(interfaceName);
  if (::stat(options_.stateDir.c_str(), &dir) != 0 || ::stat(path.c_str(), &file) != 0) return std::nullopt;
  if (dir.st_uid != ::geteuid() || file.st_uid != ::geteuid() || (dir.st_mode & 022) != 0 ||
      (file.st_mode & 022) != 0)
    return std::nullopt;
  std::ifstream in(path);
  if (!in) return std::nullopt;
  ManagingClient client;
  std::string line;
  int kind = -1, manager = 0;
  if (!std::getline(in, line) || std::sscanf(line.c_str(), "%d", &kind) != 1) return std::nullopt;
  if (kind != static_cast<int>(DhcpClientKind::Dhclient) && kind != static_cast<int>(DhcpClientKind::Dhcpcd))
    return std::nullopt;  // only these two are stopped by a release
  if (!std::getline(in, line) || std::sscanf(line.c_str(), "%d", &manager) != 1) return std::nullopt;
  client.line.kind = static_cast<DhcpClientKind>(kind);
  client.line.manager = manager != 0;
  if (!std::getline(in, client.line.family)) return std::nullopt;
  while (std::getline(in, line)) client.argv.push_back(line);
  return client;
}

void DhcpClientControl::ForgetStopped(const std::string& interfaceName) const {
  ::unlink(StatePath(interfaceName).c_str());
}

}  // namespace nvutil::posix
