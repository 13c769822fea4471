// What CPrnInfo needs from the machine, behind small interfaces so that its rules run with
// fakes: the print spooler, a yes/no question to the person at the desk, and the printer table
// that the tray program keeps below its product key.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace nvprn {

class Spooler {
 public:
  virtual ~Spooler() = default;
  // Every printer of the workstation (local ones and connections), in the spooler's order.
  virtual std::vector<std::string> PrinterNames() = 0;
  // Documents waiting on `printer`; 0 when none or when the spooler cannot tell.
  virtual int PendingJobs(const std::string& printer) = 0;
  virtual bool SetDefaultPrinter(const std::string& printer) = 0;
  // Empty when there is no default printer.
  virtual std::string DefaultPrinter() = 0;
};

class Prompt {
 public:
  virtual ~Prompt() = default;
  // True for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
};

// One value of the printer table: the printer and whether it belongs to network A and B.
struct PrinterMarks {
  std::string name;
  bool network[2] = {false, false};
};

// "HKEY_LOCAL_MACHINE\<productKeyPath>\Printer" in value order; empty when the key is missing.
// Values whose data has fewer than 2 bytes count as marked for neither network.
std::vector<PrinterMarks> ReadPrinterTable(const std::string& productKeyPath);

// The platform's own: the Windows spooler and a system-modal message box; natively a printer
// list file (see README) and a prompt that answers Yes, since nobody can be asked.
std::unique_ptr<Spooler> MakeSystemSpooler();
std::unique_ptr<Prompt> MakeSystemPrompt();

}  // namespace nvprn
