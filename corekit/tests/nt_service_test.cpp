#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "corekit/message_box.h"
#include "corekit/nt_service.h"

namespace {

// Every box CNTService shows, in order.
class BoxRecorder {
 public:
  BoxRecorder() {
    corekit::SetMessageBoxSink([this](const corekit::MessageBoxRequest& box) {
      texts.push_back(box.text);
      captions.push_back(box.caption);
      return corekit::kIdOk;
    });
  }
  ~BoxRecorder() { corekit::SetMessageBoxSink({}); }
  std::vector<std::string> texts;
  std::vector<std::string> captions;
};

TEST(NtServiceMessages, EveryCodeOfEveryTable) {
  const struct {
    ServiceStep step;
    int32_t error;
    const char* text;
  } cases[] = {
      {ServiceStep::kInstall, 0, ""},
      {ServiceStep::kInstall, 1073, ""},  // exists already: success
      {ServiceStep::kInstall, 5, "access denied (Install)"},
      {ServiceStep::kInstall, 1078, "dup service name . (Install)"},
      {ServiceStep::kInstall, 123, "invalid name. (Install)"},
      {ServiceStep::kInstall, 1072, "Delete marcked (Install)"},
      {ServiceStep::kInstall, 87, "create service failed (87)"},
      {ServiceStep::kOpen, 5, "access denied(open)"},
      {ServiceStep::kOpen, 123, "invalid service name (open)"},
      {ServiceStep::kOpen, 1060, "dose not serivce exist(open)"},
      {ServiceStep::kOpen, 6, "service open fail.(open)"},
      {ServiceStep::kStart, 1056, ""},  // runs already: success
      {ServiceStep::kStart, 3, "service path not found (Start)."},
      {ServiceStep::kStart, 5, "access denied (Start)."},
      {ServiceStep::kStart, 1053, "request service timeout."},
      {ServiceStep::kStart, 1055, "lock service datebase (Start)."},
      {ServiceStep::kStart, 1058, "disabled service (Start)."},
      {ServiceStep::kStart, 1068, "Depedency Fail (Start)."},
      {ServiceStep::kStart, 1069, "logon failed (Start)."},
      {ServiceStep::kStart, 1072, "Marked For Delete (Start)."},
      {ServiceStep::kStart, 1075, "Dependency Delete (Start)."},
      {ServiceStep::kStart, 2, "Error Start(2)"},
      {ServiceStep::kStop, 5, "access denied (Stop)."},
      {ServiceStep::kStop, 1051, "running service (Stop)."},
      {ServiceStep::kStop, 1052, "invalid service control (Stop)."},
      {ServiceStep::kStop, 1053, "requeust service timeout (Stop)."},
      {ServiceStep::kStop, 1062, "Error Stop."},
      {ServiceStep::kDelete, 5, "access denied (Delete)."},
      {ServiceStep::kDelete, 1072, "Mared For Delete."},
      {ServiceStep::kDelete, 6, "Error deleting."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.step)) + "/" + std::to_string(c.error));
    EXPECT_EQ(ServiceFailureText(c.step, c.error), c.text);
  }
}

// A manager whose next result per call can be set; it counts what is still open.
struct FakeManager : corekit::ServiceControlApi {
  std::map<std::string, int32_t> fail;  // call name -> error code
  int open = 0;
  int handles = 0;
  std::vector<std::string> calls;
  corekit::ServiceConfig created;
  bool waitCursor = false;

  int32_t Result(const std::string& call, corekit::ServiceHandle* handle) {
    calls.push_back(call);
    const auto it = fail.find(call);
    const int32_t error = it == fail.end() ? 0 : it->second;
    if (handle != nullptr && error == 0) {
      *handle = reinterpret_cast<corekit::ServiceHandle>(static_cast<uintptr_t>(++handles));
      ++open;
    }
    return error;
  }
  int32_t OpenManager(uint32_t, corekit::ServiceHandle& m) override { return Result("manager", &m); }
  int32_t Create(corekit::ServiceHandle, const corekit::ServiceConfig& c,
                 corekit::ServiceHandle& s) override {
    created = c;
    return Result("create", &s);
  }
  int32_t Open(corekit::ServiceHandle, const std::string&, uint32_t, corekit::ServiceHandle& s) override {
    return Result("open", &s);
  }
  int32_t Start(corekit::ServiceHandle s) override { return s ? Result("start", nullptr) : 6; }
  int32_t Stop(corekit::ServiceHandle s) override { return s ? Result("stop", nullptr) : 6; }
  int32_t SetAccessList(corekit::ServiceHandle s, const std::string&) override {
    return s ? Result("security", nullptr) : 6;
  }
  int32_t Delete(corekit::ServiceHandle s) override { return s ? Result("delete", nullptr) : 6; }
  void Close(corekit::ServiceHandle) override { --open; }
  void ShowWaitCursor(bool on) override { waitCursor = on; }
};

