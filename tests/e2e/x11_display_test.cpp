// The X11 backend on its own, driven the way the Win32 layer drives it, on a real X desktop.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>
#include <windows.h>

#include <cmath>
#include <thread>

#include "display/x11/x11_display.h"
#include "tests/e2e/x_desktop.h"

namespace stripband::e2e {
namespace {

using platform::display::Display;
using platform::display::Picture;
using platform::display::RawInput;
using platform::display::Rect;
using platform::display::SurfaceId;
using platform::display::SurfaceState;
using Kind = RawInput::Kind;

class X11DisplayTest : public ::testing::Test {
 protected:
  void Open(const DesktopOptions& options) {
    ASSERT_EQ(desktop_.Start(options), "") << "the desktop could not start";
    setenv("DISPLAY", desktop_.name().c_str(), 1);
    std::string why_not;
    display_ = platform::display::OpenX11Display(&why_not);
    ASSERT_TRUE(display_) << why_not;
  }

  // Shows a surface and waits until the desktop has it; its X window.
  XWindow Show(SurfaceId id, Rect rect, bool layered) {
    SurfaceState state{.rect = rect, .visible = true, .layered = layered};
    EXPECT_TRUE(display_->CreateSurface(id, state));
    XWindow window = 0;
    XDesktop::Eventually([&] {
      display_->PollInput();
      auto client = desktop_.FindClient(getpid());
      window = client && client->viewable ? client->window : 0;
      return window != 0;
    });
    EXPECT_NE(window, 0u) << "the surface never appeared";
    return window;
  }

  // Everything the display reported until it answered a ping sent after the last action.
  std::vector<RawInput> Settle(XWindow window) {
    std::vector<RawInput> inputs;
    long ping = desktop_.SendPing(window);
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    bool answered = false;
    while (!answered && std::chrono::steady_clock::now() < deadline) {
      while (auto input = display_->PollInput()) inputs.push_back(*input);
      answered = desktop_.Answered(ping, 10ms);
    }
    EXPECT_TRUE(answered) << "the display never answered";
    return inputs;
  }

  // Input that follows from requests the display makes itself on the way (the focus it sets
  // once the window is mapped) may come after the ping's answer: settle until it shows.
  template <typename F>
  bool SettleUntil(XWindow window, F&& wanted) {
    return XDesktop::Eventually([&] {
      for (const RawInput& input : Settle(window)) {
        if (wanted(input)) return true;
      }
      return false;
    });
  }

  struct KeyCase {
    const char* keys;  // for xdotool
    uint8_t vk;
    uint8_t character;
    bool dead = false;
    bool extended = false;
  };

  // Types each case's keys and checks the last key press they gave.
  void ExpectKeys(XWindow window, const std::vector<KeyCase>& cases) {
    for (const KeyCase& c : cases) {
      SCOPED_TRACE(c.keys);
      ASSERT_TRUE(desktop_.Xdotool({"key", c.keys}));
      std::optional<platform::display::KeyInput> last;
      for (const RawInput& input : Settle(window)) {
        if (input.kind == Kind::kKeyDown) last = input.key;
      }
      ASSERT_TRUE(last) << "no key press arrived";
      EXPECT_EQ(int{last->vk}, int{c.vk});
      EXPECT_EQ(int{last->character}, int{c.character});
      EXPECT_EQ(last->dead, c.dead);
      EXPECT_EQ(last->extended, c.extended);
    }
  }

