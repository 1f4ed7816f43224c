#include "tests/e2e/x_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace stripband::e2e {
namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

uint32_t BigEndian(const unsigned char* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

// The test's own connection outlives windows that others destroy; their errors are expected.
int IgnoreError(::Display*, XErrorEvent*) { return 0; }

std::string Hex(uint32_t colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06x", colour & 0xFFFFFF);
  return text;
}

}  // namespace

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
             const std::string& output_path, int ready_fd) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry; ++entry) {
    std::string line = *entry;
    bool replaced = false;
    for (const std::string& added : environment) {
      replaced =
          replaced || line.substr(0, line.find('=') + 1) == added.substr(0, added.find('=') + 1);
    }
    if (!replaced) env.push_back(line);
  }
  env.insert(env.end(), environment.begin(), environment.end());
  std::vector<std::string> args = argv;
  std::vector<char*> arg_pointers = Pointers(args);
  std::vector<char*> env_pointers = Pointers(env);
  int output = output_path.empty()
                   ? -1
                   : open(output_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // Dies with the test process, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    if (output >= 0) {
      dup2(output, 1);
      dup2(output, 2);
    }
    if (ready_fd == 3) {
      fcntl(3, F_SETFD, 0);
    } else if (ready_fd >= 0) {
      dup2(ready_fd, 3);
    }
    execvpe(arg_pointers[0], arg_pointers.data(), env_pointers.data());
    _exit(127);
  }
  if (output >= 0) close(output);
}

Child::~Child() { Stop(); }

bool Child::Running() {
  if (pid_ <= 0 || status_) return false;
  return !WaitForExit(0ms);
}

std::optional<ExitStatus> Child::WaitForExit(std::chrono::milliseconds timeout) {
  if (status_ || pid_ <= 0) return status_;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int raw = 0;
    pid_t done = waitpid(pid_, &raw, WNOHANG);
    if (done == pid_) {
      ExitStatus status;
      status.exited = WIFEXITED(raw);
      status.code = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      status.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
      status_ = status;
      return status_;
    }
    if (done < 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(5ms);
  }
}

void Child::Stop() {
  if (pid_ <= 0 || status_) return;
  kill(pid_, SIGTERM);
  if (WaitForExit(3s)) return;
  kill(pid_, SIGKILL);
  WaitForExit(kPatience);
}

bool Screen::SavePng(const std::string& path) const {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info && !setjmp(png_jmpbuf(png));
  if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        Rgb c = Rgb::Of(At(x, y));
        row[x * 3] = static_cast<png_byte>(c.r);
        row[x * 3 + 1] = static_cast<png_byte>(c.g);
        row[x * 3 + 2] = static_cast<png_byte>(c.b);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
  return ok;
}

std::string Describe(Rgb c) {
  return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

bool Near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

XDesktop::~XDesktop() {
  Stop();
  if (!directory_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
}

void XDesktop::Stop() {
  if (x_) XCloseDisplay(x_);
  x_ = nullptr;
  while (!children_.empty()) children_.pop_back();
  server_ = compositor_ = window_manager_ = nullptr;
}

void XDesktop::KillServer() {
  // Our own connection goes first: Xlib ends a process whose server vanishes under it.
  if (x_) XCloseDisplay(x_);
  x_ = nullptr;
  if (!server_) return;
  kill(server_->pid(), SIGKILL);
  server_->WaitForExit();
}

bool XDesktop::StopCompositor() {
  if (!compositor_) return false;
  compositor_->Stop();
  compositor_ = nullptr;
  return WaitForSelection("_NET_WM_CM_S0", false);
}

bool XDesktop::StartCompositor() {
  children_.push_back(std::make_unique<Child>(
      std::vector<std::string>{"picom", "--backend", "xrender", "--config", "/dev/null"},
      std::vector<std::string>{DisplayEnvironment()}, directory_ + "/picom.log"));
  compositor_ = children_.back().get();
  return WaitForSelection("_NET_WM_CM_S0");
}

XWindow XDesktop::WindowManagerCheck() {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  Window check = None;
  if (XGetWindowProperty(x_, DefaultRootWindow(x_), Intern("_NET_SUPPORTING_WM_CHECK"), 0, 1, False,
                         XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
      data && count == 1) {
    check = *reinterpret_cast<unsigned long*>(data);
  }
  if (data) XFree(data);
  return check;
}

bool XDesktop::ReplaceWindowManager() {
  Child* old = window_manager_;
  XWindow old_check = WindowManagerCheck();
  children_.push_back(std::make_unique<Child>(
      std::vector<std::string>{"openbox", "--replace", "--sm-disable"},
      std::vector<std::string>{DisplayEnvironment()}, directory_ + "/openbox.log"));
  window_manager_ = children_.back().get();
  bool taken_over = Eventually([&] {
    XWindow check = WindowManagerCheck();
    return check != None && check != old_check;
  });
  return taken_over && (!old || old->WaitForExit());
}

void XDesktop::PauseBriefly() { std::this_thread::sleep_for(20ms); }

std::string XDesktop::StartServer() {
  char pattern[] = "/tmp/stripband-e2e-XXXXXX";
  if (!mkdtemp(pattern)) return "cannot make a directory for the X server";
  directory_ = pattern;
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) return "no pipe";
  // -displayfd: the server picks a free display and writes its number once it takes clients.
  // -fbdir: the framebuffer, which is what the compositor made of the screen, as a file.
  children_.push_back(std::make_unique<Child>(
      std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x24", "-fbdir",
                               directory_, "-nolisten", "tcp", "-noreset"},
      std::vector<std::string>{}, directory_ + "/xvfb.log", ready[1]));
  server_ = children_.back().get();
  close(ready[1]);
  std::string number;
  pollfd fd{ready[0], POLLIN, 0};
  auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
    if (poll(&fd, 1, 100) <= 0) continue;
    char buffer[16];
    ssize_t n = read(ready[0], buffer, sizeof buffer);
    if (n <= 0) break;
    number.append(buffer, static_cast<size_t>(n));
  }
  close(ready[0]);
  if (number.find('\n') == std::string::npos) return "Xvfb did not start (see its log)";
  name_ = ":" + number.substr(0, number.find('\n'));
  x_ = XOpenDisplay(name_.c_str());
  if (!x_) return "cannot connect to " + name_;
  XSetErrorHandler(IgnoreError);
  // Answers to pings come to the root.
  XSelectInput(x_, DefaultRootWindow(x_), SubstructureNotifyMask);
  return "";
}

