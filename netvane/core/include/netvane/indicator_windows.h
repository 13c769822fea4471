// The windows of the change display, behind a small interface so CNetIndicator keeps its
// decisions portable: the progress window (bar and two text lines) and the desktop window that
// shows the name of the network in force.  The Win32 implementation draws them; native builds
// have none (MakeIndicatorWindows returns null) and tests use a recorder.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace nv::core {

struct TextExtent {
  int cx = 0;
  int cy = 0;
  bool operator==(const TextExtent& o) const noexcept { return cx == o.cx && cy == o.cy; }
};

// The logical font of the desktop display window.
struct DisplayFont {
  std::string face;
  int size = 0;
  int weight = 0;
  int escapement = 0;  // tenths of a degree
};

struct DisplaySpec {
  std::string name;     // network name
  uint32_t colour = 0;  // 0x00BBGGRR
  bool vertical = false;
  DisplayFont font;
};

inline constexpr const char* kDisplayFontName = "Tahoma";
inline constexpr int kDisplayFontSize = 24;

// Always bold; the vertical form uses the face's "@" variant turned by -900.
DisplayFont DisplayWindowFont(const std::string& fontName, int size, bool vertical);
// The window size for the text extent measured with that font: turned text swaps the sides
// and leaves 50 units of room along the text.
TextExtent DisplayWindowSize(TextExtent text, bool vertical) noexcept;
// First line of the progress window: every "%1" in `message` becomes the network name.
std::string ProgressTitle(const std::string& message, const std::string& networkName);
// Second line: the status text while there is one, else the standing message.
std::string ProgressSecondLine(const std::string& message, const std::string& status);

class IIndicatorWindows {
 public:
  virtual ~IIndicatorWindows() = default;
  // Owner of the progress window (a window handle; 0 for none).
  virtual void SetParent(std::uintptr_t parent) = 0;
  // Opens the progress window with its two lines and an empty bar; false when it could not.
  virtual bool OpenProgress(const std::string& line1, const std::string& line2) = 0;
  // Moves the bar (0 to 100) and sets the second line; drawn before returning.
  virtual void UpdateProgress(int position, const std::string& line2) = 0;
  virtual void CloseProgress() = 0;
  // Replaces the desktop display window by one for `spec`; false when it could not be made.
  virtual bool ShowDisplay(const DisplaySpec& spec) = 0;
  virtual void CloseDisplay() = 0;
};

// The Win32 windows, dialog template from `resourceModule` (an HMODULE); the progress window is
// drawn in `fontFace` (the string file's "FontFaceName") as the dialogs are.  Null natively.
std::unique_ptr<IIndicatorWindows> MakeIndicatorWindows(std::uintptr_t resourceModule,
                                                        const std::string& fontFace);

// Repaints this thread's windows while a change blocks it: paint messages only, so no input,
// command or posted request is taken from the queue.  Nothing natively.
void PumpPaintMessages();

}  // namespace nv::core
