#include "display/headless/headless_display.h"

#include <windows.h>

#include <algorithm>

#include "display/headless/headless_keyboard.h"

namespace platform::display {

HeadlessDisplay::HeadlessDisplay(HeadlessSettings settings)
    : settings_(std::move(settings)),
      now_(settings_.start_time),
      foreground_other_(settings_.foreground_other) {}

// The settings never change after construction, so reading them needs no lock; WhileHeld
// readers rely on that.
Metrics HeadlessDisplay::GetMetrics() { return settings_.metrics; }

bool HeadlessDisplay::CreateSurface(SurfaceId id, const SurfaceState& state) {
  std::lock_guard lock(mutex_);
  if (settings_.refuse_surfaces) return false;
  surfaces_[id] = state;
  stack_.insert(stack_.begin(), id);
  return true;
}

void HeadlessDisplay::UpdateSurface(SurfaceId id, const SurfaceState& state) {
  std::lock_guard lock(mutex_);
  if (auto it = surfaces_.find(id); it != surfaces_.end()) it->second = state;
}

void HeadlessDisplay::DestroySurface(SurfaceId id) {
  std::lock_guard lock(mutex_);
  surfaces_.erase(id);
  pictures_.erase(id);
  icons_.erase(id);
  std::erase(stack_, id);
  if (focus_ == id) focus_ = 0;
}

void HeadlessDisplay::SetPicture(SurfaceId id, std::shared_ptr<const Picture> picture) {
  std::lock_guard lock(mutex_);
  if (surfaces_.contains(id)) pictures_[id] = std::move(picture);
}

void HeadlessDisplay::SetIcon(SurfaceId id, std::shared_ptr<const Picture> icon) {
  std::lock_guard lock(mutex_);
  if (surfaces_.contains(id)) icons_[id] = std::move(icon);
}

std::shared_ptr<const Picture> HeadlessDisplay::SurfaceIcon(SurfaceId id) {
  std::lock_guard lock(mutex_);
  auto it = icons_.find(id);
  return it == icons_.end() ? nullptr : it->second;
}

void HeadlessDisplay::Restack(std::span<const SurfaceId> top_to_bottom) {
  std::lock_guard lock(mutex_);
  stack_.assign(top_to_bottom.begin(), top_to_bottom.end());
}

void HeadlessDisplay::Activate(SurfaceId id) {
  std::lock_guard lock(mutex_);
  focus_ = id;
  foreground_other_ = -1;
}

void HeadlessDisplay::SetCursor(Cursor cursor) {
  std::lock_guard lock(mutex_);
  cursor_ = cursor;
}

std::optional<RawInput> HeadlessDisplay::PollInput() {
  std::lock_guard lock(mutex_);
  if (inputs_.empty()) return std::nullopt;
  RawInput input = inputs_.front();
  inputs_.pop_front();
  if (inputs_.empty()) idle_changed_.notify_all();
  return input;
}

void HeadlessDisplay::WaitForInput() {
  std::unique_lock lock(mutex_);
  waiting_ = true;
  idle_changed_.notify_all();
  input_ready_.wait(lock, [this] { return wake_ || !inputs_.empty(); });
  wake_ = false;
  waiting_ = false;
}

void HeadlessDisplay::Wake() {
  std::lock_guard lock(mutex_);
  wake_ = true;
  input_ready_.notify_all();
}

void HeadlessDisplay::PassThrough(const RawInput& input) {
  if (input.kind != RawInput::Kind::kButtonDown) return;
  std::lock_guard lock(mutex_);
  // A press on another program's window brings it to the foreground.
  for (size_t i = 0; i < settings_.other_windows.size(); ++i) {
    if (settings_.other_windows[i].Contains(input.point)) {
      foreground_other_ = static_cast<int>(i);
      if (focus_ != 0) {
        Push({.kind = RawInput::Kind::kFocusOut, .surface = focus_});
        focus_ = 0;
      }
      return;
    }
  }
}

uint32_t HeadlessDisplay::Now() {
  std::lock_guard lock(mutex_);
  return now_;
}

void HeadlessDisplay::Sleep(uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  now_ += milliseconds;
}

void HeadlessDisplay::Push(RawInput input) {
  input.time = now_;
  if (input.kind == RawInput::Kind::kPointerMove || input.kind == RawInput::Kind::kButtonDown ||
      input.kind == RawInput::Kind::kButtonUp) {
    input.point = pointer_;
  }
  inputs_.push_back(input);
  input_ready_.notify_all();
}

void HeadlessDisplay::InjectPointer(Point point) {
  std::lock_guard lock(mutex_);
  pointer_ = point;
  Push({.kind = RawInput::Kind::kPointerMove});
}

void HeadlessDisplay::InjectButton(Button button, bool down) {
  std::lock_guard lock(mutex_);
  Push({.kind = down ? RawInput::Kind::kButtonDown : RawInput::Kind::kButtonUp, .button = button});
}

void HeadlessDisplay::InjectKey(uint8_t vk, bool down) {
  std::lock_guard lock(mutex_);
  KeyModifiers modifiers{.shift = keys_down_.contains(VK_SHIFT),
                         .ctrl = keys_down_.contains(VK_CONTROL),
                         .alt = keys_down_.contains(VK_MENU),
                         .caps_lock = caps_lock_};
  if (down) {
    keys_down_.insert(vk);
    if (vk == VK_CAPITAL) caps_lock_ = !caps_lock_;
  } else {
    keys_down_.erase(vk);
  }
  // The keyboard belongs to the foreground window; another program's keys never reach ours.
  if (focus_ == 0) return;
  ScanCode scan = UsScanCode(vk);
  KeyInput key{.vk = vk,
               .scan = scan.code,
               .extended = scan.extended,
               .character = down ? UsCharacter(vk, modifiers) : uint8_t{0}};
  Push({.kind = down ? RawInput::Kind::kKeyDown : RawInput::Kind::kKeyUp, .key = key});
}

void HeadlessDisplay::InjectClose(SurfaceId id) {
  std::lock_guard lock(mutex_);
  Push({.kind = RawInput::Kind::kCloseRequest, .surface = id});
}

void HeadlessDisplay::ActivateOther(int index) {
  std::lock_guard lock(mutex_);
  foreground_other_ = index;
  if (focus_ != 0) {
    Push({.kind = RawInput::Kind::kFocusOut, .surface = focus_});
    focus_ = 0;
  }
}

void HeadlessDisplay::Advance(uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  now_ += milliseconds;
}

bool HeadlessDisplay::IdleLocked() const { return waiting_ && inputs_.empty() && !wake_; }

bool HeadlessDisplay::IdleNow() {
  std::lock_guard lock(mutex_);
  return inputs_.empty() && !wake_;
}

bool HeadlessDisplay::WaitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return idle_changed_.wait_for(lock, timeout, [this] { return IdleLocked(); });
}