std::string XDesktop::Start(const DesktopOptions& options) {
  if (std::string error = StartServer(); !error.empty()) return error;
  std::vector<std::string> env{DisplayEnvironment()};
  if (options.window_manager) {
    children_.push_back(std::make_unique<Child>(std::vector<std::string>{"openbox", "--sm-disable"},
                                                env, directory_ + "/openbox.log"));
    window_manager_ = children_.back().get();
    if (!WaitForWindowManager()) return "openbox did not start";
  }
  if (options.keyboard_layout != "us") {
    Child layout({"setxkbmap", options.keyboard_layout}, env, directory_ + "/setxkbmap.log");
    auto status = layout.WaitForExit();
    if (!status || status->code != 0) return "setxkbmap failed";
  }
  // NOTE: picom paints the desktop grey unless the root has a background pixmap, which
  // hsetroot sets (xsetroot does not).
  Child background({"hsetroot", "-solid", Hex(options.background)}, env,
                   directory_ + "/hsetroot.log");
  auto status = background.WaitForExit();
  if (!status || status->code != 0) return "hsetroot failed";
  if (options.compositor && !StartCompositor()) return "picom did not start";
  return "";
}

bool XDesktop::WaitForSelection(const char* selection, bool owned) {
  Atom atom = Intern(selection);
  return Eventually([&] { return (XGetSelectionOwner(x_, atom) != None) == owned; });
}

bool XDesktop::WaitForWindowManager() {
  return Eventually([&] { return WindowManagerCheck() != None; });
}

Screen XDesktop::Capture() const {
  Screen screen;
  std::ifstream file(directory_ + "/Xvfb_screen0", std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  if (bytes.size() < 100) return screen;
  // An XWD file: a header of big-endian 32-bit fields, the colour map, then the pixels.
  auto field = [&](int index) { return BigEndian(&bytes[static_cast<size_t>(index) * 4]); };
  uint32_t header_size = field(0), width = field(4), height = field(5), byte_order = field(7);
  uint32_t bits_per_pixel = field(11), bytes_per_line = field(12), colours = field(19);
  size_t start = header_size + static_cast<size_t>(colours) * 12;
  if (bits_per_pixel != 32 || bytes.size() < start + static_cast<size_t>(bytes_per_line) * height) {
    return screen;
  }
  screen.width = static_cast<int>(width);
  screen.height = static_cast<int>(height);
  screen.pixels.resize(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const unsigned char* p = &bytes[start + static_cast<size_t>(y) * bytes_per_line + x * 4];
      uint32_t value = byte_order == 0  // LSBFirst
                           ? uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16
                           : uint32_t{p[3]} | uint32_t{p[2]} << 8 | uint32_t{p[1]} << 16;
      screen.pixels[static_cast<size_t>(y) * width + x] = value;
    }
  }
  return screen;
}

bool XDesktop::Xdotool(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  Child xdotool(argv, {DisplayEnvironment()}, directory_ + "/xdotool.log");
  auto status = xdotool.WaitForExit();
  return status && status->exited && status->code == 0;
}

Atom XDesktop::Intern(const char* name) { return XInternAtom(x_, name, False); }

Window XDesktop::Root() const { return DefaultRootWindow(x_); }

