// The real program on a real X desktop: what a user sees and what ends it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/e2e/band_picture.h"
#include "tests/e2e/band_process.h"
#include "tests/e2e/x_desktop.h"

// NOTE: after everything else: Xlib's macros (None, Bool, Status) clash with other headers.
#include <X11/Xlib.h>

namespace stripband::e2e {
namespace {

class BandTest : public ::testing::Test {
 public:
  // What a user or another program does; each returns once it is done, false if it failed.
  bool Key(const std::string& keys) { return desktop_.Xdotool({"key", "--clearmodifiers", keys}); }
  bool MoveTo(int x, int y) {
    return desktop_.Xdotool({"mousemove", std::to_string(x), std::to_string(y)});
  }
  bool Click(int button) { return desktop_.Xdotool({"click", std::to_string(button)}); }
  bool RightPressOnTheBand() { return MoveTo(960, kBandTop + 25) && Click(3); }
  XDesktop& desktop() { return desktop_; }
  XWindow window() const { return window_; }

 protected:
  void Open(const DesktopOptions& options = {}) {
    std::string error = desktop_.Start(options);
    ASSERT_EQ(error, "") << "the desktop could not start";
  }

  // Starts the band and waits until it is on the screen.
  void StartBand() {
    band_ = std::make_unique<Band>(desktop_);
    auto shown = band_->WaitShown();
    ASSERT_TRUE(shown) << "the band never appeared; stderr: " << band_->Stderr();
    window_ = shown->window;
  }

  void Save(const Screen& screen, const std::string& name) {
    std::string path = std::string(STRIPBAND_E2E_SCREENS) + "/" + name + ".png";
    EXPECT_TRUE(screen.SavePng(path)) << path;
  }

  // The band has handled all input sent so far and is still there.
  void ExpectStillRunning(const std::string& after) {
    EXPECT_TRUE(desktop_.Ping(window_)) << "no answer after " << after;
    EXPECT_TRUE(band_->process().Running()) << "ended by " << after;
  }

  void ExpectEndsWithZero() { band_->ExpectEndsWithZero(); }

