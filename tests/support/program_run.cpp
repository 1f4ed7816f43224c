#include "tests/support/program_run.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

#include "display/headless/headless_display.h"
#include "gdi/gdi_objects.h"
#include "kernel/process.h"
#include "user/snapshot.h"

#if defined(__SANITIZE_ADDRESS__)
#define STRIPBAND_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define STRIPBAND_LEAK_CHECK 1
#endif
#endif
#ifdef STRIPBAND_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace stripband::testing {
namespace {

using platform::display::HeadlessDisplay;

constexpr auto kIdleTimeout = std::chrono::seconds(10);

enum Op : uint32_t {
  kPointer,
  kButton,
  kKey,
  kClose,
  kActivateOther,
  kAdvance,
  kPostToWindow,
  kPostToThread,
  kWindows,
  kTrace,
  kNow,
  kScreen,
  kReports,
  kPeek,
};

enum FrameKind : uint32_t { kReply, kExit };

// Plain bytes on the wire: values and strings in a row.
class Writer {
 public:
  template <typename T>
  Writer& Put(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    data_.insert(data_.end(), bytes, bytes + sizeof(T));
    return *this;
  }
  Writer& PutBytes(const void* data, size_t size) {
    auto* bytes = static_cast<const uint8_t*>(data);
    data_.insert(data_.end(), bytes, bytes + size);
    return *this;
  }
  Writer& Put(const std::string& text) {
    Put(static_cast<uint32_t>(text.size()));
    data_.insert(data_.end(), text.begin(), text.end());
    return *this;
  }
  std::vector<uint8_t> Take() { return std::move(data_); }

 private:
  std::vector<uint8_t> data_;
};

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& data) : data_(data) {}
  void GetBytes(void* out, size_t size) {
    if (offset_ + size <= data_.size()) std::memcpy(out, data_.data() + offset_, size);
    offset_ += size;
  }
  template <typename T>
  T Get() {
    T value{};
    if constexpr (std::is_same_v<T, std::string>) {
      auto size = Get<uint32_t>();
      if (offset_ + size <= data_.size()) {
        value.assign(reinterpret_cast<const char*>(data_.data() + offset_), size);
      }
      offset_ += size;
    } else {
      if (offset_ + sizeof(T) <= data_.size())
        std::memcpy(&value, data_.data() + offset_, sizeof(T));
      offset_ += sizeof(T);
    }
    return value;
  }

 private:
  const std::vector<uint8_t>& data_;
  size_t offset_ = 0;
};