std::optional<ClientWindow> XDesktop::Geometry(Window window) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(x_, window, &attributes)) return std::nullopt;
  int x = 0, y = 0;
  Window child;
  if (!XTranslateCoordinates(x_, window, DefaultRootWindow(x_), 0, 0, &x, &y, &child)) {
    return std::nullopt;
  }
  return ClientWindow{.window = window,
                      .x = x,
                      .y = y,
                      .width = attributes.width,
                      .height = attributes.height,
                      .viewable = attributes.map_state == IsViewable};
}

std::vector<Atom> XDesktop::AtomsOf(Window window, const char* property) {
  std::vector<Atom> atoms;
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(x_, window, Intern(property), 0, 64, False, XA_ATOM, &type, &format,
                         &count, &after, &data) == Success &&
      data && format == 32) {
    auto* values = reinterpret_cast<unsigned long*>(data);
    atoms.assign(values, values + count);
  }
  if (data) XFree(data);
  return atoms;
}

std::optional<ClientWindow> XDesktop::FindClient(pid_t pid) {
  Atom pid_atom = Intern("_NET_WM_PID");
  auto has_pid = [&](Window window) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool match = XGetWindowProperty(x_, window, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format,
                                    &count, &after, &data) == Success &&
                 data && count == 1 &&
                 *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(pid);
    if (data) XFree(data);
    return match;
  };
  // Top-level windows, and under a window manager the clients inside its frames.
  std::vector<Window> candidates{DefaultRootWindow(x_)};
  for (int depth = 0; depth < 3; ++depth) {
    std::vector<Window> next;
    for (Window parent : candidates) {
      Window root, up, *children = nullptr;
      unsigned count = 0;
      if (!XQueryTree(x_, parent, &root, &up, &children, &count)) continue;
      for (unsigned i = 0; i < count; ++i) {
        if (has_pid(children[i])) {
          Window found = children[i];
          XFree(children);
          return Geometry(found);
        }
        next.push_back(children[i]);
      }
      if (children) XFree(children);
    }
    candidates = std::move(next);
  }
  return std::nullopt;
}

long XDesktop::SendPing(Window window) {
  long serial = ++ping_serial_;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = Intern("WM_PROTOCOLS");
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(Intern("_NET_WM_PING"));
  event.xclient.data.l[1] = serial;
  event.xclient.data.l[2] = static_cast<long>(window);
  XSendEvent(x_, window, False, NoEventMask, &event);
  XFlush(x_);
  return serial;
}

bool XDesktop::Answered(long ping, std::chrono::milliseconds wait) {
  Atom protocols = Intern("WM_PROTOCOLS");
  Atom ping_atom = Intern("_NET_WM_PING");
  auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    while (XPending(x_) > 0) {
      XEvent answer;
      XNextEvent(x_, &answer);
      if (answer.type == ClientMessage && answer.xclient.message_type == protocols &&
          static_cast<Atom>(answer.xclient.data.l[0]) == ping_atom &&
          answer.xclient.data.l[1] == ping) {
        return true;
      }
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd fd{ConnectionNumber(x_), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(std::min<long>(left.count(), 50)));
  }
}

bool XDesktop::Ping(Window window) { return Answered(SendPing(window), kPatience); }

void XDesktop::SendDeleteWindow(Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = Intern("WM_PROTOCOLS");
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(Intern("WM_DELETE_WINDOW"));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(x_, window, False, NoEventMask, &event);
  XFlush(x_);
}

void XDesktop::RequestClose(Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = Intern("_NET_CLOSE_WINDOW");
  event.xclient.format = 32;
  event.xclient.data.l[0] = CurrentTime;
  event.xclient.data.l[1] = 2;  // from a pager
  XSendEvent(x_, DefaultRootWindow(x_), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XFlush(x_);
}

void XDesktop::SendClientMessage(Window destination, Window window, Atom type, int format,
                                 const std::vector<long>& data) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = type;
  event.xclient.format = format;
  // The 20 bytes of data as the format divides them.
  for (size_t i = 0; i < data.size(); ++i) {
    if (format == 8 && i < 20) event.xclient.data.b[i] = static_cast<char>(data[i]);
    if (format == 16 && i < 10) event.xclient.data.s[i] = static_cast<short>(data[i]);
    if (format == 32 && i < 5) event.xclient.data.l[i] = data[i];
  }
  XSendEvent(x_, destination, False, NoEventMask, &event);
  XFlush(x_);
}

Window XDesktop::OpenWindow(int x, int y, int width, int height, uint32_t colour) {
  Window window = XCreateSimpleWindow(x_, DefaultRootWindow(x_), x, y, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, 0, colour);
  XSizeHints hints{};
  hints.flags = USPosition | USSize;
  hints.x = x;
  hints.y = y;
  hints.width = width;
  hints.height = height;
  XSetWMNormalHints(x_, window, &hints);
  XMapRaised(x_, window);
  XFlush(x_);
  return window;
}

void XDesktop::CloseWindow(Window window) {
  XDestroyWindow(x_, window);
  XFlush(x_);
}

}  // namespace stripband::e2e
