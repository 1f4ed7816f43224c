// A real X desktop for end-to-end tests: Xvfb with a compositor, a plain desktop picture and,
// on request, a window manager; input through xdotool, the composed screen read back from the
// X server's framebuffer file.
//
// Every process a desktop starts is its child, dies with the test process (even when that one
// is killed) and is stopped and reaped when the desktop goes. Waits have generous time-outs
// that only guard against hangs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace stripband::e2e {

using namespace std::chrono_literals;

// Xlib's types, without Xlib's macros (None, Bool, Status...) in the tests.
using XWindow = unsigned long;
using XAtom = unsigned long;

// Long enough for anything that works, short enough that a hang fails the test.
constexpr auto kPatience = 10s;

struct ExitStatus {
  bool exited = false;  // ended by exit(), not by a signal
  int code = -1;
  int signal = 0;
};

// A child process, stopped and reaped when it goes out of scope.
class Child {
 public:
  // `environment` entries ("NAME=value") are added to this process's environment. Standard
  // output and error go to `output_path` (appended) when given. `ready_fd` is handed to the
  // child as its descriptor 3.
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
        const std::string& output_path = "", int ready_fd = -1);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  bool Running();
  // The exit status once the process has ended within `timeout`.
  std::optional<ExitStatus> WaitForExit(std::chrono::milliseconds timeout = kPatience);
  void Stop();

 private:
  pid_t pid_ = -1;
  std::optional<ExitStatus> status_;
};

// What the screen showed, as 0xRRGGBB.
struct Screen {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool SavePng(const std::string& path) const;
};

struct Rgb {
  int r = 0, g = 0, b = 0;
  static Rgb Of(uint32_t pixel) {
    return {static_cast<int>(pixel >> 16 & 0xFF), static_cast<int>(pixel >> 8 & 0xFF),
            static_cast<int>(pixel & 0xFF)};
  }
  friend bool operator==(const Rgb&, const Rgb&) = default;
};
std::string Describe(Rgb colour);
// Each channel within `tolerance` of the other colour's.
bool Near(Rgb a, Rgb b, int tolerance);

struct DesktopOptions {
  uint32_t background = 0xFFFFFF;  // the desktop picture's plain colour
  bool window_manager = false;     // openbox
  bool compositor = true;          // picom, xrender backend
  // The keyboard layout, for setxkbmap. NOTE: xdotool types a keysym the layout lacks on a
  // spare keycode that it unmaps right after, before a client can look the key up; dead keys
  // and AltGr need a layout that has them.
  std::string keyboard_layout = "us";
};

// A top-level client window as the desktop has it.
struct ClientWindow {
  XWindow window = 0;
  int x = 0, y = 0;  // on the root window
  int width = 0, height = 0;
  bool viewable = false;
};

class XDesktop {
 public:
  XDesktop() = default;
  ~XDesktop();
  XDesktop(const XDesktop&) = delete;
  XDesktop& operator=(const XDesktop&) = delete;

  // Starts the X server and the rest; an empty string on success, else what went wrong.
  std::string Start(const DesktopOptions& options);
  // Takes the whole desktop down, the X server included, as a crash or a logout would.
  void Stop();
  // Kills the X server alone, at once, with whatever else still runs on it.
  void KillServer();

  // The compositor going away and coming back; each returns once the desktop shows it.
  bool StopCompositor();
  bool StartCompositor();
  // Another openbox takes over from the running window manager (openbox --replace); returns
  // once the new one manages the desktop and the old one has gone.
  bool ReplaceWindowManager();

  const std::string& name() const { return name_; }  // ":N"
  _XDisplay* x() const { return x_; }
  XWindow Root() const;
  const std::string& directory() const { return directory_; }
  std::string DisplayEnvironment() const { return "DISPLAY=" + name_; }

  Screen Capture() const;
  // Runs xdotool with these arguments against this desktop; true when it succeeded.
  bool Xdotool(const std::vector<std::string>& arguments);

  // The top-level window (or the client inside a manager's frame) whose _NET_WM_PID is `pid`.
  std::optional<ClientWindow> FindClient(pid_t pid);
  std::optional<ClientWindow> Geometry(XWindow window);
  std::vector<XAtom> AtomsOf(XWindow window, const char* property);
  XAtom Intern(const char* name);

  // Sends _NET_WM_PING and waits for the answer: the client has handled everything the
  // desktop gave it before the ping. False when no answer came.
  bool Ping(XWindow window);
  // The same in two halves, for a client in this process that must be kept running meanwhile.
  long SendPing(XWindow window);
  bool Answered(long ping, std::chrono::milliseconds wait);
  // WM_DELETE_WINDOW, as a window manager or a taskbar sends it.
  void SendDeleteWindow(XWindow window);
  // _NET_CLOSE_WINDOW to the root, as a pager sends it.
  void RequestClose(XWindow window);
  // Any client message, as another client may send it to `destination`: `window` is the
  // window the message names, `type` its message type, `format` 8, 16 or 32.
  void SendClientMessage(XWindow destination, XWindow window, XAtom type, int format,
                         const std::vector<long>& data);
  // An opaque window of another program, mapped above everything there is.
  XWindow OpenWindow(int x, int y, int width, int height, uint32_t colour);
  void CloseWindow(XWindow window);

  // Polls `condition` until it holds or the patience runs out.
  template <typename F>
  static bool Eventually(F&& condition, std::chrono::milliseconds timeout = kPatience) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (condition()) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      PauseBriefly();
    }
  }

 private:
  static void PauseBriefly();
  std::string StartServer();
  bool WaitForSelection(const char* selection, bool owned = true);
  bool WaitForWindowManager();
  XWindow WindowManagerCheck();

  std::string directory_;
  std::string name_;
  _XDisplay* x_ = nullptr;
  std::vector<std::unique_ptr<Child>> children_;  // stopped last to first
  Child* server_ = nullptr;
  Child* compositor_ = nullptr;
  Child* window_manager_ = nullptr;
  long ping_serial_ = 0;
};

}  // namespace stripband::e2e
