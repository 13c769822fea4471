// Records every call the change sequence makes on its steps, in order, as text.
#pragma once
#include <string>
#include <vector>

#include "netvane/cfginfo.h"
#include "netvane/change_sequence.h"

namespace nv::core::testing {

class RecordingSteps : public IChangeDisplay,
                       public IPrinterStep,
                       public IDriveStep,
                       public ISwitchCommand,
                       public IAddressRenewal,
                       public ITrayView {
 public:
  std::vector<std::string> calls;
  int printerRefusesPhase1 = 0;  // PrinterStep(.., 1) answers 0 when set
  int switchFails = 0;           // ChangeRG answers 0 when set
  int framesReported = 0;        // ChangeRG reports this many progress positions
  int addressResult = 0;         // what ChangeIPbyDHCP answers
  int clearFails = 0;            // ClearAddresses answers 0 (something stayed) when set
  std::string failureDetail;     // what FailureDetail answers
  std::string FailureDetail() const override { return failureDetail; }

  ChangeSteps Steps() { return ChangeSteps{*this, *this, *this, *this, *this, *this}; }

  // The display answers with the network it was last given, as the real one does, so a tray tip
  // that names a network no one passed on shows up ("tip -1": none was).
  int shown = -1;
  void SetNetwork(int n) override {
    shown = n;
    Log("display.SetNetwork", n);
  }
  void SelectNetwork(int n) override {
    shown = n;
    Log("display.SelectNetwork", n);
  }
  void SetProgress(int pos, const std::string& text) override {
    calls.push_back("progress " + std::to_string(pos) + " '" + text + "'");
  }
  void Progress(int pos, const std::string& text) override {
    calls.push_back("progress " + std::to_string(pos) + " '" + text + "'");
  }
  void CloseProgress() override { calls.push_back("display.CloseProgress"); }
  std::string Finish() override {
    calls.push_back("display.Finish");
    return "tip " + std::to_string(shown);
  }
  std::string printerKey;         // product key path of the last PrinterStep
  int printerSessionEnding = -1;  // session-ending flag of the last PrinterStep
  int PrinterStep(const std::string& key, int n, int sessionEnding, int phase) override {
    printerKey = key;
    printerSessionEnding = sessionEnding;
    calls.push_back("printer " + std::to_string(n) + " phase " + std::to_string(phase));
    return (phase == 1 && printerRefusesPhase1) ? 0 : 1;
  }
  void BeforeSwitch(int n) override { Log("drives.BeforeSwitch", n); }
  void AfterSwitch(int n) override { Log("drives.AfterSwitch", n); }
  int ChangeRG(int n, int wait, IProgressSink* sink) override {
    calls.push_back("switch.ChangeRG " + std::to_string(n) + " wait " + std::to_string(wait));
    for (int i = 0; i < framesReported && sink; ++i) sink->Progress(50 + i, "frame");
    return switchFails ? 0 : 1;
  }
  int DelGateway() override {
    calls.push_back("address.DelGateway");
    return 1;
  }
  int DelArp(uint32_t gw) override {
    Log("address.DelArp", gw);
    return 1;
  }
  int AddGateway(uint32_t gw) override {
    Log("address.AddGateway", gw);
    return 1;
  }
  int ChangeIPbyDHCP(const NetCfgRecord& r) override {
    Log("address.ChangeIPbyDHCP", r.IPAddr);
    return addressResult;
  }
  int ClearAddresses(const NetCfgRecord& r) override {
    Log("address.ClearAddresses", r.IPAddr);
    return clearFails ? 0 : 1;
  }
  void ShowNetwork(int n, const std::string& tip) override {
    calls.push_back("tray.ShowNetwork " + std::to_string(n) + " " + tip);
  }

 private:
  void Log(const char* what, long long v) { calls.push_back(std::string(what) + " " + std::to_string(v)); }
};

// An isolation check that answers what it is given, recording "isolation.Check N" in `calls`.
struct FixedIsolationCheck : IIsolationCheck {
  IsolationResult answer;
  std::vector<std::string>* calls = nullptr;
  void BeforeSwitch(int, int) override {}
  IsolationResult CheckAfterChange(int network) override {
    if (calls) calls->push_back("isolation.Check " + std::to_string(network));
    return answer;
  }
};

}  // namespace nv::core::testing
