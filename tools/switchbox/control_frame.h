// The switch box's side of the Ethernet control frame: recognising it.  The
// frame is built by the product (netvane/switch_frame.h); this reading of it
// is the box's own, so the lab checks one against the other.  No I/O.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace nv::switchbox {

using Mac = std::array<std::uint8_t, 6>;

enum class Network { A, B };

constexpr std::size_t kFrameSize = 60;
constexpr std::size_t kLeadSize = 6;  // 55 55 55 55 55 D5 in front of the reversed frame

enum class Ignored {
  None,            // the frame is a command
  TooShort,        // fewer than kFrameSize bytes
  NotBroadcast,    // destination is not FF FF FF FF FF FF
  WrongType,       // type/length field is not 00 26
  MacMismatch,     // the MAC after the type field differs from the source MAC
  UnknownCommand,  // neither AA AA nor 55 55
};

struct Verdict {
  Ignored ignored = Ignored::TooShort;
  Network network = Network::A;
  bool lead = false;  // the frame came behind the 6-byte lead
  Mac mac{};          // the sender's MAC

  [[nodiscard]] bool IsCommand() const noexcept { return ignored == Ignored::None; }
};

// Reads one received frame (no frame check sequence).  Longer frames are
// accepted as long as the first kFrameSize bytes qualify; the zero tail is not
// checked, since a box only needs the command.
[[nodiscard]] Verdict ParseControlFrame(const std::uint8_t* data, std::size_t size) noexcept;

// True for a frame that claims to be a control frame (it starts with the lead
// or carries type/length 00 26), so that only those are worth a diagnostic
// when they are ignored; ordinary traffic passes the port all the time.
[[nodiscard]] bool LooksLikeControlFrame(const std::uint8_t* data, std::size_t size) noexcept;

[[nodiscard]] const char* Describe(Ignored reason) noexcept;
[[nodiscard]] std::string FormatMac(const Mac& mac);

}  // namespace nv::switchbox
