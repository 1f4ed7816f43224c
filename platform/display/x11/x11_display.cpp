#include "display/x11/x11_display.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <span>
#include <vector>

#include "display/x11/x11_keyboard.h"
#include "display/x11/x11_picture.h"

namespace platform::display {
namespace {

using Kind = RawInput::Kind;

// A plain window shows its class background, COLOR_BTNFACE, opaque.
constexpr unsigned long kButtonFace = 0xFFF0F0F0;

constexpr long kWindowEvents = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                               PointerMotionMask | EnterWindowMask | FocusChangeMask |
                               StructureNotifyMask;
// Other programs' windows appearing (topmost windows stay above them), close requests sent to
// the root window, and a window manager coming or going.
constexpr long kRootEvents = SubstructureNotifyMask | PropertyChangeMask;

enum AtomName : size_t {
  kWmProtocols,
  kWmDeleteWindow,
  kNetWmPing,
  kNetCloseWindow,
  kNetWmState,
  kNetWmStateAbove,
  kNetActiveWindow,
  kNetSupportingWmCheck,
  kNetWmName,
  kUtf8String,
  kNetWmPid,
  kMotifWmHints,
  kNetWmIcon,
  kCardinal,
  kAtomCount,
};

const char* const kAtomNames[kAtomCount] = {
    "WM_PROTOCOLS",       "WM_DELETE_WINDOW",
    "_NET_WM_PING",       "_NET_CLOSE_WINDOW",
    "_NET_WM_STATE",      "_NET_WM_STATE_ABOVE",
    "_NET_ACTIVE_WINDOW", "_NET_SUPPORTING_WM_CHECK",
    "_NET_WM_NAME",       "UTF8_STRING",
    "_NET_WM_PID",        "_MOTIF_WM_HINTS",
    "_NET_WM_ICON",       "CARDINAL",
};

constexpr unsigned int kCursorShapes[] = {
    XC_left_ptr,             // kArrow
    XC_sb_h_double_arrow,    // kSizeWestEast
    XC_sb_v_double_arrow,    // kSizeNorthSouth
    XC_bottom_right_corner,  // kSizeNwSe
    XC_bottom_left_corner,   // kSizeNeSw
};

// Xlib's handlers are process-wide and take no context.
std::string& ConnectedDisplayName() {
  static std::string name;
  return name;
}

int IgnoreProtocolError(::Display*, XErrorEvent*) {
  // Requests on windows that other clients destroyed meanwhile fail harmlessly; Xlib's default
  // handler would end the process for them.
  return 0;
}

int EndOnLostDisplay(::Display*) {
  std::fprintf(stderr, "%s: lost the connection to display %s\n", program_invocation_short_name,
               ConnectedDisplayName().c_str());
  std::fflush(nullptr);
  // NOTE: Xlib ends the process with exit code 1 once this handler returns; the program's own
  // endings are all 0, so this one is too.
  std::_Exit(0);
}

Rect PrimaryMonitor(::Display* x) {
  int screen = DefaultScreen(x);
  Rect whole{0, 0, DisplayWidth(x, screen), DisplayHeight(x, screen)};
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(x, &event_base, &error_base) || !XRRQueryVersion(x, &major, &minor) ||
      (major == 1 && minor < 5)) {
    return whole;
  }
  int count = 0;
  XRRMonitorInfo* monitors = XRRGetMonitors(x, DefaultRootWindow(x), True, &count);
  Rect result = whole;
  for (int i = 0; i < count; ++i) {
    const XRRMonitorInfo& m = monitors[i];
    // Without a primary monitor the first one is the main screen.
    if (m.primary || i == 0) result = {m.x, m.y, m.x + m.width, m.y + m.height};
    if (m.primary) break;
  }
  if (monitors) XRRFreeMonitors(monitors);
  return result;
}

class X11Display final : public Display {
 public:
  X11Display(::Display* x, const XVisualInfo& visual, Rect primary, int wake_fd)
      : x_(x), root_(DefaultRootWindow(x)), visual_(visual), primary_(primary), wake_fd_(wake_fd) {
    XInternAtoms(x_, const_cast<char**>(kAtomNames), kAtomCount, False, atoms_.data());
    colormap_ = XCreateColormap(x_, root_, visual_.visual, AllocNone);
    int event_base = 0, error_base = 0;
    shape_ = XShapeQueryExtension(x_, &event_base, &error_base);
    // Held keys repeat as presses alone, as on Windows, instead of release-press pairs.
    XkbSetDetectableAutoRepeat(x_, True, nullptr);
    XSelectInput(x_, root_, kRootEvents);
    window_manager_ = WindowManagerRunning();
  }

