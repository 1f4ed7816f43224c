#include <windows.h>

#include <algorithm>
#include <string>

#include "tests/fuzz/fuzz_targets.h"
#include "tests/support/band_rules.h"
#include "tests/support/program_run.h"

namespace stripband::fuzz {
namespace {

using testing::BandRules;
using testing::DesktopSettings;
using testing::Mouse;
using testing::ProgramRun;

// Enough for long drags and pauses, few enough that every input runs quickly.
constexpr int kMostActions = 256;

// The input's bytes, read from the front; past the end every byte reads as 0.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  uint32_t Dword() { return static_cast<uint32_t>(Word() | Word() << 16); }
  int Below(int n) { return static_cast<int>(Word() % static_cast<unsigned>(n)); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

struct Desktop {
  int width, height, frame;
};
// Screens on which the band starts at the left edge, centred on a wider screen, refused by the
// gate on a very wide one, without a sizing border, and wider than a small screen.
constexpr Desktop kDesktops[] = {
    {1920, 1080, 4}, {2560, 1440, 4}, {3840, 1080, 4},
    {4000, 1080, 4}, {1920, 1080, 0}, {1366, 768, 8},
};

// Keys that type nothing; the rest of the keyboard comes from raw virtual keys.
constexpr BYTE kQuietKeys[] = {VK_SHIFT, VK_CONTROL, VK_MENU, VK_TAB,    VK_LEFT, VK_UP,
                               VK_F1,    VK_F4,      VK_F10,  VK_DELETE, VK_HOME, VK_CAPITAL};

// What other programs post: the messages the program and the layer act on, and the numbers
// around them; any other number comes raw from the input.
// clang-format off
constexpr UINT kMessages[] = {  // in the order of their numbers
    WM_NULL, WM_CREATE, WM_DESTROY, WM_MOVE, WM_SIZE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS,
    WM_PAINT, WM_CLOSE, WM_QUIT, WM_ERASEBKGND, WM_SHOWWINDOW, WM_SETCURSOR, WM_MOUSEACTIVATE,
    WM_GETMINMAXINFO, WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_NCCREATE, WM_NCDESTROY,
    WM_NCCALCSIZE, WM_NCHITTEST, WM_NCACTIVATE, WM_NCMOUSEMOVE, WM_NCLBUTTONDOWN,
    WM_NCRBUTTONDOWN, WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_DEADCHAR, WM_SYSKEYDOWN, WM_SYSCHAR,
    WM_COMMAND, WM_SYSCOMMAND, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
    WM_RBUTTONDOWN, WM_RBUTTONUP, WM_SIZING, WM_CAPTURECHANGED, WM_MOVING, WM_ENTERSIZEMOVE,
    WM_EXITSIZEMOVE, WM_USER, 0x8000, 0xC000,
};
// clang-format on

// System commands and hit-test codes that posted messages may carry in wParam.
constexpr WPARAM kWordParams[] = {SC_CLOSE,    SC_SIZE,      SC_SIZE + 1, SC_SIZE + 3,
                                  SC_SIZE + 8, SC_SIZE + 9,  SC_MOVE,     SC_KEYMENU,
                                  HTTOP,       HTBOTTOMLEFT, HTCLIENT,    64001};

enum Action : uint8_t {
  kMoveAnywhere,
  kMoveNear,
  kMoveOntoBand,
  kLeftDown,
  kLeftUp,
  kRightDown,
  kRightUp,
  kQuietKeyDown,
  kQuietKeyUp,
  kKeyDown,
  kKeyUp,
  kCloseRequest,
  kPostToWindow,
  kPostToThread,
  kAdvance,
  kActivateOther,
};

// Each byte picks one: what a hand does most often comes up most often, and what ends the
// program at once (most raw key presses type a character) seldom, so that sequences run long.
constexpr Action kActions[32] = {
    kMoveNear,     kMoveNear,      kMoveNear,     kMoveNear,     kMoveNear,     kMoveOntoBand,
    kMoveOntoBand, kMoveOntoBand,  kMoveOntoBand, kMoveAnywhere, kMoveAnywhere, kLeftDown,
    kLeftDown,     kLeftDown,      kLeftUp,       kLeftUp,       kLeftUp,       kRightDown,
    kRightUp,      kQuietKeyDown,  kQuietKeyDown, kQuietKeyUp,   kKeyDown,      kKeyUp,
    kCloseRequest, kPostToWindow,  kPostToWindow, kPostToWindow, kPostToThread, kAdvance,
    kAdvance,      kActivateOther,
};

class Session {
 public:
  Session(Bytes& in, const Desktop& desktop)
      : in_(in),
        desktop_(desktop),
        run_(DesktopSettings{.width = desktop.width,
                             .height = desktop.height,
                             .frame = desktop.frame,
                             .other_windows = {{0, 0, 800, 400}}}),
        rules_(run_) {
    pointer_ = {rules_.Band().client.left + 100, rules_.Band().client.top + 10};
  }

  std::string Run() {
    for (int action = 0; action < kMostActions && !in_.Empty() && rules_.Running(); ++action) {
      Act(kActions[in_.Byte() % std::size(kActions)]);
      if (std::string problem = rules_.Check(); !problem.empty()) {
        return "action " + std::to_string(action) + ": " + problem;
      }
    }
    if (!rules_.Running()) return "";
    // The way out of any state: the button that a resize from the border holds is released,
    // and the taskbar asks the band to close.
    run_.Release(Mouse::kLeft);
    if (std::string problem = rules_.Check(); !problem.empty()) return "the release: " + problem;
    if (!rules_.Running()) return "";
    run_.CloseFromTaskbar();
    if (std::string problem = rules_.Check(); !problem.empty()) {
      return "the close request: " + problem;
    }
    return rules_.Running() ? "a close request from the taskbar did not end it" : "";
  }

 private:
  void MoveTo(int x, int y) {
    pointer_ = {x, y};
    run_.MovePointer(x, y);
  }

  void Post(bool to_window) {
    // One byte names a message of the table, or else a raw number follows; the same for wParam.
    uint8_t pick = in_.Byte();
    UINT message =
        pick < 3 * std::size(kMessages) ? kMessages[pick % std::size(kMessages)] : in_.Dword();
    pick = in_.Byte();
    WPARAM wparam = pick < 16 * std::size(kWordParams) ? kWordParams[pick % std::size(kWordParams)]
                                                       : in_.Dword();
    LPARAM lparam = static_cast<int32_t>(in_.Dword());
    if (to_window) {
      run_.PostToWindow(rules_.Band().hwnd, message, wparam, lparam);
    } else {
      run_.PostToProgramThread(message, wparam, lparam);
    }
  }

  void Act(Action action) {
    const RECT& rect = rules_.Band().rect;
    switch (action) {
      case kMoveAnywhere:
        MoveTo(in_.Below(desktop_.width + 64) - 32, in_.Below(desktop_.height + 64) - 32);
        break;
      case kMoveNear:
        MoveTo(pointer_.x + static_cast<int8_t>(in_.Byte()),
               pointer_.y + static_cast<int8_t>(in_.Byte()) / 8);
        break;
      case kMoveOntoBand:  // the border and a few rows around it included
        MoveTo(rect.left + in_.Below(std::max<int>(rect.right - rect.left, 1)),
               rect.top - 4 + in_.Below(std::max<int>(rect.bottom - rect.top, 1) + 8));
        break;
      case kLeftDown:
        run_.Press(Mouse::kLeft);
        break;
      case kLeftUp:
        run_.Release(Mouse::kLeft);
        break;
      case kRightDown:
        run_.Press(Mouse::kRight);
        break;
      case kRightUp:
        run_.Release(Mouse::kRight);
        break;
      case kQuietKeyDown:
        run_.KeyDown(kQuietKeys[in_.Byte() % std::size(kQuietKeys)]);
        break;
      case kQuietKeyUp:
        run_.KeyUp(kQuietKeys[in_.Byte() % std::size(kQuietKeys)]);
        break;
      case kKeyDown:
        run_.KeyDown(in_.Byte());
        break;
      case kKeyUp:
        run_.KeyUp(in_.Byte());
        break;
      case kCloseRequest:
        run_.CloseFromTaskbar();
        break;
      case kPostToWindow:
        Post(true);
        break;
      case kPostToThread:
        Post(false);
        break;
      case kAdvance:
        run_.Wait(in_.Byte() * 4u);  // across the double-click time and the right press's pause
        break;
      case kActivateOther:
        run_.ActivateOtherWindow(0);
        break;
    }
  }

  Bytes& in_;
  const Desktop desktop_;
  ProgramRun run_;
  BandRules rules_;
  POINT pointer_{};
};

}  // namespace

std::string CheckInputSequence(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  Session session(in, kDesktops[in.Byte() % std::size(kDesktops)]);
  return session.Run();
}

}  // namespace stripband::fuzz
