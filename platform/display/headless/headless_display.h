// A virtual desktop in memory: the display backend of the tests.
//
// The program's thread uses it through the Display interface; a driver on another thread sets
// the desktop up, types and points through the Inject… calls, waits until the program is idle
// and reads back what the desktop shows. Time is a virtual clock: it moves only when the driver
// advances it or the program sleeps, so every run is deterministic.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "display/display.h"

namespace platform::display {

struct HeadlessSettings {
  Metrics metrics{.screen_width = 1920, .screen_height = 1080};
  bool refuse_surfaces = false;  // the desktop refuses to create any window
  // Windows of other programs, stacked below ours; the first `foreground_other` is active.
  std::vector<Rect> other_windows;
  int foreground_other = -1;  // index into other_windows, or -1: ours may take the foreground
  uint32_t start_time = 10000;
  // The desktop picture: one colour (0xRRGGBB), or an image of the screen's size if given.
  uint32_t desktop_colour = 0xFFFFFF;
  std::vector<uint32_t> desktop_image;
};

class HeadlessDisplay final : public Display {
 public:
  explicit HeadlessDisplay(HeadlessSettings settings);

  // Display, for the program's thread.
  Metrics GetMetrics() override;
  bool CreateSurface(SurfaceId id, const SurfaceState& state) override;
  void UpdateSurface(SurfaceId id, const SurfaceState& state) override;
  void DestroySurface(SurfaceId id) override;
  void SetPicture(SurfaceId id, std::shared_ptr<const Picture> picture) override;
  void SetIcon(SurfaceId id, std::shared_ptr<const Picture> icon) override;
  void Restack(std::span<const SurfaceId> top_to_bottom) override;
  void Activate(SurfaceId id) override;
  void SetCursor(Cursor cursor) override;
  std::optional<RawInput> PollInput() override;
  void WaitForInput() override;
  void Wake() override;
  void PassThrough(const RawInput& input) override;
  uint32_t Now() override;
  void Sleep(uint32_t milliseconds) override;

  // Driver side, any thread. Input is stamped with the clock's current time.
  void InjectPointer(Point point);
  void InjectButton(Button button, bool down);
  // A key as the US keyboard layout types it with the keys already held down.
  void InjectKey(uint8_t vk, bool down);
  void InjectClose(SurfaceId id);
  // Another program's window takes the foreground, as by a click on it or Alt+Tab.
  void ActivateOther(int index);
  void Advance(uint32_t milliseconds);

  // True when no input or wake-up is pending: a caller on the program's own thread has
  // nothing left to take.
  bool IdleNow();
  // True once the program waits for input with nothing left to take; false on time-out.
  bool WaitIdle(std::chrono::milliseconds timeout);
  // Runs `read` while the program cannot leave its wait, so it may read the program's state.
  // `read` may ask GetMetrics() but nothing else of this display.
  template <typename F>
  auto WhileHeld(F&& read) {
    std::lock_guard lock(mutex_);
    return read();
  }

  struct Surface {
    SurfaceId id;
    SurfaceState state;
  };
  std::vector<Surface> Surfaces();  // top to bottom
  int ForegroundOther();            // -1 when the foreground is ours or nobody's
  // What the screen shows: 0xRRGGBB pixels, top row first.
  std::vector<uint32_t> ComposeScreen();
  // The icon the desktop shows for a surface, or null.
  std::shared_ptr<const Picture> SurfaceIcon(SurfaceId id);
  Cursor CurrentCursor();
  Point PointerPosition();

 private:
  void Push(RawInput input);  // mutex held
  bool IdleLocked() const;

  std::mutex mutex_;
  std::condition_variable input_ready_;
  std::condition_variable idle_changed_;
  const HeadlessSettings settings_;
  uint32_t now_;
  std::deque<RawInput> inputs_;
  bool wake_ = false;
  bool waiting_ = false;
  std::map<SurfaceId, SurfaceState> surfaces_;
  std::map<SurfaceId, std::shared_ptr<const Picture>> pictures_;
  std::map<SurfaceId, std::shared_ptr<const Picture>> icons_;
  std::vector<SurfaceId> stack_;
  SurfaceId focus_ = 0;
  int foreground_other_;
  Cursor cursor_ = Cursor::kArrow;
  Point pointer_;
  std::set<uint8_t> keys_down_;
  bool caps_lock_ = false;
};

}  // namespace platform::display
