// Benchmarks of the band's start-up steps and of one carried move, on the headless desktop,
// with zlib's inflate of the artwork's image data as the floor for its decode.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/strip.h"
#include "display/headless/headless_display.h"
#include "image/strip_image.h"
#include "toolkit/window_toolkit.h"

namespace {

using platform::display::Button;
using platform::display::HeadlessDisplay;

// The artwork's IDAT payloads, joined: the zlib stream the decode inflates.
std::vector<unsigned char> ArtworkImageData() {
  std::vector<unsigned char> data;
  const unsigned char* png = StripArtworkPng;
  size_t offset = 8;
  while (offset + 12 <= static_cast<size_t>(StripArtworkPngSize)) {
    size_t length = (size_t{png[offset]} << 24) | (size_t{png[offset + 1]} << 16) |
                    (size_t{png[offset + 2]} << 8) | png[offset + 3];
    if (std::memcmp(png + offset + 4, "IDAT", 4) == 0) {
      data.insert(data.end(), png + offset + 8, png + offset + 8 + length);
    }
    offset += length + 12;
  }
  return data;
}

void BM_InflateArtworkData(benchmark::State& state) {
  std::vector<unsigned char> data = ArtworkImageData();
  std::vector<unsigned char> out(1 << 20);
  for (auto _ : state) {
    uLongf size = out.size();
    uncompress(out.data(), &size, data.data(), data.size());
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_InflateArtworkData)->Unit(benchmark::kMicrosecond);

void BM_DecodeArtwork(benchmark::State& state) {
  for (auto _ : state) {
    ToolkitImage* artwork = DecodeStripArtwork();
    benchmark::DoNotOptimize(artwork);
    DeleteImage(artwork);
  }
}
BENCHMARK(BM_DecodeArtwork)->Unit(benchmark::kMicrosecond);

void BM_ComposeCanvas(benchmark::State& state) {
  ToolkitImage* artwork = DecodeStripArtwork();
  for (auto _ : state) {
    ToolkitImage* canvas = CreateStripCanvas();
    ComposeStripCanvas(canvas, artwork);
    benchmark::DoNotOptimize(canvas);
    DeleteImage(canvas);
  }
  DeleteImage(artwork);
}
BENCHMARK(BM_ComposeCanvas)->Unit(benchmark::kMicrosecond);

// The band's window as start-up leaves it, on this process's headless desktop.
struct Band {
  HeadlessDisplay* display;
  HWND window;
  ToolkitImage* canvas;
};

Band& TheBand() {
  static Band band = [] {
    auto display = std::make_unique<HeadlessDisplay>(platform::display::HeadlessSettings{});
    HeadlessDisplay* raw = display.get();
    platform::display::InstallDisplay(std::move(display));
    StripModule.Instance = GetModuleHandleA(NULL);
    HWND window = OpenStripWindow();
    ToolkitImage* artwork = DecodeStripArtwork();
    ToolkitImage* canvas = CreateStripCanvas();
    ComposeStripCanvas(canvas, artwork);
    DeleteImage(artwork);
    SetTopmost(window);
    SetMessageCallback(window, StripCallback);
    PresentStrip(window, canvas);
    return Band{raw, window, canvas};
  }();
  return band;
}

// Takes every event that is there without blocking.
void Drain(HeadlessDisplay& display, HWND window) {
  while (!display.IdleNow()) WaitEvent(window);
}

void BM_PresentStrip(benchmark::State& state) {
  Band& band = TheBand();
  for (auto _ : state) PresentStrip(band.window, band.canvas);
}
BENCHMARK(BM_PresentStrip)->Unit(benchmark::kMicrosecond);

// One carried move: raw input, the message, StripCallback, SetWindowPos and the messages it
// sends, and the still-pointer move that follows.
void BM_CarriedMove(benchmark::State& state) {
  Band& band = TheBand();
  HeadlessDisplay& display = *band.display;
  Drain(display, band.window);
  RECT rect;
  GetWindowRect(band.window, &rect);
  const int x = 104;
  const int row = rect.top + 4 + 10;  // client row 10, wherever the band is now
  if (GrabOffset == 0) {
    display.Advance(1000);  // a press of its own, not the second of a double-click
    display.InjectPointer({x, row});
    display.InjectButton(Button::kLeft, true);
    display.InjectButton(Button::kLeft, false);
    Drain(display, band.window);
  }
  const LONG offset = GrabOffset;
  int y = row;
  for (auto _ : state) {
    y = y == row ? row + 1 : row;
    display.InjectPointer({x, y});
    Drain(display, band.window);
  }
  GetWindowRect(band.window, &rect);
  if (offset == 0 || rect.top != y - offset) state.SkipWithError("the band did not follow");
}
BENCHMARK(BM_CarriedMove);

// Prints how far the decode is from inflating its data alone.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // With repetitions, the median speaks for the benchmark.
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        times_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto decode = times_.find("BM_DecodeArtwork");
    auto inflate = times_.find("BM_InflateArtworkData");
    if (decode != times_.end() && inflate != times_.end() && inflate->second > 0) {
      std::printf("decode / inflate-only: %.2f\n", decode->second / inflate->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