std::vector<HeadlessDisplay::Surface> HeadlessDisplay::Surfaces() {
  std::lock_guard lock(mutex_);
  std::vector<Surface> result;
  for (SurfaceId id : stack_) result.push_back({id, surfaces_.at(id)});
  return result;
}

namespace {

// Other programs' windows are plain and opaque; a window without a picture shows its class
// background, the system's button face.
constexpr uint32_t kOtherWindowColour = 0xA0A0A0;
constexpr uint32_t kButtonFace = 0xF0F0F0;

void FillRect(std::vector<uint32_t>& screen, int width, int height, const Rect& rect,
              uint32_t colour) {
  for (int y = std::max(rect.top, 0); y < std::min(rect.bottom, height); ++y) {
    for (int x = std::max(rect.left, 0); x < std::min(rect.right, width); ++x) {
      screen[static_cast<size_t>(y) * width + x] = colour;
    }
  }
}

// shown = P × ca / 255 + Q × (1 − A × ca / 65025), rounded to the nearest integer.
uint32_t Blend(uint32_t premultiplied, uint32_t beneath, uint32_t constant_alpha) {
  uint32_t alpha = premultiplied >> 24;
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    uint32_t p = (premultiplied >> shift) & 0xFF;
    uint32_t q = (beneath >> shift) & 0xFF;
    uint32_t numerator = p * constant_alpha * 255 + q * (65025 - alpha * constant_alpha);
    result |= std::min<uint32_t>((numerator + 65025 / 2) / 65025, 255) << shift;
  }
  return result;
}

}  // namespace

std::vector<uint32_t> HeadlessDisplay::ComposeScreen() {
  std::lock_guard lock(mutex_);
  const int width = settings_.metrics.screen_width;
  const int height = settings_.metrics.screen_height;
  std::vector<uint32_t> screen(static_cast<size_t>(width) * height, settings_.desktop_colour);
  if (settings_.desktop_image.size() == screen.size()) screen = settings_.desktop_image;
  for (const Rect& rect : settings_.other_windows) {
    FillRect(screen, width, height, rect, kOtherWindowColour);
  }
  for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
    const SurfaceState& surface = surfaces_.at(*it);
    if (!surface.visible) continue;
    if (!surface.layered) {
      FillRect(screen, width, height, surface.rect, kButtonFace);
      continue;
    }
    auto picture = pictures_.find(*it);
    if (picture == pictures_.end() || !picture->second) continue;
    const Picture& image = *picture->second;
    for (int y = 0; y < image.height; ++y) {
      int screen_y = surface.rect.top + y;
      if (screen_y < 0 || screen_y >= height) continue;
      for (int x = 0; x < image.width; ++x) {
        int screen_x = surface.rect.left + x;
        if (screen_x < 0 || screen_x >= width) continue;
        uint32_t& shown = screen[static_cast<size_t>(screen_y) * width + screen_x];
        shown = Blend(image.pixels[static_cast<size_t>(y) * image.width + x], shown,
                      image.constant_alpha);
      }
    }
  }
  return screen;
}

int HeadlessDisplay::ForegroundOther() {
  std::lock_guard lock(mutex_);
  return foreground_other_;
}

Cursor HeadlessDisplay::CurrentCursor() {
  std::lock_guard lock(mutex_);
  return cursor_;
}

Point HeadlessDisplay::PointerPosition() {
  std::lock_guard lock(mutex_);
  return pointer_;
}

}  // namespace platform::display
