// Windows only: the About box (template 144): title, the program's version line, the maker's
// lines and a close button that ends it as OK.
#pragma once
#include <memory>

#include "netvane/about_text.h"
#include "netvane/win32/dialog_base.h"

namespace nv::ui {

// Reads a file's version resource (GetFileVersionInfoW); a bare file name is looked for in the
// running program's folder.
class FileVersionSource final : public IVersionSource {
 public:
  bool Read(const std::string& file, FileVersion& out) override;
};

class CAboutBox final : public CDialogBase {
 public:
  CAboutBox(const DialogContext& context, IVersionSource& version);

 protected:
  bool OnInit() override;
  void OnOK() override;

 private:
  IVersionSource& m_version;
};

}  // namespace nv::ui
