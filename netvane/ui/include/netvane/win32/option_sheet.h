// Windows only: the advanced option sheet (template 146): a tab control over five pages, in tab
// order display, printer, folder, network, manage.  Save (1060) builds the options from every
// page in tab order apart from the ones in force, stores section AdOpt all or nothing, then the
// pages' own stores (SaveSheet); a failed save is reported and the sheet stays open with the
// settings in force unchanged.  Cancel (1061) saves nothing.  All pages are created when the
// sheet opens, so a page never visited still saves what it loaded; one whose window could not
// open keeps its dwOpt bits.
//
// The printer and folder pages come from their own module through OptionSheetHooks; without a
// hook the tab shows its template inert and saves nothing.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "netvane/cfginfo.h"
#include "netvane/option_pages.h"
#include "netvane/win32/control_binding.h"
#include "netvane/win32/dialog_base.h"

namespace nv::ui {

// A page of the sheet: a child dialog that loads from the configuration when it opens and
// copies its controls into the options being built on Save.  Cancel drops edits a page holds
// outside them.
class COptionPage : public CDialogBase, public IOptionPage {
 public:
  COptionPage(const DialogContext& context, int templateId) : CDialogBase(context, templateId) {}
  void Save(OptionSettings&) override {}
  virtual void Cancel() {}
};

using OptionPageFactory = std::function<std::unique_ptr<COptionPage>(const DialogContext&, CCfginfo&)>;

struct OptionSheetHooks {
  OptionPageFactory printerPage;  // tab 1, template 151
  OptionPageFactory folderPage;   // tab 2, template 150
};

class CAdDisplay final : public COptionPage {
 public:
  CAdDisplay(const DialogContext& context, CCfginfo& cfg);
  void Save(OptionSettings& next) override;
  uint32_t OptionBits() const override { return kDisplayPageBits; }

 protected:
  bool OnInit() override;

 private:
  CCfginfo& m_cfg;
  DisplayForm m_form;
  int m_layout = 0;  // radio index: 0 horizontal, 1 vertical
  std::vector<Binding> m_bindings;
};

class CAdNetwork final : public COptionPage {
 public:
  CAdNetwork(const DialogContext& context, CCfginfo& cfg);
  void Save(OptionSettings& next) override;
  uint32_t OptionBits() const override { return kOptReverse; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;

 private:
  void Refresh();
  CCfginfo& m_cfg;
  NetworkForm m_form;
  std::vector<Binding> m_bindings;
};

class CAdManage final : public COptionPage {
 public:
  CAdManage(const DialogContext& context, CCfginfo& cfg);
  void Save(OptionSettings& next) override;
  uint32_t OptionBits() const override { return kOptLog; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;

 private:
  void Refresh();
  CCfginfo& m_cfg;
  std::vector<std::string> m_choices;
  ManageForm m_form;
  int m_idle = 0;  // radio index: 0 off, 1 on
  int m_log = 0;
  std::vector<Binding> m_bindings;
};

class COptionSheet final : public CDialogBase {
 public:
  static constexpr int kPageCount = 5;

  COptionSheet(const DialogContext& context, CCfginfo& cfg, OptionSheetHooks hooks = {});
  // Shows the page of tab `index` (as a click on the tab does).
  void ShowPage(int index);
  COptionPage* page(int index) const { return m_pages[static_cast<size_t>(index)].get(); }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  bool OnNotify(NMHDR* header) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  CCfginfo& m_cfg;
  OptionSheetHooks m_hooks;
  std::vector<std::unique_ptr<COptionPage>> m_pages;
};

}  // namespace nv::ui