  ~X11Display() override {
    for (auto& [id, surface] : surfaces_) XDestroyWindow(x_, surface.window);
    for (::Cursor cursor : cursors_) {
      if (cursor) XFreeCursor(x_, cursor);
    }
    if (gc_) XFreeGC(x_, gc_);
    XFreeColormap(x_, colormap_);
    XCloseDisplay(x_);
    close(wake_fd_);
  }

  Metrics GetMetrics() override {
    return Metrics{.screen_width = primary_.Width(), .screen_height = primary_.Height()};
  }

  bool CreateSurface(SurfaceId id, const SurfaceState& state) override {
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap_;
    attributes.border_pixel = 0;
    attributes.background_pixel = kButtonFace;
    attributes.event_mask = kWindowEvents;
    Rect at = OnRoot(state.rect);
    Window window =
        XCreateWindow(x_, root_, at.left, at.top, Extent(at.Width()), Extent(at.Height()), 0,
                      visual_.depth, InputOutput, visual_.visual,
                      CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &attributes);
    if (!window) return false;
    Describe(window, at);
    if (cursors_[static_cast<size_t>(cursor_)]) {
      XDefineCursor(x_, window, cursors_[static_cast<size_t>(cursor_)]);
    }
    surfaces_[id] = Surface{.window = window, .state = {.rect = state.rect}};
    UpdateSurface(id, state);
    return true;
  }

  void UpdateSurface(SurfaceId id, const SurfaceState& state) override {
    Surface* surface = Find(id);
    if (!surface) return;
    const SurfaceState old = surface->state;
    surface->state = state;
    Window window = surface->window;
    if (state.rect != old.rect) {
      Rect at = OnRoot(state.rect);
      XMoveResizeWindow(x_, window, at.left, at.top, Extent(at.Width()), Extent(at.Height()));
    }
    bool resized =
        state.rect.Width() != old.rect.Width() || state.rect.Height() != old.rect.Height();
    if (state.layered != old.layered || (state.layered && resized)) surface->picture_pending = true;
    if (state.visible && !old.visible) surface->map_pending = true;
    if (!state.visible && old.visible) {
      if (!surface->map_pending) XWithdrawWindow(x_, window, DefaultScreen(x_));
      surface->map_pending = false;
      surface->mapped = false;
    }
    if (state.topmost != old.topmost) SetAbove(*surface);
  }

  void DestroySurface(SurfaceId id) override {
    auto it = surfaces_.find(id);
    if (it == surfaces_.end()) return;
    XDestroyWindow(x_, it->second.window);
    surfaces_.erase(it);
    std::erase(stack_, id);
    XFlush(x_);
  }

  void SetPicture(SurfaceId id, std::shared_ptr<const Picture> picture) override {
    Surface* surface = Find(id);
    if (!surface) return;
    surface->picture = std::move(picture);
    if (surface->state.layered) surface->picture_pending = true;
  }

  void SetIcon(SurfaceId id, std::shared_ptr<const Picture> icon) override {
    Surface* surface = Find(id);
    if (!surface || !icon) return;
    // NOTE: a format-32 property travels as C longs, whatever their size; each holds one
    // 0xAARRGGBB pixel after the width and the height.
    std::vector<long> data;
    data.reserve(2 + icon->pixels.size());
    data.push_back(icon->width);
    data.push_back(icon->height);
    for (uint32_t pixel : icon->pixels) data.push_back(static_cast<long>(pixel));
    XChangeProperty(x_, surface->window, atoms_[kNetWmIcon], atoms_[kCardinal], 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data.data()),
                    static_cast<int>(data.size()));
  }

