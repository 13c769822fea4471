// Windows only: the IP configuration dialogs IP1Cfg (template 140: one adapter address, a
// gateway per network) and IP2Cfg (template 141: a complete address set per network; OK switches
// the adapter to DHCP).  Both edit a copy of the two network records and write it back to the
// configuration, and save it, only on OK.  Their rules live in ip_config_form.h.
#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "netvane/cfginfo.h"
#include "netvane/ip_config_form.h"
#include "netvane/nic_list.h"
#include "netvane/win32/control_binding.h"
#include "netvane/win32/dialog_base.h"

namespace nv::ui {

// Makes the adapter list a dialog scans (the running system's, or a test's scratch tree).
using NicListFactory = std::function<std::unique_ptr<CNicList>()>;
NicListFactory SystemNicList();

// The adapter combo of both dialogs and the list behind it.
class AdapterCombo {
 public:
  explicit AdapterCombo(NicListFactory factory) : m_factory(std::move(factory)) {}
  // Scans ("Enum") and fills the combo, selecting the entry named `stored`.
  void Fill(HWND combo, const std::string& stored);
  // The selected adapter, or nothing.
  bool Selected(HWND combo, AdapterChoice& out, int& index) const;
  CNicList* list() { return m_list.get(); }

 private:
  NicListFactory m_factory;
  std::unique_ptr<CNicList> m_list;
};

class CIp1CfgDialog : public CDialogBase {
 public:
  CIp1CfgDialog(const DialogContext& context, CCfginfo& cfg, const COSversion& os, NicListFactory nics);

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void OnOK() override;

 private:
  void Refresh();
  CCfginfo& m_cfg;
  const COSversion& m_os;
  AdapterCombo m_adapters;
  Ip1Form m_form;
  std::vector<Binding> m_bindings;
};

class CIp2CfgDialog : public CDialogBase {
 public:
  CIp2CfgDialog(const DialogContext& context, CCfginfo& cfg, const COSversion& os, NicListFactory nics);

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void OnOK() override;

 private:
  void Open();
  void Refresh();
  CCfginfo& m_cfg;
  const COSversion& m_os;
  AdapterCombo m_adapters;
  Ip2Form m_form;
  std::vector<Binding> m_bindings;
};

// The restart question after a configuration: szReboot (its "\n" pairs made line breaks) in a
// yes/no system-modal box titled with the application name; Yes restarts Windows through
// `restart`.  Returns whether the user said yes.  `show` puts up the box (null: MessageBoxW).
using MessageBoxFn =
    std::function<int(HWND owner, const std::string& caption, const std::string& text, unsigned type)>;
bool AskReboot(HWND owner, CIniFile& strings, const std::string& appName,
               const std::function<void()>& restart, const MessageBoxFn& show = nullptr);

}  // namespace nv::ui
