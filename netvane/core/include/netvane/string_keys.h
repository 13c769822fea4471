// The texts the programs read from the string file "%s\Netvane%s.ini", by section and key, with
// the string-resource id of NvRes.dll that stands in when the file has no text (0: none, the text
// is then empty).  Read texts through these entries; the shipped string files are checked
// against the lists below, so a key used here is a key both files hold.
#pragma once
#include <cstddef>

struct StringKey {
  const char* section;
  const char* key;
  unsigned resourceId;
};

namespace nv::strings {

// Application object.
inline constexpr StringKey kFontFaceName{"Netvane", "FontFaceName", 19};
inline constexpr StringKey kNetA{"CommonStr", "szNetA", 10};
inline constexpr StringKey kNetB{"CommonStr", "szNetB", 11};
inline constexpr StringKey kSave{"CommonStr", "szSave", 17};
inline constexpr StringKey kCancel{"CommonStr", "szCancel", 26};
inline constexpr StringKey kClose{"CommonStr", "szClose", 16};
inline constexpr StringKey kEnable{"CommonStr", "szEnable", 33};
inline constexpr StringKey kDisable{"CommonStr", "szDisable", 32};
inline constexpr StringKey kAdd{"CommonStr", "szAdd", 40};
inline constexpr StringKey kApply{"CommonStr", "szApply", 41};
inline constexpr StringKey kDelete{"CommonStr", "szDelete", 42};
inline constexpr StringKey kRead{"CommonStr", "szRead", 43};

// Messages: "\n" pairs in these become line breaks; "%1" in szChngMsg1 is the network name.
inline constexpr StringKey kReboot{"CommonStr", "szReboot", 0};
inline constexpr StringKey kPrnChangeOper{"CommonStr", "szPrnChangeOper", 0};
inline constexpr StringKey kPrnCloseOper{"CommonStr", "szPrnCloseOper", 0};
inline constexpr StringKey kChngMsg1{"CommonStr", "szChngMsg1", 60};
inline constexpr StringKey kChngMsg2{"CommonStr", "szChngMsg2", 59};

// Tray menu, in menu order.
inline constexpr StringKey kMnAbout{"PopupINF", "strMnAbout", 1};
inline constexpr StringKey kMnUpdate{"PopupINF", "strMnUpdate", 7};
inline constexpr StringKey kMnChange{"PopupINF", "strMnChange", 6};
inline constexpr StringKey kMnConfig{"PopupINF", "strMnConfig", 2};
inline constexpr StringKey kMnADconfig{"PopupINF", "strMnADconfig", 4};
inline constexpr StringKey kMnHelp{"PopupINF", "strMnHelp", 5};
inline constexpr StringKey kMnExit{"PopupINF", "strMnExit", 3};

// Default display names of the networks ("szNet%d" of section ADDisplay, index 0 and 1).
inline constexpr StringKey kDefaultNetName[2] = {{"ADDisplay", "szNet0", 0}, {"ADDisplay", "szNet1", 0}};

// Advanced option sheet and its pages.
inline constexpr StringKey kOptTitle{"ADOpt", "szTitle", 18};
inline constexpr StringKey kTabDisp{"ADOpt", "szTabDisp", 27};
inline constexpr StringKey kTabPrint{"ADOpt", "szTabPrint", 28};
inline constexpr StringKey kTabFolder{"ADOpt", "szTabFolder", 29};
inline constexpr StringKey kTabNet{"ADOpt", "szTabNet", 30};
inline constexpr StringKey kTabManage{"ADOpt", "szTabManage", 31};
inline constexpr StringKey kDispIcon{"ADDisplay", "szDispIcon", 20};
inline constexpr StringKey kDispNetwork{"ADDisplay", "szDispNetwork", 21};
inline constexpr StringKey kDispH{"ADDisplay", "szDispH", 22};
inline constexpr StringKey kDispV{"ADDisplay", "szDispV", 23};
inline constexpr StringKey kControl{"ADNetwork", "szControl", 38};
inline constexpr StringKey kNetware{"ADNetwork", "szNetware", 39};
inline constexpr StringKey kUseNetware{"ADNetwork", "szUseNetware", 37};
inline constexpr StringKey kAutoLogin{"ADNetwork", "szAutoLogin", 36};
inline constexpr StringKey kLog{"ADManage", "szLog", 34};
inline constexpr StringKey kTimer{"ADManage", "szTimer", 35};
inline constexpr StringKey kMinText{"ADManage", "szMinText", 70};
// Idle-minute choices: nTmCnt entries, read as "nTime%d" from 0 (integers).
inline constexpr StringKey kTmCnt{"ADManage", "nTmCnt", 0};
inline constexpr const char* kTimeKeyFormat = "nTime%d";
inline constexpr StringKey kTPrnName{"ADPrint", "szTPrnName", 69};
inline constexpr StringKey kScanPrn{"ADPrint", "szScanPrn", 50};
inline constexpr StringKey kPause{"ADFolder", "szPause", 44};
inline constexpr StringKey kAlways{"ADFolder", "szAlways", 45};
inline constexpr StringKey kHidden{"ADFolder", "szHidden", 46};
inline constexpr StringKey kRdonly{"ADFolder", "szRdonly", 47};
inline constexpr StringKey kAccess{"ADFolder", "szAccess", 48};
inline constexpr StringKey kNet{"ADFolder", "szNet", 49};
inline constexpr StringKey kTFolder{"ADFolder", "szTFolder", 61};
inline constexpr StringKey kTAccess{"ADFolder", "szTAccess", 62};
inline constexpr StringKey kTNetwork{"ADFolder", "szTNetwork", 63};
inline constexpr StringKey kTPause{"ADFolder", "szTPause", 64};
inline constexpr StringKey kSelFolder{"ADFolder", "szSelFolder", 65};
inline constexpr StringKey kAlreadyList{"ADFolder", "szAlreadyList", 66};

// About box.
inline constexpr StringKey kAboutTitle{"About", "szTitle", 57};

// IP configuration dialogs.
inline constexpr StringKey kIp1Title{"IP1Cfg", "szTitle", 8};
inline constexpr StringKey kIp1DeviceDesc{"IP1Cfg", "szDeviceDesc", 9};
inline constexpr StringKey kIp1Group1{"IP1Cfg", "szGroup1", 12};
inline constexpr StringKey kIp1Group2{"IP1Cfg", "szGroup2", 13};
inline constexpr StringKey kIp1SameGw{"IP1Cfg", "szSameGw", 14};
inline constexpr StringKey kIp1Gateway{"IP1Cfg", "Gateway", 15};
inline constexpr StringKey kIp1UseDhcp{"IP1Cfg", "szuseDHCP", 24};
// Caption of the frame around the adapter combo in both dialogs; the library has no text for it,
// so without one in the file the template's caption stays.
inline constexpr StringKey kLancard{"IP1Cfg", "Lancard", 0};
inline constexpr StringKey kIp2Title{"IP2Cfg", "szTitle", 25};
inline constexpr StringKey kIp2NetConf{"IP2Cfg", "szNetConf", 51};
inline constexpr StringKey kIp2Ip{"IP2Cfg", "szIp", 52};
inline constexpr StringKey kIp2Mask{"IP2Cfg", "szMask", 53};
inline constexpr StringKey kIp2Gw{"IP2Cfg", "szGw", 54};
inline constexpr StringKey kIp2Dns{"IP2Cfg", "szDns", 55};
inline constexpr StringKey kIp2Domain{"IP2Cfg", "szDomain", 56};

// Every key the tray program reads.
inline constexpr StringKey kTrayProgramKeys[] = {
    kFontFaceName,
    kNetA,
    kNetB,
    kSave,
    kCancel,
    kClose,
    kEnable,
    kDisable,
    kAdd,
    kApply,
    kDelete,
    kRead,
    kReboot,
    kPrnChangeOper,
    kPrnCloseOper,
    kChngMsg1,
    kChngMsg2,
    kMnAbout,
    kMnUpdate,
    kMnChange,
    kMnConfig,
    kMnADconfig,
    kMnHelp,
    kMnExit,
    kDefaultNetName[0],
    kDefaultNetName[1],
    kOptTitle,
    kTabDisp,
    kTabPrint,
    kTabFolder,
    kTabNet,
    kTabManage,
    kDispIcon,
    kDispNetwork,
    kDispH,
    kDispV,
    kControl,
    kNetware,
    kUseNetware,
    kAutoLogin,
    kLog,
    kTimer,
    kMinText,
    kTmCnt,
    kTPrnName,
    kScanPrn,
    kPause,
    kAlways,
    kHidden,
    kRdonly,
    kAccess,
    kNet,
    kTFolder,
    kTAccess,
    kTNetwork,
    kTPause,
    kSelFolder,
    kAlreadyList,
    kAboutTitle,
    kIp1Title,
    kIp1DeviceDesc,
    kIp1Group1,
    kIp1Group2,
    kIp1SameGw,
    kIp1Gateway,
    kIp1UseDhcp,
    kLancard,
    kIp2Title,
    kIp2NetConf,
    kIp2Ip,
    kIp2Mask,
    kIp2Gw,
    kIp2Dns,
    kIp2Domain,
};

// The update client's dialog texts (same string file, section "Updagent").
inline constexpr StringKey kUpdateClientKeys[] = {
    {"Updagent", "szTitle", 0},
    {"Updagent", "szServerName", 0},
    {"Updagent", "szTotal", 0},
    {"Updagent", "szDown", 0},
    {"Updagent", "szStartUpdate", 0},
    {"Updagent", "szStopUpdate", 0},
    {"Updagent", "szServerconf", 0},
    {"Updagent", "szExit", 0},
    {"Updagent", "szAskStop", 0},
    {"Updagent", "szAskRetry", 0},
    {"Updagent", "szConnect", 0},
    {"Updagent", "szDownloading", 0},
    {"Updagent", "szFailList", 0},
    {"Updagent", "szFailExecute", 0},
    {"Updagent", "szWriteprotect", 0},
    {"Updagent", "szReadProtect", 0},
    {"Updagent", "FontFaceName", 0},
    {"Updagent", "szEdTitle", 0},
    {"Updagent", "szServerAddr", 0},
    {"Updagent", "szUser", 0},
    {"Updagent", "szPass", 0},
    {"Updagent", "szAppend", 0},
    {"Updagent", "szDelete", 0},
    {"Updagent", "szOK", 0},
    {"Updagent", "szCancel", 0},
    {"Updagent", "szBadSignature", 0},
    {"Updagent", "szBadHash", 0},
    {"Updagent", "szNoHash", 0},
    {"Updagent", "szBadKey", 0},
    {"Updagent", "szUnverified", 0},
    {"Updagent", "szVerifiedRequired", 0},
    {"Updagent", "szOldSequence", 0},
    {"Updagent", "szSameName", 0},
    {"Updagent", "szBadStaging", 0},
    {"Updagent", "szBadInstalledPath", 0},
};

}  // namespace nv::strings