  XDesktop desktop_;
  std::unique_ptr<Band> band_;
  XWindow window_ = 0;
};

// --- Where the band is, and what it shows -------------------------------------------------

class BandPlacement : public BandTest, public ::testing::WithParamInterface<bool> {};

TEST_P(BandPlacement, LiesAcrossTheMiddleOfTheScreenAboveOtherWindows) {
  bool window_manager = GetParam();
  Open({.window_manager = window_manager});
  StartBand();
  auto where = band_->Where();
  ASSERT_TRUE(where);
  EXPECT_EQ(where->x, 0);
  EXPECT_EQ(where->y, kBandTop);
  EXPECT_EQ(where->width, kBandWidth);
  EXPECT_EQ(where->height, kBandHeight);

  // Another program's window opened afterwards, over the band, stays beneath it: its red is
  // tinted by the band's yellow.
  desktop_.OpenWindow(0, 300, 1920, 500, 0xFF0000);
  const CanvasRows& row20 = kCanvas[8];
  const Rgb red{255, 0, 0};
  Screen screen;
  bool tinted = XDesktop::Eventually([&] {
    screen = desktop_.Capture();
    return screen.width > 0 && Rgb::Of(screen.At(960, 700)) == red &&
           Near(Rgb::Of(screen.At(960, kBandTop + 20)), ShownOver(row20, red), 1);
  });
  Save(screen, window_manager ? "band-above-window-openbox" : "band-above-window");
  EXPECT_TRUE(tinted) << "band row 20 over the red window shows "
                      << Describe(Rgb::Of(screen.At(960, kBandTop + 20)));
  if (window_manager) {
    std::vector<XAtom> state = desktop_.AtomsOf(window_, "_NET_WM_STATE");
    EXPECT_NE(std::find(state.begin(), state.end(), desktop_.Intern("_NET_WM_STATE_ABOVE")),
              state.end());
  }
}

INSTANTIATE_TEST_SUITE_P(Desktops, BandPlacement, ::testing::Values(false, true),
                         [](const auto& info) {
                           return info.param ? "UnderOpenbox" : "WithoutWindowManager";
                         });

struct Background {
  const char* name;
  uint32_t colour;
};

class BandPicture : public BandTest, public ::testing::WithParamInterface<Background> {};

TEST_P(BandPicture, TintsTheDesktopRowByRow) {
  const Background background = GetParam();
  Open({.background = background.colour});
  StartBand();
  const Rgb q = Rgb::Of(background.colour);
  auto expected = [&](const CanvasRows& rows) { return ShownOver(rows, q); };
  // The compositor may still be catching up with the band's arrival.
  Screen screen;
  XDesktop::Eventually([&] {
    screen = desktop_.Capture();
    return screen.width > 0 && Near(MostFrequent(screen, kBandTop), expected(kCanvas[0]), 1);
  });
  Save(screen, std::string("band-over-") + background.name);
  for (const CanvasRows& group : kCanvas) {
    for (int row : group.rows) {
      Rgb seen = MostFrequent(screen, kBandTop + row);
      EXPECT_TRUE(Near(seen, expected(group), 1))
          << "row " << row << " shows " << Describe(seen) << ", expected about "
          << Describe(expected(group));
    }
  }
  // Nothing of a frame around it: the desktop shows right above and below.
  EXPECT_EQ(MostFrequent(screen, kBandTop - 1), q);
  EXPECT_EQ(MostFrequent(screen, kBandTop + kBandHeight), q);
}

INSTANTIATE_TEST_SUITE_P(Desktops, BandPicture,
                         ::testing::Values(Background{"white", 0xFFFFFF},
                                           Background{"black", 0x000000}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Endings ---------------------------------------------------------------------------------

struct Ending {
  const char* name;
  bool window_manager;
  bool (*act)(BandTest&);
  const char* keyboard_layout = "us";
};

class BandEnding : public BandTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(BandEnding, EndsWithExitCodeZero) {
  Open(
      {.window_manager = GetParam().window_manager, .keyboard_layout = GetParam().keyboard_layout});
  StartBand();
  ASSERT_TRUE(GetParam().act(*this));
  ExpectEndsWithZero();
}

INSTANTIATE_TEST_SUITE_P(
    Endings, BandEnding,
    ::testing::Values(
        Ending{"Letter", false, [](BandTest& t) { return t.Key("a"); }},
        Ending{"CapitalLetter", false, [](BandTest& t) { return t.Key("shift+q"); }},
        Ending{"Escape", false, [](BandTest& t) { return t.Key("Escape"); }},
        Ending{"Enter", false, [](BandTest& t) { return t.Key("Return"); }},
        Ending{"ControlLetter", false, [](BandTest& t) { return t.Key("ctrl+b"); }},
        Ending{"DeadKeyThenLetter", false,
               [](BandTest& t) { return t.Key("dead_acute") && t.Key("e"); }, "de"},
        Ending{"AltGrCharacter", false, [](BandTest& t) { return t.Key("ISO_Level3_Shift+q"); },
               "de"},
        Ending{"LetterUnderOpenbox", true, [](BandTest& t) { return t.Key("x"); }},
        Ending{"AltF4", false, [](BandTest& t) { return t.Key("alt+F4"); }},
        Ending{"AltF4UnderOpenbox", true, [](BandTest& t) { return t.Key("alt+F4"); }},
        Ending{"DeleteWindowFromAnotherClient", false,
               [](BandTest& t) {
                 t.desktop().SendDeleteWindow(t.window());
                 return true;
               }},
        Ending{"CloseRequestFromAPager", false,
               [](BandTest& t) {
                 t.desktop().RequestClose(t.window());
                 return true;
               }},
        Ending{"CloseRequestFromAPagerUnderOpenbox", true,
               [](BandTest& t) {
                 t.desktop().RequestClose(t.window());
                 return true;
               }},
        Ending{"RightPress", false, [](BandTest& t) { return t.RightPressOnTheBand(); }},
        Ending{"RightPressUnderOpenbox", true,
               [](BandTest& t) { return t.RightPressOnTheBand(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// The taskbar entry shows the class icon: icon group 1's 48 × 48 picture with real alpha.
TEST_F(BandTest, GivesTheDesktopTheClassIcon) {
  Open({.window_manager = true});
  StartBand();
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(desktop_.x(), window_, desktop_.Intern("_NET_WM_ICON"), 0, 1 << 16,
                               False, AnyPropertyType, &type, &format, &count, &remaining, &data),
            Success);
  std::vector<long> icon(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
  if (data) XFree(data);
  ASSERT_EQ(format, 32);
  ASSERT_EQ(icon.size(), 2u + 48u * 48u);
  EXPECT_EQ(icon[0], 48);
  EXPECT_EQ(icon[1], 48);
  auto alpha = [&icon](int x, int y) { return (icon[2 + y * 48 + x] >> 24) & 0xFF; };
  EXPECT_LT(alpha(0, 0), 255) << "the tile's rounded corner lets the desktop through";
  EXPECT_EQ(alpha(24, 24), 255) << "the icon's middle is opaque";
}

TEST_F(BandTest, ARightPressEndsItOnlyAfterAPause) {
  Open();
  StartBand();
  ASSERT_TRUE(MoveTo(960, kBandTop + 25));
  ASSERT_TRUE(desktop_.Ping(window_));
  auto pressed = std::chrono::steady_clock::now();
  ASSERT_TRUE(Click(3));
  ExpectEndsWithZero();
  auto lasted = std::chrono::steady_clock::now() - pressed;
  EXPECT_GE(lasted, std::chrono::milliseconds(200));
}

TEST_F(BandTest, KeysThatTypeNoCharacterLeaveItRunning) {
  Open({.keyboard_layout = "de"});
  StartBand();
  // Tab is taken by the band's accelerators; Alt with a letter is a system character; a dead
  // key only prepares the next one, which then types its accent.
  for (const char* keys : {"shift", "ctrl", "alt", "Tab", "shift+Tab", "F1", "F10", "Left", "Home",
                           "Page_Down", "Insert", "Delete", "alt+a", "dead_acute"}) {
    ASSERT_TRUE(Key(keys)) << keys;
    ExpectStillRunning(keys);
  }
  ASSERT_TRUE(Key("space"));
  ExpectEndsWithZero();
}

// --- The mouse -------------------------------------------------------------------------------

TEST_F(BandTest, IsPickedUpCarriedWithinItsLimitsAndPutDown) {
  Open();
  StartBand();
  // Carries the pointer in steps that keep it over the band's client area (picked up 11 rows
  // below the top edge, with a 4-row border), waiting for the band to follow each one.
  auto carry = [&](int from, int to) {
    int step = from < to ? 20 : -5;
    for (int y = from; y != to;) {
      y = std::abs(to - y) < std::abs(step) ? to : y + step;
      if (!MoveTo(104, y) || !desktop_.Ping(window_)) return false;
    }
    return true;
  };
  ASSERT_TRUE(MoveTo(104, 525) && Click(1));  // client (100, 10)
  ASSERT_TRUE(desktop_.Ping(window_));
  EXPECT_EQ(band_->Top(), kBandTop) << "moved by the press itself";
  ASSERT_TRUE(carry(525, 300));
  EXPECT_EQ(band_->Top(), 289);
  ASSERT_TRUE(carry(300, 12));
  EXPECT_EQ(band_->Top(), 1);
  ASSERT_TRUE(carry(12, 5));
  EXPECT_EQ(band_->Top(), 1) << "the top edge went above row 1";
  ASSERT_TRUE(carry(5, 1010));
  EXPECT_EQ(band_->Top(), 999);
  ASSERT_TRUE(carry(1010, 1020));
  EXPECT_EQ(band_->Top(), 999) << "the top edge went below row 999";

  ASSERT_TRUE(Click(1));  // put down
  ASSERT_TRUE(carry(1020, 1040));
  EXPECT_EQ(band_->Top(), 999) << "still carried after the second press";
  Screen screen = desktop_.Capture();
  Save(screen, "band-put-down-at-999");
  ASSERT_TRUE(Key("a"));
  ExpectEndsWithZero();
}

TEST_F(BandTest, APressOnTheBorderDoesNotPickItUp) {
  Open();
  StartBand();
  ASSERT_TRUE(MoveTo(960, kBandTop + 1) && Click(1));  // the top sizing border
  ASSERT_TRUE(MoveTo(960, kBandTop + 20) && MoveTo(960, kBandTop + 30));
  ASSERT_TRUE(desktop_.Ping(window_));
  auto where = band_->Where();
  ASSERT_TRUE(where);
  EXPECT_EQ(where->y, kBandTop);
  EXPECT_EQ(where->height, kBandHeight);
  // The button's release ended the border's resize loop, which would otherwise take the keys.
  ASSERT_TRUE(Key("a"));
  ExpectEndsWithZero();
}

// --- Without a display -----------------------------------------------------------------------

TEST(BandWithoutDisplay, EndsWithExitCodeZeroAndSaysWhyInOneLine) {
  // A display that was there and is gone, and no display at all.
  std::string gone;
  {
    XDesktop desktop;
    ASSERT_EQ(desktop.Start({.compositor = false}), "");
    gone = desktop.name();
  }
  char pattern[] = "/tmp/stripband-e2e-XXXXXX";
  ASSERT_TRUE(mkdtemp(pattern));
  std::string directory = pattern;
  for (const std::string& environment : {"DISPLAY=" + gone, std::string("DISPLAY=")}) {
    SCOPED_TRACE(environment);
    std::string err = directory + "/band.err";
    std::remove(err.c_str());
    Child band({STRIPBAND_BINARY}, {environment}, err);
    auto status = band.WaitForExit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->exited);
    EXPECT_EQ(status->code, 0);
    std::string said = ReadFile(err);
    EXPECT_EQ(CountLines(said), 1) << said;
    EXPECT_NE(said.find("cannot open display"), std::string::npos) << said;
  }
  std::filesystem::remove_all(directory);
}

TEST_F(BandTest, EndsWithExitCodeZeroWhenTheDisplayGoes) {
  Open({.compositor = false});
  StartBand();
  desktop_.Stop();
  auto status = band_->process().WaitForExit();
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->exited) << "killed by signal " << status->signal;
  EXPECT_EQ(status->code, 0);
  std::string said = band_->Stderr();
  EXPECT_EQ(CountLines(said), 1) << said;
  EXPECT_NE(said.find("lost the connection"), std::string::npos) << said;
}

}  // namespace
}  // namespace stripband::e2e
