#include "corekit/registry.h"
#include "nvprn/spooler.h"

namespace nvprn {

std::vector<PrinterMarks> ReadPrinterTable(const std::string& productKeyPath) {
  std::vector<PrinterMarks> table;
  CRegistry key;
  if (!key.Connect(corekit::kHKeyLocalMachine)) return table;
  if (!key.Open((productKeyPath + "\\Printer").c_str(), CRegistry::permissionRead)) return table;
  const uint32_t count = key.GetNumberOfValues();
  for (uint32_t i = 0; i < count; ++i) {
    PrinterMarks marks;
    CRegistry::KeyValueTypes type = CRegistry::typeBinary;
    uint8_t data[64] = {};
    uint32_t size = sizeof data;
    if (!key.EnumerateValues(i, marks.name, type, data, size)) continue;
    if (marks.name.empty()) continue;
    marks.network[0] = size >= 2 && data[0] != 0;
    marks.network[1] = size >= 2 && data[1] != 0;
    table.push_back(std::move(marks));
  }
  return table;
}

}  // namespace nvprn