  // The desktop is stopped after the display has let go of it.
  XDesktop desktop_;
  std::unique_ptr<Display> display_;
};

// Premultiplied samples across every alpha: red = alpha, green = alpha / 2, blue = alpha / 4.
std::shared_ptr<const Picture> Gradient(uint8_t constant_alpha) {
  auto picture = std::make_shared<Picture>();
  picture->width = 256;
  picture->height = 4;
  picture->constant_alpha = constant_alpha;
  for (int y = 0; y < picture->height; ++y) {
    for (uint32_t a = 0; a < 256; ++a) {
      picture->pixels.push_back(a << 24 | a << 16 | (a / 2) << 8 | a / 4);
    }
  }
  return picture;
}

int Blend(int p, int a, int ca, int q) {
  return static_cast<int>(std::lround(p * ca / 255.0 + q * (1.0 - a * ca / 65025.0)));
}

struct BlendCase {
  const char* name;
  uint32_t background;
};

class X11DisplayBlend : public X11DisplayTest, public ::testing::WithParamInterface<BlendCase> {};

TEST_P(X11DisplayBlend, ShowsALayeredPictureAsWin32BlendsIt) {
  Open({.background = GetParam().background});
  EXPECT_EQ(display_->GetMetrics().screen_width, 1920);
  EXPECT_EQ(display_->GetMetrics().screen_height, 1080);
  const int constant_alphas[] = {120, 255};
  for (int i = 0; i < 2; ++i) {
    SurfaceId id = 0x100 + i;
    Show(id, {100, 100 + 50 * i, 356, 104 + 50 * i}, true);
    display_->SetPicture(id, Gradient(static_cast<uint8_t>(constant_alphas[i])));
  }
  const Rgb q = Rgb::Of(GetParam().background);
  auto expected = [&](int a, int ca) {
    return Rgb{Blend(a, a, ca, q.r), Blend(a / 2, a, ca, q.g), Blend(a / 4, a, ca, q.b)};
  };
  Screen screen;
  XDesktop::Eventually([&] {
    display_->PollInput();
    screen = desktop_.Capture();
    return screen.width > 0 && Near(Rgb::Of(screen.At(100 + 255, 101)), expected(255, 120), 1);
  });
  for (int i = 0; i < 2; ++i) {
    for (int a = 0; a < 256; ++a) {
      Rgb seen = Rgb::Of(screen.At(100 + a, 101 + 50 * i));
      EXPECT_TRUE(Near(seen, expected(a, constant_alphas[i]), 1))
          << "alpha " << a << " at " << constant_alphas[i] << ": " << Describe(seen)
          << ", expected " << Describe(expected(a, constant_alphas[i]));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Desktops, X11DisplayBlend,
                         ::testing::Values(BlendCase{"white", 0xFFFFFF},
                                           BlendCase{"grey", 0x808080},
                                           BlendCase{"black", 0x000000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(X11DisplayTest, TheServerRepaintsThePictureWithoutTheProgram) {
  // Without a compositor the X server itself repaints what a covering window exposes; the
  // pixels are then shown as stored, alpha ignored.
  Open({.compositor = false});
  Show(1, {100, 100, 356, 104}, true);
  display_->SetPicture(1, Gradient(120));
  auto shown_at = [&](int a) {
    return Rgb{Blend(a, a, 120, 0), Blend(a / 2, a, 120, 0), Blend(a / 4, a, 120, 0)};
  };
  auto picture_shown = [&] {
    Screen screen = desktop_.Capture();
    return screen.width > 0 && Near(Rgb::Of(screen.At(100 + 200, 102)), shown_at(200), 1) &&
           Near(Rgb::Of(screen.At(100 + 90, 102)), shown_at(90), 1);
  };
  ASSERT_TRUE(XDesktop::Eventually([&] {
    display_->PollInput();
    return picture_shown();
  }));
  XWindow cover = desktop_.OpenWindow(0, 0, 600, 300, 0x0000FF);
  ASSERT_TRUE(XDesktop::Eventually([&] {
    return Rgb::Of(desktop_.Capture().At(300, 102)) == Rgb{0, 0, 255};
  }));
  desktop_.CloseWindow(cover);
  // The display is not asked to do anything meanwhile.
  EXPECT_TRUE(XDesktop::Eventually(picture_shown));
}

TEST_F(X11DisplayTest, AWindowShownAndGivenItsPictureAppearsOnceWithThePicture) {
  // As a program starts: the window is shown plain, then made layered and given its picture,
  // all before the program first waits. Nothing reaches the screen until that wait, so the
  // desktop never shows the plain window's grey in between.
  Open({.background = 0xFFFFFF});
  SurfaceState state{.rect = {100, 100, 356, 104}, .visible = true};
  ASSERT_TRUE(display_->CreateSurface(1, state));
  state.layered = true;
  display_->UpdateSurface(1, state);
  display_->SetPicture(1, Gradient(255));
  std::this_thread::sleep_for(200ms);
  auto client = desktop_.FindClient(getpid());
  EXPECT_FALSE(client && client->viewable) << "mapped before the program waited";
  EXPECT_EQ(Rgb::Of(desktop_.Capture().At(100 + 255, 101)), (Rgb{255, 255, 255}));

  display_->PollInput();
  Rgb first_change{255, 255, 255};
  ASSERT_TRUE(XDesktop::Eventually([&] {
    first_change = Rgb::Of(desktop_.Capture().At(100 + 255, 101));
    return first_change != Rgb{255, 255, 255};
  }));
  const Rgb picture{255, 127, 63};  // alpha 255's premultiplied samples, opaque
  EXPECT_TRUE(Near(first_change, picture, 1)) << "first shown: " << Describe(first_change);
}

struct ClickCase {
  const char* what;
  bool layered;
  int x, y;
  bool reaches_surface;
  bool has_picture = true;
};

TEST_F(X11DisplayTest, TakesInputOnlyWhereThePicturesAlphaIsAboveZero) {
  Open({});
  // The left half is transparent, the right half faintly opaque.
  auto picture = std::make_shared<Picture>();
  picture->width = 200;
  picture->height = 100;
  picture->constant_alpha = 120;
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 200; ++x) picture->pixels.push_back(x < 100 ? 0u : 0x01000000u);
  }
  XWindow window = Show(7, {0, 0, 200, 100}, true);
  display_->SetPicture(7, picture);
  const ClickCase cases[] = {
      {"transparent half", true, 50, 50, false},
      {"opaque half", true, 150, 50, true},
      {"plain window, left half", false, 50, 50, true},
      {"layered, no picture yet", true, 150, 50, false, false},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE(c.what);
    display_->SetPicture(7, c.has_picture ? picture : std::make_shared<Picture>());
    display_->UpdateSurface(7, {.rect = {0, 0, 200, 100}, .visible = true, .layered = c.layered});
    Settle(window);
    ASSERT_TRUE(
        desktop_.Xdotool({"mousemove", std::to_string(c.x), std::to_string(c.y), "click", "1"}));
    bool pressed = false;
    for (const RawInput& input : Settle(window)) {
      if (input.kind != Kind::kButtonDown) continue;
      pressed = true;
      EXPECT_EQ(input.point.x, c.x);
      EXPECT_EQ(input.point.y, c.y);
    }
    EXPECT_EQ(pressed, c.reaches_surface);
  }
}

struct KeyCase {
  const char* keys;  // for xdotool
  uint8_t vk;
  uint8_t character;
  bool dead = false;
  bool extended = false;
};

TEST_F(X11DisplayTest, TypesThroughTheKeyboardLayout) {
  Open({.compositor = false});
  XWindow window = Show(3, {0, 0, 300, 100}, false);
  display_->Activate(3);
  Settle(window);
  ExpectKeys(window, {{"a", 'A', 'a'},
                      {"shift+a", 'A', 'A'},
                      {"ctrl+a", 'A', 1},
                      {"Escape", VK_ESCAPE, 27},
                      {"Return", VK_RETURN, 13},
                      {"KP_Enter", VK_RETURN, 13, false, true},
                      {"Delete", VK_DELETE, 0, false, true},
                      {"Left", VK_LEFT, 0, false, true},
                      {"F5", VK_F1 + 4, 0},
                      {"alt+x", 'X', 'x'}});
}

TEST_F(X11DisplayTest, TypesAltGrCharactersAndDeadKeysOfAGermanLayout) {
  Open({.compositor = false, .keyboard_layout = "de"});
  XWindow window = Show(3, {0, 0, 300, 100}, false);
  display_->Activate(3);
  Settle(window);
  // AltGr is Ctrl with the right Alt, and AltGr+Q types @.
  ASSERT_TRUE(desktop_.Xdotool({"keydown", "ISO_Level3_Shift"}));
  std::vector<uint8_t> pressed;
  for (const RawInput& input : Settle(window)) {
    if (input.kind == Kind::kKeyDown) pressed.push_back(input.key.vk);
  }
  EXPECT_EQ(pressed, (std::vector<uint8_t>{VK_CONTROL, VK_MENU}));
  ExpectKeys(window, {{"q", 'Q', '@'}});
  ASSERT_TRUE(desktop_.Xdotool({"keyup", "ISO_Level3_Shift"}));
  // The acute key only prepares the next letter.
  ExpectKeys(window, {{"dead_acute", 0xDF, 0xB4, true}, {"e", 'E', 0xE9}, {"e", 'E', 'e'}});
}

TEST_F(X11DisplayTest, ReportsFocusAndCloseRequests) {
  Open({.compositor = false});
  XWindow window = Show(5, {0, 0, 300, 100}, false);
  display_->Activate(5);
  EXPECT_TRUE(SettleUntil(window, [](const RawInput& input) {
    return input.kind == Kind::kFocusIn && input.surface == 5;
  }));

  XWindow other = desktop_.OpenWindow(400, 400, 100, 100, 0x00FF00);
  ASSERT_TRUE(desktop_.Xdotool({"windowfocus", "--sync", std::to_string(other)}));
  EXPECT_TRUE(SettleUntil(window, [](const RawInput& input) {
    return input.kind == Kind::kFocusOut && input.surface == 5;
  }));

  desktop_.SendDeleteWindow(window);
  EXPECT_TRUE(SettleUntil(window, [](const RawInput& input) {
    return input.kind == Kind::kCloseRequest && input.surface == 5;
  }));
}

TEST_F(X11DisplayTest, AWakeEndsTheWaitFromAnyThread) {
  Open({.compositor = false});
  // A wake that came first ends the next wait at once.
  display_->Wake();
  display_->WaitForInput();
  std::thread waker([&] {
    std::this_thread::sleep_for(50ms);
    display_->Wake();
  });
  display_->WaitForInput();  // a hang here fails the test by its time-out
  waker.join();
  SUCCEED();
}

}  // namespace
}  // namespace stripband::e2e
