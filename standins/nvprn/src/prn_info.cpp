#include "nvprn/prn_info.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace {

// At most `limit` bytes of `name`, never ending inside a UTF-8 sequence.
size_t CutLength(const std::string& name, size_t limit) {
  if (name.size() <= limit) return name.size();
  size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  return n;
}

bool Exists(const std::vector<std::string>& printers, const std::string& name) {
  return std::any_of(printers.begin(), printers.end(),
                     [&](const std::string& p) { return nv::text::EqualsNoCase(p, name); });
}

}  // namespace

CPrnInfo::CPrnInfo() : CPrnInfo(nvprn::MakeSystemSpooler(), nvprn::MakeSystemPrompt()) {}

CPrnInfo::CPrnInfo(std::unique_ptr<nvprn::Spooler> spooler, std::unique_ptr<nvprn::Prompt> prompt)
    : m_spooler(std::move(spooler)), m_prompt(std::move(prompt)) {}

CPrnInfo::~CPrnInfo() = default;

int CPrnInfo::GetPrnNameList(const std::string&, _PrnDesc* list, int* count) noexcept {
  int filled = 0;
  try {
    if (list != nullptr) {
      for (const std::string& name : m_spooler->PrinterNames()) {
        if (filled == kMaxPrinters) break;
        if (name.empty()) continue;
        _PrnDesc& desc = list[filled++];
        std::memset(&desc, 0, sizeof desc);
        std::memcpy(desc.szName, name.data(), CutLength(name, sizeof desc.szName - 1));
      }
    }
  } catch (...) {
    // A spooler that cannot be read lists what was filled so far.
  }
  if (count != nullptr) *count = filled;
  return filled;
}

int CPrnInfo::BeforeChange(const char* productKeyPath, uint32_t network, int sessionEnding,
                           int phase) noexcept {
  const int target = network != 0 ? 1 : 0;
  const std::string path = productKeyPath != nullptr ? productKeyPath : "";
  try {
    if (phase == 0) {
      m_switchPending = false;
      MakeDefault(path, target);
      return 1;
    }
    if (m_switchPending) {
      // The switch failed and the caller sets the printers back: nothing was changed here.
      m_switchPending = false;
      return 1;
    }
    const int goOn = Prepare(path, target, sessionEnding != 0);
    m_switchPending = goOn != 0;
    return goOn;
  } catch (...) {
    return 1;  // the helper's own trouble never holds up a change
  }
}

int CPrnInfo::Prepare(const std::string& productKeyPath, int target, bool sessionEnding) {
  // Windows is ending the session: there is nobody to ask and nothing to wait for.
  if (sessionEnding) return 1;
  const int leaving = 1 - target;
  std::string waiting;
  for (const nvprn::PrinterMarks& p : nvprn::ReadPrinterTable(productKeyPath)) {
    if (!p.network[leaving] || p.network[target]) continue;  // still reachable after the change
    const int jobs = m_spooler->PendingJobs(p.name);
    if (jobs > 0) waiting += "\n" + p.name + " (" + std::to_string(jobs) + ")";
  }
  if (waiting.empty()) return 1;
  return m_prompt->AskYesNo(m_strChangeOper + "\n" + waiting) ? 1 : 0;
}

void CPrnInfo::MakeDefault(const std::string& productKeyPath, int network) {
  const std::vector<std::string> installed = m_spooler->PrinterNames();
  for (const nvprn::PrinterMarks& p : nvprn::ReadPrinterTable(productKeyPath)) {
    if (!p.network[network] || !Exists(installed, p.name)) continue;
    if (!nv::text::EqualsNoCase(m_spooler->DefaultPrinter(), p.name)) m_spooler->SetDefaultPrinter(p.name);
    return;
  }
}