bool WriteAll(int fd, const void* data, size_t size) {
  auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    ssize_t written = ::send(fd, bytes, size, MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool ReadAll(int fd, void* data, size_t size) {
  auto* bytes = static_cast<uint8_t*>(data);
  while (size > 0) {
    ssize_t got = ::read(fd, bytes, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

bool WriteFrame(int fd, uint32_t kind, const std::vector<uint8_t>& payload) {
  uint32_t header[2] = {kind, static_cast<uint32_t>(payload.size())};
  return WriteAll(fd, header, sizeof(header)) && WriteAll(fd, payload.data(), payload.size());
}

bool ReadFrame(int fd, uint32_t* kind, std::vector<uint8_t>* payload) {
  uint32_t header[2];
  if (!ReadAll(fd, header, sizeof(header))) return false;
  *kind = header[0];
  payload->resize(header[1]);
  return ReadAll(fd, payload->data(), payload->size());
}

void PutTrace(Writer& out, const std::vector<platform::user::TraceRecord>& trace) {
  out.Put(static_cast<uint32_t>(trace.size()));
  for (const auto& record : trace) {
    out.Put(TraceEntry{static_cast<TraceEntry::Kind>(record.kind), record.sent,
                       reinterpret_cast<uint64_t>(record.hwnd), record.message,
                       static_cast<uint64_t>(record.wparam), static_cast<int64_t>(record.lparam),
                       record.time, record.depth});
  }
}

std::vector<TraceEntry> GetTrace(Reader& in) {
  std::vector<TraceEntry> trace(in.Get<uint32_t>());
  for (auto& entry : trace) entry = in.Get<TraceEntry>();
  return trace;
}

void PutReports(Writer& out, const std::vector<Report>& reports) {
  out.Put(static_cast<uint32_t>(reports.size()));
  for (const Report& report : reports) {
    out.Put(report.what).Put(static_cast<uint32_t>(report.values.size()));
    for (int64_t value : report.values) out.Put(value);
  }
}

std::vector<Report> GetReports(Reader& in) {
  std::vector<Report> reports(in.Get<uint32_t>());
  for (Report& report : reports) {
    report.what = in.Get<std::string>();
    report.values.resize(in.Get<uint32_t>());
    for (int64_t& value : report.values) value = in.Get<int64_t>();
  }
  return reports;
}

// The hosted process's side: one server thread answering the test, while the process's
// initial thread runs the program.
struct Child {
  int channel;
  HeadlessDisplay* display;
  DWORD program_thread;
  std::mutex write_mutex;
  std::mutex reports_mutex;
  std::vector<Report> reports;  // what the entry reported, not yet taken
};
Child* child = nullptr;
void (*program_end_hook)() = nullptr;

// The process ends with _exit, which skips LeakSanitizer's own check at exit: ask for it here.
bool LeakedAtExit() {
#ifdef STRIPBAND_LEAK_CHECK
  return __lsan_do_recoverable_leak_check() != 0;
#else
  return false;
#endif
}

std::vector<Report> TakeChildReports() {
  std::lock_guard lock(child->reports_mutex);
  return std::exchange(child->reports, {});
}

void Reply(uint32_t kind, const std::vector<uint8_t>& payload) {
  std::lock_guard lock(child->write_mutex);
  if (!WriteFrame(child->channel, kind, payload)) _exit(120);
}

[[noreturn]] void ReportExit(UINT code) {
  // The program's own thread: it owns the state it reads here.
  bool leaked = LeakedAtExit();
  Writer out;
  out.Put(static_cast<int32_t>(code)).Put(child->display->Now());
  out.Put(static_cast<int32_t>(platform::user::SnapshotWindows().size()));
  out.Put(static_cast<int32_t>(platform::user::RegisteredClasses().size()));
  out.Put(static_cast<int32_t>(platform::user::LiveAcceleratorTables()));
  out.Put(static_cast<int32_t>(platform::kernel::OutstandingTimerPeriods()));
  out.Put(platform::kernel::InitialisedCommonControls());
  out.Put(static_cast<int32_t>(platform::gdi::LiveBitmaps()));
  out.Put(static_cast<int32_t>(platform::gdi::LiveDeviceContexts()));
  out.Put(static_cast<int32_t>(child->display->Surfaces().size())).Put(leaked);
  PutTrace(out, platform::user::TakeTrace());
  PutReports(out, TakeChildReports());
  std::fflush(stderr);
  if (program_end_hook) program_end_hook();
  Reply(kExit, out.Take());
  _exit(static_cast<int>(code));
}

std::vector<uint8_t> Serve(uint32_t op, Reader& args) {
  HeadlessDisplay& display = *child->display;
  Writer out;
  bool settle = true;
  switch (op) {
    case kPointer: {
      int x = args.Get<int32_t>();
      display.InjectPointer({x, args.Get<int32_t>()});
      break;
    }
    case kButton: {
      auto button = static_cast<platform::display::Button>(args.Get<uint8_t>());
      display.InjectButton(button, args.Get<uint8_t>() != 0);
      break;
    }
    case kKey: {
      uint8_t vk = args.Get<uint8_t>();
      display.InjectKey(vk, args.Get<uint8_t>() != 0);
      break;
    }
    case kClose:
      display.InjectClose(args.Get<uint64_t>());
      break;
    case kActivateOther:
      display.ActivateOther(args.Get<int32_t>());
      break;
    case kAdvance:
      display.Advance(args.Get<uint32_t>());
      settle = false;
      break;
    case kPostToWindow: {
      auto hwnd = reinterpret_cast<HWND>(args.Get<uint64_t>());
      UINT message = args.Get<uint32_t>();
      auto wparam = static_cast<WPARAM>(args.Get<uint64_t>());
      PostMessageA(hwnd, message, wparam, static_cast<LPARAM>(args.Get<int64_t>()));
      break;
    }
    case kPostToThread: {
      UINT message = args.Get<uint32_t>();
      auto wparam = static_cast<WPARAM>(args.Get<uint64_t>());
      PostThreadMessageA(child->program_thread, message, wparam,
                         static_cast<LPARAM>(args.Get<int64_t>()));
      break;
    }
    case kWindows:
    case kTrace:
    case kNow:
    case kScreen:
    case kReports:
    case kPeek:
      break;
  }
  bool idle = !settle || display.WaitIdle(kIdleTimeout);
  out.Put(static_cast<uint8_t>(idle));
  if (!idle) return out.Take();
  if (op == kWindows) {
    auto windows = display.WhileHeld([] { return platform::user::SnapshotWindows(); });
    out.Put(static_cast<uint32_t>(windows.size()));
    for (const auto& window : windows) {
      out.Put(reinterpret_cast<uint64_t>(window.hwnd)).Put(window.class_name);
      out.Put(window.class_style).Put(window.title).Put(window.style).Put(window.ex_style);
      out.Put(window.rect).Put(window.client);
      out.Put(window.visible).Put(window.active).Put(window.focus);
    }
  } else if (op == kTrace) {
    PutTrace(out, display.WhileHeld([] { return platform::user::TakeTrace(); }));
  } else if (op == kReports) {
    PutReports(out, TakeChildReports());
  } else if (op == kNow) {
    out.Put(display.Now());
  } else if (op == kPeek) {
    // The test's copy of this process has the same addresses: a fork shares the image.
    auto address = reinterpret_cast<const void*>(args.Get<uint64_t>());
    auto size = args.Get<uint32_t>();
    std::vector<uint8_t> bytes(size);
    display.WhileHeld([&] { std::memcpy(bytes.data(), address, size); });
    out.PutBytes(bytes.data(), bytes.size());
  } else if (op == kScreen) {
    std::vector<uint32_t> screen = display.ComposeScreen();
    out.Put(static_cast<uint32_t>(screen.size()));
    out.PutBytes(screen.data(), screen.size() * sizeof(uint32_t));
  }
  return out.Take();
}

void ServeForever() {
  for (;;) {
    uint32_t op;
    std::vector<uint8_t> args;
    if (!ReadFrame(child->channel, &op, &args)) _exit(121);  // the test went away
    Reader reader(args);
    Reply(kReply, Serve(op, reader));
  }
}

[[noreturn]] void RunChild(int channel, const DesktopSettings& settings,
                           const std::function<int()>& entry) {
  platform::display::HeadlessSettings desktop{
      .metrics = {.screen_width = settings.width,
                  .screen_height = settings.height,
                  .frame = settings.frame,
                  .double_click_time = settings.double_click_time,
                  .double_click_width = settings.double_click_width,
                  .double_click_height = settings.double_click_height},
      .refuse_surfaces = settings.refuse_windows,
      .foreground_other = settings.foreground_other,
      .start_time = settings.start_time,
      .desktop_colour = settings.desktop_colour,
      .desktop_image = settings.desktop_image};
  for (const RECT& rect : settings.other_windows) {
    desktop.other_windows.push_back({rect.left, rect.top, rect.right, rect.bottom});
  }
  auto display = std::make_unique<HeadlessDisplay>(desktop);
  child = new Child{channel, display.get(), static_cast<DWORD>(syscall(SYS_gettid)), {}};
  platform::display::InstallDisplay(std::move(display));
  platform::kernel::SetExitHandler(ReportExit);
  if (settings.trace) platform::user::EnableTrace();
  platform::gdi::FailNextBitmaps(settings.failing_bitmaps);
  std::thread(ServeForever).detach();
  if (entry) {
    platform::kernel::RunProcess(entry);
  }
  char command_line[] = "";
  platform::kernel::RunProcess(
      [&] { return WinMain(GetModuleHandleA(nullptr), nullptr, command_line, SW_SHOWDEFAULT); });
}

}  // namespace

ProgramRun::ProgramRun(const DesktopSettings& settings, std::function<int()> entry)
    : settings_(settings) {
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
    ADD_FAILURE() << "socketpair: " << std::strerror(errno);
    return;
  }
  stderr_fd_ = memfd_create("program-stderr", MFD_CLOEXEC);
  std::fflush(nullptr);  // nothing buffered may be written twice
  pid_ = fork();
  if (pid_ == 0) {
    ::close(sockets[0]);
    if (stderr_fd_ >= 0) dup2(stderr_fd_, STDERR_FILENO);
    RunChild(sockets[1], settings, entry);
  }
  ::close(sockets[1]);
  channel_ = sockets[0];
  running_ = pid_ > 0;
  if (!running_) ADD_FAILURE() << "fork: " << std::strerror(errno);
  // A user acts on what start-up has shown, not before.
  Request(kNow, {}, nullptr);
}

ProgramRun::~ProgramRun() {
  Reap(true);
  if (channel_ >= 0) ::close(channel_);
  if (stderr_fd_ >= 0) ::close(stderr_fd_);
}

bool ProgramRun::Request(uint32_t op, std::vector<uint8_t> args, std::vector<uint8_t>* reply) {
  if (!running_) return false;
  if (!WriteFrame(channel_, op, args)) {
    Reap(false);
    return false;
  }
  for (;;) {
    uint32_t kind;
    std::vector<uint8_t> payload;
    if (!ReadFrame(channel_, &kind, &payload)) {
      Reap(false);
      return false;
    }
    if (kind == kExit) {
      ReadEnding(payload);
      return false;
    }
    Reader reader(payload);
    if (!reader.Get<uint8_t>()) {
      ADD_FAILURE() << "the program did not become idle";
      return false;
    }
    if (reply) reply->assign(payload.begin() + 1, payload.end());
    return true;
  }
}

void ProgramRun::ReadEnding(const std::vector<uint8_t>& payload) {
  Reader in(payload);
  ending_.called_exit = true;
  ending_.exit_code = in.Get<int32_t>();
  ending_.time = in.Get<uint32_t>();
  ending_.windows = in.Get<int32_t>();
  ending_.classes = in.Get<int32_t>();
  ending_.accelerator_tables = in.Get<int32_t>();
  ending_.timer_periods = in.Get<int32_t>();
  ending_.common_controls = in.Get<DWORD>();
  ending_.bitmaps = in.Get<int32_t>();
  ending_.device_contexts = in.Get<int32_t>();
  ending_.surfaces = in.Get<int32_t>();
  ending_.leaked = in.Get<bool>();
  ending_.trace = GetTrace(in);
  ending_.reports = GetReports(in);
  Reap(false);
  if (ending_.leaked) ADD_FAILURE() << "leaks when the program ended:\n" << Stderr();
}

void ProgramRun::Reap(bool kill) {
  if (pid_ <= 0) return;
  if (kill && running_) ::kill(pid_, SIGKILL);
  int status = 0;
  // A process that reported its exit is about to end; one that did not is gone already.
  for (int tries = 0; waitpid(pid_, &status, 0) < 0 && errno == EINTR && tries < 100; ++tries) {
  }
  if (WIFEXITED(status)) {
    if (!ending_.called_exit) ending_.exit_code = WEXITSTATUS(status);
    EXPECT_EQ(WEXITSTATUS(status), ending_.exit_code) << "reported and real exit codes differ";
  } else if (WIFSIGNALED(status) && !kill) {
    ending_.signal = WTERMSIG(status);
  }
  pid_ = -1;
  running_ = false;
  // A crash, or a sanitizer's report, which ends the process with its own exit code.
  if (!kill && !ending_.called_exit) {
    ADD_FAILURE() << "the program ended without ExitProcess (exit code " << ending_.exit_code
                  << ", signal " << ending_.signal << "); its standard error:\n"
                  << Stderr();
  }
}

void ProgramRun::MovePointer(int x, int y) {
  Request(kPointer, Writer().Put(int32_t{x}).Put(int32_t{y}).Take(), nullptr);
}

void ProgramRun::Press(Mouse button) {
  auto b =
      button == Mouse::kLeft ? platform::display::Button::kLeft : platform::display::Button::kRight;
  Request(kButton, Writer().Put(static_cast<uint8_t>(b)).Put(uint8_t{1}).Take(), nullptr);
}

void ProgramRun::Release(Mouse button) {
  auto b =
      button == Mouse::kLeft ? platform::display::Button::kLeft : platform::display::Button::kRight;
  Request(kButton, Writer().Put(static_cast<uint8_t>(b)).Put(uint8_t{0}).Take(), nullptr);
}

void ProgramRun::Click(Mouse button, int x, int y) {
  MovePointer(x, y);
  Press(button);
  Release(button);
}

void ProgramRun::KeyDown(BYTE vk) {
  Request(kKey, Writer().Put(uint8_t{vk}).Put(uint8_t{1}).Take(), nullptr);
}

void ProgramRun::KeyUp(BYTE vk) {
  Request(kKey, Writer().Put(uint8_t{vk}).Put(uint8_t{0}).Take(), nullptr);
}

void ProgramRun::Chord(std::initializer_list<BYTE> keys) {
  for (BYTE vk : keys) KeyDown(vk);
  for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) KeyUp(*it);
}

void ProgramRun::CloseFromTaskbar() {
  std::vector<WindowState> windows = Windows();
  if (windows.empty()) {
    ADD_FAILURE() << "no window to close";
    return;
  }
  Request(kClose, Writer().Put(windows.front().hwnd).Take(), nullptr);
}

void ProgramRun::ActivateOtherWindow(int index) {
  Request(kActivateOther, Writer().Put(int32_t{index}).Take(), nullptr);
}

void ProgramRun::Wait(uint32_t milliseconds) {
  Request(kAdvance, Writer().Put(milliseconds).Take(), nullptr);
}

void ProgramRun::PostToWindow(uint64_t hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Request(kPostToWindow,
          Writer()
              .Put(hwnd)
              .Put(uint32_t{message})
              .Put(static_cast<uint64_t>(wparam))
              .Put(static_cast<int64_t>(lparam))
              .Take(),
          nullptr);
}

void ProgramRun::PostToProgramThread(UINT message, WPARAM wparam, LPARAM lparam) {
  Request(kPostToThread,
          Writer()
              .Put(uint32_t{message})
              .Put(static_cast<uint64_t>(wparam))
              .Put(static_cast<int64_t>(lparam))
              .Take(),
          nullptr);
}

bool ProgramRun::Running() {
  // A request settles the program first, so an ending on its way is seen.
  return Request(kNow, {}, nullptr);
}

std::vector<WindowState> ProgramRun::Windows() {
  std::vector<uint8_t> reply;
  std::vector<WindowState> windows;
  if (!Request(kWindows, {}, &reply)) return windows;
  Reader in(reply);
  windows.resize(in.Get<uint32_t>());
  for (auto& window : windows) {
    window.hwnd = in.Get<uint64_t>();
    window.class_name = in.Get<std::string>();
    window.class_style = in.Get<UINT>();
    window.title = in.Get<std::string>();
    window.style = in.Get<DWORD>();
    window.ex_style = in.Get<DWORD>();
    window.rect = in.Get<RECT>();
    window.client = in.Get<RECT>();
    window.visible = in.Get<bool>();
    window.active = in.Get<bool>();
    window.focus = in.Get<bool>();
  }
  return windows;
}

WindowState ProgramRun::OnlyWindow() {
  std::vector<WindowState> windows = Windows();
  if (windows.size() != 1) {
    ADD_FAILURE() << "expected one window, found " << windows.size();
    return {};
  }
  return windows.front();
}

std::vector<TraceEntry> ProgramRun::TakeTrace() {
  std::vector<uint8_t> reply;
  if (!Request(kTrace, {}, &reply)) return std::move(ending_.trace);
  Reader in(reply);
  return GetTrace(in);
}

bool ProgramRun::PeekBytes(const void* address, void* out, size_t size) {
  std::vector<uint8_t> reply;
  Writer args;
  args.Put(reinterpret_cast<uint64_t>(address)).Put(static_cast<uint32_t>(size));
  if (!Request(kPeek, args.Take(), &reply) || reply.size() != size) return false;
  std::memcpy(out, reply.data(), size);
  return true;
}

ScreenImage ProgramRun::Screen() {
  std::vector<uint8_t> reply;
  ScreenImage image;
  if (!Request(kScreen, {}, &reply)) return image;
  Reader in(reply);
  image.pixels.resize(in.Get<uint32_t>());
  in.GetBytes(image.pixels.data(), image.pixels.size() * sizeof(uint32_t));
  image.width = settings_.width;
  image.height = settings_.height;
  return image;
}

std::vector<Report> ProgramRun::TakeReports() {
  std::vector<uint8_t> reply;
  if (!Request(kReports, {}, &reply)) return std::move(ending_.reports);
  Reader in(reply);
  return GetReports(in);
}

uint32_t ProgramRun::Now() {
  std::vector<uint8_t> reply;
  if (!Request(kNow, {}, &reply)) return ending_.time;
  Reader in(reply);
  return in.Get<uint32_t>();
}

std::string ProgramRun::Stderr() {
  std::string text;
  char buffer[4096];
  for (off_t offset = 0;;) {
    ssize_t got = pread(stderr_fd_, buffer, sizeof(buffer), offset);
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
    offset += got;
  }
  return text;
}

const Ending& ProgramRun::WaitForEnd() {
  if (!running_) return ending_;
  // Give the process a few real seconds to end by itself.
  pollfd poll_fd{channel_, POLLIN, 0};
  if (poll(&poll_fd, 1, 5000) <= 0) {
    ADD_FAILURE() << "the program did not end";
    Reap(true);
    return ending_;
  }
  uint32_t kind;
  std::vector<uint8_t> payload;
  if (ReadFrame(channel_, &kind, &payload) && kind == kExit) {
    ReadEnding(payload);
  } else {
    Reap(false);  // it ended without reporting: a crash
  }
  return ending_;
}

bool LeaksCheckedAtEndings() {
#ifdef STRIPBAND_LEAK_CHECK
  return true;
#else
  return false;
#endif
}

void SetProgramEndHook(void (*hook)()) { program_end_hook = hook; }

void ReportToTest(std::string what, std::vector<int64_t> values) {
  if (!child) return;  // not inside a program's process
  std::lock_guard lock(child->reports_mutex);
  child->reports.push_back({std::move(what), std::move(values)});
}

std::vector<UINT> Retrieved(const std::vector<TraceEntry>& trace) {
  std::vector<UINT> messages;
  for (const auto& entry : trace) {
    if (entry.kind == TraceEntry::Kind::kRetrieved) messages.push_back(entry.message);
  }
  return messages;
}

std::vector<UINT> Delivered(const std::vector<TraceEntry>& trace) {
  std::vector<UINT> messages;
  for (const auto& entry : trace) {
    if (entry.kind == TraceEntry::Kind::kDelivered) messages.push_back(entry.message);
  }
  return messages;
}

}  // namespace stripband::testing
