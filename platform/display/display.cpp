#include "display/display.h"

#include <time.h>

#include <chrono>
#include <thread>

namespace platform::display {
namespace {

// Stands in when no backend could be opened: windows cannot be created, as on a desktop
// that refuses them, and the program ends the way it does for that case. Whoever chose the
// display (the process entry) has already said why.
class UnavailableDisplay final : public Display {
 public:
  Metrics GetMetrics() override { return Metrics{}; }
  bool CreateSurface(SurfaceId, const SurfaceState&) override { return false; }
  void UpdateSurface(SurfaceId, const SurfaceState&) override {}
  void DestroySurface(SurfaceId) override {}
  void SetPicture(SurfaceId, std::shared_ptr<const Picture>) override {}
  void SetIcon(SurfaceId, std::shared_ptr<const Picture>) override {}
  void Restack(std::span<const SurfaceId>) override {}
  void Activate(SurfaceId) override {}
  void SetCursor(Cursor) override {}
  std::optional<RawInput> PollInput() override { return std::nullopt; }
  void WaitForInput() override { std::this_thread::sleep_for(std::chrono::hours(1)); }
  void Wake() override {}
  void PassThrough(const RawInput&) override {}
  uint32_t Now() override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
  }
  void Sleep(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

std::unique_ptr<Display>& Installed() {
  static std::unique_ptr<Display> display;
  return display;
}

}  // namespace

Display& CurrentDisplay() {
  auto& display = Installed();
  if (!display) display = std::make_unique<UnavailableDisplay>();
  return *display;
}

void InstallDisplay(std::unique_ptr<Display> display) { Installed() = std::move(display); }

}  // namespace platform::display