  void Restack(std::span<const SurfaceId> top_to_bottom) override {
    stack_.assign(top_to_bottom.begin(), top_to_bottom.end());
    // NOTE: under a window manager our windows are its frames' children, not siblings, and
    // the manager stacks them (keeping _NET_WM_STATE_ABOVE ones above); only without one do
    // we stack them ourselves.
    if (window_manager_) return;
    std::vector<Window> windows;
    for (SurfaceId id : stack_) {
      if (Surface* surface = Find(id)) windows.push_back(surface->window);
    }
    RaiseTopmost();
    if (windows.size() > 1) XRestackWindows(x_, windows.data(), static_cast<int>(windows.size()));
  }

  void Activate(SurfaceId id) override {
    Surface* surface = Find(id);
    if (!surface) return;
    if (window_manager_) {
      // A window manager focuses a window it maps by itself, and takes requests for mapped ones.
      if (surface->mapped)
        AskWindowManager(surface->window, atoms_[kNetActiveWindow], 1, last_input_time_, 0);
      return;
    }
    XRaiseWindow(x_, surface->window);
    RaiseTopmost();
    // NOTE: focusing a window that the server has not mapped yet is an error; it waits for the
    // MapNotify.
    if (surface->mapped) {
      XSetInputFocus(x_, surface->window, RevertToPointerRoot, CurrentTime);
    } else {
      surface->focus_on_map = true;
    }
  }

  void SetCursor(Cursor cursor) override {
    if (cursor == cursor_ && cursors_[static_cast<size_t>(cursor)]) return;
    cursor_ = cursor;
    ::Cursor& shape = cursors_[static_cast<size_t>(cursor)];
    if (!shape) shape = XCreateFontCursor(x_, kCursorShapes[static_cast<size_t>(cursor)]);
    for (auto& [id, surface] : surfaces_) XDefineCursor(x_, surface.window, shape);
  }

  std::optional<RawInput> PollInput() override {
    Commit();
    // One X event at a time, so everything before an event is handled before it is read: a
    // ping answered in order tells its sender that the input it sent earlier is done.
    while (pending_.empty() && XPending(x_) > 0) {
      XEvent event;
      XNextEvent(x_, &event);
      Dispatch(event);
    }
    if (pending_.empty()) return std::nullopt;
    RawInput input = pending_.front();
    pending_.pop_front();
    return input;
  }

  void WaitForInput() override {
    Commit();
    for (;;) {
      while (pending_.empty() && XPending(x_) > 0) {
        XEvent event;
        XNextEvent(x_, &event);
        Dispatch(event);
      }
      if (!pending_.empty() || TakeWake()) return;
      // XPending flushed our requests and emptied the connection: sleep until either speaks.
      pollfd fds[2] = {{ConnectionNumber(x_), POLLIN, 0}, {wake_fd_, POLLIN, 0}};
      while (poll(fds, 2, -1) < 0 && errno == EINTR) {
      }
    }
  }