TEST(NtService, OperationsShowOneBoxPerFailureAndCloseWhatTheyOpen) {
  using Operation = std::function<int(CNTService&)>;
  const Operation install = [](CNTService& s) { return s.InstallSvc("NvSVC", "C:\\NvSVC.exe"); };
  const Operation open = [](CNTService& s) { return s.OpenSvc("NvSVC") ? 1 : 0; };
  const Operation start = [](CNTService& s) { return s.StartSvc("NvSVC") ? 1 : 0; };
  const Operation stop = [](CNTService& s) { return s.OpenSvc("NvSVC") && s.StopSvc() ? 1 : 0; };
  const Operation uninstall = [](CNTService& s) { return s.UninstallSvc("NvSVC") ? 1 : 0; };
  const struct {
    const char* what;
    Operation operation;
    std::map<std::string, int32_t> fail;
    int result;
    std::vector<std::string> boxes;
    int openAfter;  // handles still open after the operation (before the destructor)
  } cases[] = {
      {"install", install, {}, 1, {}, 0},
      {"install, exists already", install, {{"create", 1073}}, 1, {}, 0},
      {"install, no manager",
       install,
       {{"manager", 5}},
       0,
       {"Error while opening Service Control Manager."},
       0},
      {"install, refused", install, {{"create", 5}}, 0, {"access denied (Install)"}, 0},
      {"open", open, {}, 1, {}, 2},
      {"open, no manager", open, {{"manager", 5}}, 0, {CNTService::kManagerOpenFailed}, 0},
      {"open, no such service", open, {{"open", 1060}}, 0, {"dose not serivce exist(open)"}, 0},
      {"start", start, {}, 1, {}, 0},
      {"start, runs already", start, {{"start", 1056}}, 1, {}, 0},
      {"start, disabled", start, {{"start", 1058}}, 0, {"disabled service (Start)."}, 0},
      {"start, no such service", start, {{"open", 1060}}, 0, {"dose not serivce exist(open)"}, 0},
      {"stop, dependants run", stop, {{"stop", 1051}}, 0, {"running service (Stop)."}, 2},
      {"uninstall", uninstall, {}, 1, {CNTService::kMarkedForDeletion}, 0},
      {"uninstall, not running", uninstall, {{"stop", 1062}}, 1, {CNTService::kMarkedForDeletion}, 0},
      {"uninstall, stop times out",
       uninstall,
       {{"stop", 1053}},
       1,
       {"requeust service timeout (Stop).", CNTService::kMarkedForDeletion},
       0},
      {"uninstall, marked already", uninstall, {{"delete", 1072}}, 0, {"Mared For Delete."}, 0},
      {"uninstall, no such service", uninstall, {{"open", 1060}}, 0, {"dose not serivce exist(open)"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeManager manager;
    manager.fail = c.fail;
    BoxRecorder boxes;
    {
      CNTService service(manager);
      EXPECT_EQ(c.operation(service), c.result);
      EXPECT_EQ(manager.open, c.openAfter);
    }
    EXPECT_EQ(manager.open, 0) << "the destructor closes what is left";
    EXPECT_EQ(boxes.texts, c.boxes);
    for (const std::string& caption : boxes.captions) EXPECT_EQ(caption, CNTService::kCaption);
    EXPECT_FALSE(manager.waitCursor);
  }

  // The short form installs a kernel driver started on demand under its own name.
  FakeManager manager;
  CNTService(manager).InstallSvc("VTARND", "C:\\drv\\vtarnd.sys");
  EXPECT_EQ(manager.created.displayName, "VTARND");
  EXPECT_EQ(manager.created.type, corekit::service::kKernelDriver);
  EXPECT_EQ(manager.created.start, corekit::service::kDemandStart);
  EXPECT_EQ(manager.created.errorControl, corekit::service::kErrorNormal);
}

}  // namespace