  void Wake() override {
    uint64_t one = 1;
    while (write(wake_fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }

  // NOTE: the X server has already delivered pointer input to our window by its input shape;
  // where the layer finds no window of ours (during the implicit grab that follows a press)
  // there is nothing left to hand on.
  void PassThrough(const RawInput&) override {}

  uint32_t Now() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
  }

  void Sleep(uint32_t milliseconds) override {
    Commit();
    XFlush(x_);  // what the program showed stays shown while it sleeps
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += milliseconds / 1000;
    until.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000;
    if (until.tv_nsec >= 1000000000) {
      until.tv_sec += 1;
      until.tv_nsec -= 1000000000;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
  }

 private:
  struct Surface {
    Window window = 0;
    SurfaceState state;
    std::shared_ptr<const Picture> picture;
    bool picture_pending = false;  // its picture or layering changed since the last commit
    bool map_pending = false;      // shown, not yet asked of the server
    bool mapped = false;           // the server has mapped it
    bool focus_on_map = false;     // activation was asked for before that
  };

  static constexpr int kUploadRows = 8;

  static unsigned Extent(int size) { return static_cast<unsigned>(std::max(size, 1)); }

  // Win32 screen coordinates start at the primary monitor's top-left corner.
  Rect OnRoot(Rect rect) const {
    return {rect.left + primary_.left, rect.top + primary_.top, rect.right + primary_.left,
            rect.bottom + primary_.top};
  }
  Point FromRoot(int x, int y) const { return {x - primary_.left, y - primary_.top}; }

  Surface* Find(SurfaceId id) {
    auto it = surfaces_.find(id);
    return it == surfaces_.end() ? nullptr : &it->second;
  }

  std::optional<SurfaceId> Owner(Window window) const {
    for (const auto& [id, surface] : surfaces_) {
      if (surface.window == window) return id;
    }
    return std::nullopt;
  }

  // The properties a desktop reads: an empty title, who we are, what we answer, no frame.
  void Describe(Window window, Rect at) {
    XStoreName(x_, window, "");
    XChangeProperty(x_, window, atoms_[kNetWmName], atoms_[kUtf8String], 8, PropModeReplace,
                    nullptr, 0);
    std::string name = program_invocation_short_name;
    std::string class_name = name;
    if (!class_name.empty()) class_name[0] = static_cast<char>(std::toupper(class_name[0]));
    XClassHint class_hint{name.data(), class_name.data()};
    XSetClassHint(x_, window, &class_hint);

    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XSetWMHints(x_, window, &hints);
    // The program places its windows itself.
    XSizeHints size{};
    size.flags = USPosition | PPosition | USSize | PSize;
    size.x = at.left;
    size.y = at.top;
    size.width = at.Width();
    size.height = at.Height();
    XSetWMNormalHints(x_, window, &size);

    Atom protocols[] = {atoms_[kWmDeleteWindow], atoms_[kNetWmPing]};
    XSetWMProtocols(x_, window, protocols, 2);
    long pid = getpid();
    XChangeProperty(x_, window, atoms_[kNetWmPid], XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    XChangeProperty(x_, window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<unsigned char*>(host), static_cast<int>(std::strlen(host)));
    // Motif hints, flags: decorations given; decorations: none. Every manager reads these.
    long motif[5] = {2, 0, 0, 0, 0};
    XChangeProperty(x_, window, atoms_[kMotifWmHints], atoms_[kMotifWmHints], 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(motif), 5);
  }

  void SetAbove(const Surface& surface) {
    bool above = surface.state.topmost;
    // NOTE: a manager reads the property when it takes a window on, and afterwards listens for
    // requests; a window it is taking on just now may miss the request, so both are sent.
    Atom state = atoms_[kNetWmStateAbove];
    XChangeProperty(x_, surface.window, atoms_[kNetWmState], XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&state), above ? 1 : 0);
    if (surface.state.visible) {
      AskWindowManager(surface.window, atoms_[kNetWmState], above ? 1 : 0, static_cast<long>(state),
                       0);
    }
    if (!window_manager_ && above) RaiseTopmost();
  }

  // Our topmost windows above all others, in our order.
  void RaiseTopmost() {
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
      Surface* surface = Find(*it);
      if (surface && surface->state.topmost && surface->state.visible) {
        XRaiseWindow(x_, surface->window);
      }
    }
  }

  // An EWMH request about one of our windows, sent to the root where the manager listens.
  void AskWindowManager(Window window, Atom request, long l0, long l1, long l2) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = request;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = 1;  // the source: an application
    XSendEvent(x_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  }

  Window WindowProperty(Window window, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window value = 0;
    if (XGetWindowProperty(x_, window, property, 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &after, &data) == Success &&
        data && format == 32 && count == 1) {
      value = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
    }
    if (data) XFree(data);
    return value;
  }

  // An EWMH manager names a window of its own on the root, and that window names itself.
  bool WindowManagerRunning() {
    Window check = WindowProperty(root_, atoms_[kNetSupportingWmCheck]);
    return check != 0 && WindowProperty(check, atoms_[kNetSupportingWmCheck]) == check;
  }

  // The X server keeps the picture as the window's background and repaints it by itself
  // whenever the window is exposed; the program never paints.
  void ShowPicture(const Surface& surface) {
    Window window = surface.window;
    if (!surface.state.layered) {
      XSetWindowBackground(x_, window, kButtonFace);
      if (shape_) XShapeCombineMask(x_, window, ShapeInput, 0, 0, None, ShapeSet);
      XClearWindow(x_, window);
      return;
    }
    if (!surface.picture || surface.picture->pixels.empty()) {
      // A layered window with no picture yet shows nothing and takes no input: a transparent
      // background pixel and an empty input shape, with nothing to upload.
      XSetWindowBackground(x_, window, 0);
      if (shape_)
        XShapeCombineRectangles(x_, window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, YXBanded);
      XClearWindow(x_, window);
      return;
    }
    const Picture& picture = *surface.picture;
    int width = static_cast<int>(Extent(surface.state.rect.Width()));
    int height = static_cast<int>(Extent(surface.state.rect.Height()));
    Pixmap pixmap =
        XCreatePixmap(x_, window, static_cast<unsigned>(width), static_cast<unsigned>(height), 32);
    if (!gc_) gc_ = XCreateGC(x_, pixmap, 0, nullptr);
    // A few rows at a time through one reused buffer: Xlib has sent or copied them when
    // XPutImage returns, and a picture then costs no new memory of its own size.
    upload_.resize(static_cast<size_t>(width) * std::min(height, kUploadRows));
    for (int top = 0; top < height; top += kUploadRows) {
      int rows = std::min(kUploadRows, height - top);
      std::span<uint32_t> chunk(upload_.data(), static_cast<size_t>(width) * rows);
      x11::WindowRows(picture, width, top, chunk);
      XImage* image =
          XCreateImage(x_, visual_.visual, 32, ZPixmap, 0, reinterpret_cast<char*>(chunk.data()),
                       static_cast<unsigned>(width), static_cast<unsigned>(rows), 32, width * 4);
      if (!image) break;
      // Our words are in the host's byte order; Xlib converts them for the server.
      image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
      XPutImage(x_, pixmap, gc_, image, 0, 0, 0, top, static_cast<unsigned>(width),
                static_cast<unsigned>(rows));
      image->data = nullptr;  // the buffer is ours
      XDestroyImage(image);
    }
    // The server holds on to the background; our handle can go at once.
    XSetWindowBackgroundPixmap(x_, window, pixmap);
    XFreePixmap(x_, pixmap);
    if (shape_) {
      std::vector<XRectangle> area;
      for (const Rect& r : x11::InputArea(picture, width, height)) {
        area.push_back({static_cast<short>(r.left), static_cast<short>(r.top),
                        static_cast<unsigned short>(r.Width()),
                        static_cast<unsigned short>(r.Height())});
      }
      XShapeCombineRectangles(x_, window, ShapeInput, 0, 0, area.data(),
                              static_cast<int>(area.size()), ShapeSet, YXBanded);
    }
    XClearWindow(x_, window);
  }

  // What the program changed since it last waited goes to the server when it next waits or
  // sleeps: a window's picture once however often it changed, and before the window's map, so
  // that the server and the compositor see each window once, in its final look.
  void Commit() {
    for (auto& [id, surface] : surfaces_) {
      if (surface.picture_pending) {
        surface.picture_pending = false;
        ShowPicture(surface);
      }
      if (surface.map_pending) {
        surface.map_pending = false;
        XMapWindow(x_, surface.window);
      }
    }
  }

  bool TakeWake() {
    uint64_t count = 0;
    return read(wake_fd_, &count, sizeof count) == sizeof count && count > 0;
  }

  void Push(RawInput input) {
    input.time = Now();
    pending_.push_back(input);
  }

  void Dispatch(const XEvent& event) {
    using Handler = void (X11Display::*)(const XEvent&);
    struct Route {
      int type;
      Handler handle;
    };
    static constexpr Route kRoutes[] = {
        {MotionNotify, &X11Display::OnMotion},
        {EnterNotify, &X11Display::OnEnter},
        {ButtonPress, &X11Display::OnButton},
        {ButtonRelease, &X11Display::OnButton},
        {KeyPress, &X11Display::OnKey},
        {KeyRelease, &X11Display::OnKey},
        {FocusIn, &X11Display::OnFocus},
        {FocusOut, &X11Display::OnFocus},
        {ClientMessage, &X11Display::OnClientMessage},
        {MapNotify, &X11Display::OnMap},
        {PropertyNotify, &X11Display::OnProperty},
        {MappingNotify, &X11Display::OnKeyboardMapping},
    };
    for (const Route& route : kRoutes) {
      if (route.type == event.type) return (this->*route.handle)(event);
    }
  }

  void OnMotion(const XEvent& event) {
    const XMotionEvent& motion = event.xmotion;
    if (!Owner(motion.window)) return;
    // Only the latest of a burst of moves matters, as with WM_MOUSEMOVE.
    if (XEventsQueued(x_, QueuedAlready) > 0) {
      XEvent next;
      XPeekEvent(x_, &next);
      if (next.type == MotionNotify && next.xmotion.window == motion.window) return;
    }
    Push({.kind = Kind::kPointerMove, .point = FromRoot(motion.x_root, motion.y_root)});
  }

  void OnEnter(const XEvent& event) {
    const XCrossingEvent& crossing = event.xcrossing;
    if (!Owner(crossing.window) || crossing.mode != NotifyNormal) return;
    Push({.kind = Kind::kPointerMove, .point = FromRoot(crossing.x_root, crossing.y_root)});
  }

  void OnButton(const XEvent& event) {
    const XButtonEvent& press = event.xbutton;
    if (!Owner(press.window)) return;
    constexpr std::pair<unsigned, Button> kButtons[] = {
        {Button1, Button::kLeft}, {Button2, Button::kMiddle}, {Button3, Button::kRight}};
    for (auto [number, button] : kButtons) {
      if (press.button != number) continue;
      last_input_time_ = press.time;
      // Screen points, not window points: the layer hit-tests every event itself, so the
      // implicit grab a press starts never acts as mouse capture.
      Push({.kind = event.type == ButtonPress ? Kind::kButtonDown : Kind::kButtonUp,
            .point = FromRoot(press.x_root, press.y_root),
            .button = button});
    }
  }

  void OnKey(const XEvent& event) {
    XKeyEvent key = event.xkey;
    if (!Owner(key.window)) return;
    last_input_time_ = key.time;
    x11::KeyFacts facts{.keycode = key.keycode};
    int group = XkbGroupForCoreState(key.state);
    auto level = [&](int shift_level) {
      KeySym sym = XkbKeycodeToKeysym(x_, static_cast<KeyCode>(key.keycode), group, shift_level);
      // Keys with fewer groups than the active one fall back to their first.
      if (sym == NoSymbol)
        sym = XkbKeycodeToKeysym(x_, static_cast<KeyCode>(key.keycode), 0, shift_level);
      return static_cast<x11::Keysym>(sym);
    };
    facts.level1 = level(0);
    facts.level2 = level(1);
    char typed[8] = {};
    KeySym produced = NoSymbol;
    int count = XLookupString(&key, typed, sizeof typed, &produced, nullptr);
    facts.produced = static_cast<x11::Keysym>(produced);
    facts.typed = count == 1 ? static_cast<uint8_t>(typed[0]) : 0;
    bool down = event.type == KeyPress;
    for (const KeyInput& input : down ? keys_.Press(facts) : keys_.Release(facts)) {
      Push({.kind = down ? Kind::kKeyDown : Kind::kKeyUp, .key = input});
    }
  }

  void OnFocus(const XEvent& event) {
    const XFocusChangeEvent& focus = event.xfocus;
    std::optional<SurfaceId> id = Owner(focus.window);
    if (!id) return;
    // Keyboard grabs (a window manager's shortcut, a menu) borrow the focus without moving it.
    if (focus.mode == NotifyGrab || focus.mode == NotifyUngrab) return;
    if (focus.detail == NotifyInferior || focus.detail == NotifyPointer) return;
    Push({.kind = event.type == FocusIn ? Kind::kFocusIn : Kind::kFocusOut, .surface = *id});
  }

  void OnClientMessage(const XEvent& event) {
    const XClientMessageEvent& message = event.xclient;
    std::optional<SurfaceId> id = Owner(message.window);
    // NOTE: every message we answer carries 32-bit data; in another format data.l[0] is bytes
    // of another shape, which may happen to spell WM_DELETE_WINDOW.
    if (!id || message.format != 32) return;
    Atom what = static_cast<Atom>(message.data.l[0]);
    if (message.message_type == atoms_[kWmProtocols] && what == atoms_[kWmDeleteWindow]) {
      Push({.kind = Kind::kCloseRequest, .surface = *id});
    } else if (message.message_type == atoms_[kWmProtocols] && what == atoms_[kNetWmPing]) {
      XEvent pong = event;
      pong.xclient.window = root_;
      XSendEvent(x_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &pong);
      XFlush(x_);
    } else if (message.message_type == atoms_[kNetCloseWindow] && !window_manager_) {
      // Pagers and taskbars send this to the root; a manager would turn it into
      // WM_DELETE_WINDOW, and without one nobody else answers it.
      Push({.kind = Kind::kCloseRequest, .surface = *id});
    }
  }

  void OnMap(const XEvent& event) {
    const XMapEvent& map = event.xmap;
    if (map.event == root_) {
      // Another program's window has appeared above ours.
      if (!window_manager_ && !map.override_redirect && !Owner(map.window)) RaiseTopmost();
      return;
    }
    std::optional<SurfaceId> id = Owner(map.window);
    if (!id) return;
    Surface& surface = surfaces_[*id];
    surface.mapped = true;
    if (surface.focus_on_map) {
      surface.focus_on_map = false;
      XSetInputFocus(x_, surface.window, RevertToPointerRoot, CurrentTime);
    }
  }

  void OnProperty(const XEvent& event) {
    if (event.xproperty.window == root_ && event.xproperty.atom == atoms_[kNetSupportingWmCheck]) {
      window_manager_ = WindowManagerRunning();
    }
  }

  void OnKeyboardMapping(const XEvent& event) {
    XMappingEvent mapping = event.xmapping;
    XRefreshKeyboardMapping(&mapping);
  }

  ::Display* const x_;
  const Window root_;
  const XVisualInfo visual_;
  const Rect primary_;
  const int wake_fd_;
  std::array<Atom, kAtomCount> atoms_{};
  Colormap colormap_ = 0;
  GC gc_ = nullptr;
  bool shape_ = false;
  bool window_manager_ = false;
  std::map<SurfaceId, Surface> surfaces_;
  std::vector<SurfaceId> stack_;
  std::deque<RawInput> pending_;
  std::vector<uint32_t> upload_;
  x11::KeyTranslator keys_;
  Cursor cursor_ = Cursor::kArrow;
  std::array<::Cursor, std::size(kCursorShapes)> cursors_{};
  Time last_input_time_ = CurrentTime;
};

}  // namespace

std::unique_ptr<Display> OpenX11Display(std::string* why_not) {
  const char* name = XDisplayName(nullptr);
  if (!name || !*name) {
    *why_not = "cannot open display: DISPLAY is not set";
    return nullptr;
  }
  ::Display* x = XOpenDisplay(nullptr);
  if (!x) {
    *why_not = std::string("cannot open display ") + name;
    return nullptr;
  }
  XVisualInfo visual{};
  int wake_fd = -1;
  if (!XMatchVisualInfo(x, DefaultScreen(x), 32, TrueColor, &visual)) {
    *why_not = std::string("cannot use display ") + name + ": it has no 32-bit colour visual";
  } else if ((wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) < 0) {
    *why_not = std::string("cannot use display ") + name + ": no event descriptor";
  }
  if (wake_fd < 0) {
    XCloseDisplay(x);
    return nullptr;
  }
  ConnectedDisplayName() = DisplayString(x);
  XSetErrorHandler(IgnoreProtocolError);
  XSetIOErrorHandler(EndOnLostDisplay);
  return std::make_unique<X11Display>(x, visual, PrimaryMonitor(x), wake_fd);
}

}  // namespace platform::display
