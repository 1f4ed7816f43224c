// The band on a real X desktop when the desktop misbehaves around it: the compositor going away
// and coming back, the window manager replaced, other clients sending it client messages that
// are malformed or meant for someone else, and the X server vanishing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/band_picture.h"
#include "tests/e2e/band_process.h"
#include "tests/e2e/x_desktop.h"

namespace stripband::e2e {
namespace {

class DesktopFault : public ::testing::Test {
 protected:
  void Open(const DesktopOptions& options = {}) {
    ASSERT_EQ(desktop_.Start(options), "") << "the desktop could not start";
  }

  void StartBand() {
    band_ = std::make_unique<Band>(desktop_);
    auto shown = band_->WaitShown();
    ASSERT_TRUE(shown) << "the band never appeared; stderr: " << band_->Stderr();
    window_ = shown->window;
  }

  bool Xdotool(const std::vector<std::string>& arguments) { return desktop_.Xdotool(arguments); }
  bool MoveTo(int x, int y) { return Xdotool({"mousemove", std::to_string(x), std::to_string(y)}); }

  // The band took everything sent so far, is still running and lies where it started.
  void ExpectUnharmed(const std::string& after) {
    EXPECT_TRUE(desktop_.Ping(window_)) << "no answer after " << after;
    EXPECT_TRUE(band_->process().Running()) << "ended by " << after;
    auto where = band_->Where();
    ASSERT_TRUE(where) << "gone after " << after;
    EXPECT_TRUE(where->viewable) << "hidden by " << after;
    EXPECT_EQ(where->x, 0) << after;
    EXPECT_EQ(where->y, kBandTop) << after;
    EXPECT_EQ(where->width, kBandWidth) << after;
    EXPECT_EQ(where->height, kBandHeight) << after;
  }

  void ExpectEndsOnALetterWithZero() {
    ASSERT_TRUE(Xdotool({"key", "--clearmodifiers", "a"}));
    band_->ExpectEndsWithZero();
  }

  XDesktop desktop_;
  std::unique_ptr<Band> band_;
  XWindow window_ = 0;
};

// --- The compositor --------------------------------------------------------------------------

constexpr Rgb kWhite{255, 255, 255};

// The band's rows as the screen shows them, one above and one below included.
std::vector<uint32_t> BandArea(const Screen& screen) {
  std::vector<uint32_t> area;
  for (int y = kBandTop - 1; y <= kBandTop + kBandHeight; ++y) {
    for (int x = 0; x < kBandWidth; ++x) area.push_back(screen.At(x, y));
  }
  return area;
}

// Where two pictures of the band's area differ by more than 1 in some channel: the count of
// such pixels and the rectangle around them, as text; "" when they do not.
std::string Difference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() != b.size()) return "pictures of different sizes";
  int count = 0, left = kBandWidth, right = -1, top = kBandHeight + 2, bottom = -1;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Near(Rgb::Of(a[i]), Rgb::Of(b[i]), 1)) continue;
    int x = static_cast<int>(i % kBandWidth), y = static_cast<int>(i / kBandWidth);
    ++count;
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  }
  if (count == 0) return "";
  return std::to_string(count) + " pixels in x " + std::to_string(left) + ".." +
         std::to_string(right) + ", band row " + std::to_string(top - 1) + ".." +
         std::to_string(bottom - 1);
}

class Compositor : public DesktopFault {
 protected:
  // The band's area once the screen has settled with the band composed on it: every row shows
  // what it should, and two captures in a row agree (a capture may catch the server halfway
  // through drawing).
  std::optional<std::vector<uint32_t>> Settled(Screen* screen) {
    std::vector<uint32_t> last;
    bool settled = XDesktop::Eventually([&] {
      *screen = desktop_.Capture();
      if (RowNotShownOver(*screen, kWhite)) {
        last.clear();
        return false;
      }
      std::vector<uint32_t> area = BandArea(*screen);
      bool same = area == last;
      last = std::move(area);
      return same;
    });
    if (!settled) return std::nullopt;
    return last;
  }

  void Save(const Screen& screen, const std::string& name) {
    screen.SavePng(std::string(STRIPBAND_E2E_SCREENS) + "/" + name + ".png");
  }
};

TEST_F(Compositor, StoppedAndStartedAgainItShowsTheBandAsBefore) {
  Open();
  StartBand();
  Screen before;
  std::optional<std::vector<uint32_t>> composed = Settled(&before);
  ASSERT_TRUE(composed) << "the band was never composed over the desktop";

  ASSERT_TRUE(desktop_.StopCompositor());
  // Without a compositor the server shows the window's own pixels, not a blend.
  Screen alone;
  EXPECT_TRUE(XDesktop::Eventually([&] {
    alone = desktop_.Capture();
    return RowNotShownOver(alone, kWhite).has_value();
  })) << "the screen did not change when the compositor went";
  ExpectUnharmed("the compositor going away");

  ASSERT_TRUE(desktop_.StartCompositor());
  Screen after;
  std::optional<std::vector<uint32_t>> again = Settled(&after);
  std::string difference = again ? Difference(*again, *composed) : "";
  if (!again || !difference.empty()) {
    Save(before, "compositor-before");
    Save(after, "compositor-after");
  }
  ASSERT_TRUE(again) << "the band is not shown again: its row "
                     << RowNotShownOver(after, kWhite).value_or(0) << " differs";
  EXPECT_EQ(difference, "") << "the band differs from before the compositor went";
  ExpectUnharmed("the compositor coming back");
  ExpectEndsOnALetterWithZero();
}

// --- The window manager ----------------------------------------------------------------------

TEST_F(DesktopFault, AReplacedWindowManagerKeepsTheBandOnTopAndItStillWorks) {
  Open({.window_manager = true});
  StartBand();
  ASSERT_TRUE(desktop_.ReplaceWindowManager()) << "the new openbox did not take over";
  // The new manager takes the band on afresh; it must leave it as it was.
  ASSERT_TRUE(XDesktop::Eventually([&] {
    auto where = band_->Where();
    return where && where->viewable && where->y == kBandTop;
  })) << "the band is not back in its place";
  ExpectUnharmed("the window manager's replacement");
  std::vector<XAtom> state = desktop_.AtomsOf(window_, "_NET_WM_STATE");
  EXPECT_NE(std::find(state.begin(), state.end(), desktop_.Intern("_NET_WM_STATE_ABOVE")),
            state.end())
      << "no longer above other windows";

  // A window another program opens now, over the band, stays beneath it.
  desktop_.OpenWindow(0, 300, 1920, 500, 0xFFFFFF);
  Screen screen;
  EXPECT_TRUE(XDesktop::Eventually([&] {
    screen = desktop_.Capture();
    return screen.width > 0 &&
           Near(Rgb::Of(screen.At(960, kBandTop + 20)), ShownOver(kCanvas[8], kWhite), 1);
  })) << "row 20 shows "
      << Describe(Rgb::Of(screen.At(960, kBandTop + 20)));

  // Picked up at client row 10, it still follows the pointer, in steps that keep the pointer
  // over it.
  ASSERT_TRUE(MoveTo(104, 525) && Xdotool({"click", "1"}));
  for (int y = 520; y >= 405; y -= 5) {
    ASSERT_TRUE(MoveTo(104, y) && desktop_.Ping(window_));
  }
  EXPECT_EQ(band_->Top(), 394);
  ExpectEndsOnALetterWithZero();
}

// --- Client messages from other clients ------------------------------------------------------

struct Message {
  std::string name;
  const char* type;  // the message type: an atom's name, or a number
  int format;
  // Data words; an atom's name in place of a number is interned and its value used.
  std::vector<std::string> data;
  bool to_root_window = false;  // names the root window instead of the band's
};
void PrintTo(const Message& m, std::ostream* os) { *os << m.name; }

class ClientMessages : public DesktopFault, public ::testing::WithParamInterface<Message> {
 protected:
  long Value(const std::string& word) {
    bool number = !word.empty() && (std::isdigit(static_cast<unsigned char>(word[0])) != 0);
    return number ? std::stol(word) : static_cast<long>(desktop_.Intern(word.c_str()));
  }
  std::vector<long> Words(const Message& m) {
    std::vector<long> words;
    for (const std::string& word : m.data) {
      long value = Value(word);
      if (m.format == 32) {
        words.push_back(value);
        continue;
      }
      // The value's bytes (format 8) or halves (format 16), lowest first: a reader that took
      // data.l[0] whatever the format would find the value there.
      for (int shift = 0; shift < 32; shift += m.format) {
        words.push_back(value >> shift & ((1L << m.format) - 1));
      }
    }
    return words;
  }
};

TEST_P(ClientMessages, LeaveTheBandAsItWas) {
  Open();
  StartBand();
  const Message& m = GetParam();
  XWindow named = m.to_root_window ? desktop_.Root() : window_;
  desktop_.SendClientMessage(window_, named, static_cast<XAtom>(Value(m.type)), m.format, Words(m));
  ExpectUnharmed(m.name);
  // The same channel still carries a well-formed close request.
  desktop_.SendDeleteWindow(window_);
  auto status = band_->process().WaitForExit();
  ASSERT_TRUE(status) << "a well-formed WM_DELETE_WINDOW no longer ends it";
  EXPECT_EQ(status->code, 0);
  EXPECT_EQ(band_->Stderr(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, ClientMessages,
    ::testing::Values(
        Message{"UnknownProtocol", "WM_PROTOCOLS", 32, {"_STRIPBAND_UNKNOWN_PROTOCOL", "0"}},
        Message{"ProtocolNone", "WM_PROTOCOLS", 32, {"0", "0"}},
        Message{"DeleteWindowAsBytes", "WM_PROTOCOLS", 8, {"WM_DELETE_WINDOW"}},
        Message{"DeleteWindowAsHalves", "WM_PROTOCOLS", 16, {"WM_DELETE_WINDOW"}},
        Message{"DeleteWindowInTheWrongWord", "WM_PROTOCOLS", 32, {"0", "WM_DELETE_WINDOW"}},
        Message{
            "DeleteWindowWithoutProtocols", "_STRIPBAND_NOT_PROTOCOLS", 32, {"WM_DELETE_WINDOW"}},
        Message{"DeleteWindowNamingAnotherWindow", "WM_PROTOCOLS", 32, {"WM_DELETE_WINDOW"}, true},
        Message{"PingAsBytes", "WM_PROTOCOLS", 8, {"_NET_WM_PING"}},
        Message{"PingWithoutTimestamp", "WM_PROTOCOLS", 32, {"_NET_WM_PING"}},
        Message{"IconifyRequest", "WM_CHANGE_STATE", 32, {"3"}},
        Message{"HideRequest", "_NET_WM_STATE", 32, {"1", "_NET_WM_STATE_HIDDEN"}},
        Message{"ActivateRequest", "_NET_ACTIVE_WINDOW", 32, {"2", "0"}},
        Message{"Embedding", "_XEMBED", 32, {"0", "1", "0", "0"}},
        Message{"TypeNone", "0", 32, {"WM_DELETE_WINDOW"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(DesktopFault, ABurstOfRandomClientMessagesLeavesTheBandAsItWas) {
  Open();
  StartBand();
  std::mt19937 random(20260611);  // fixed: every run sends the same burst
  const std::vector<XAtom> types = {
      desktop_.Intern("WM_PROTOCOLS"),       desktop_.Intern("_NET_WM_STATE"),
      desktop_.Intern("WM_CHANGE_STATE"),    desktop_.Intern("_NET_ACTIVE_WINDOW"),
      desktop_.Intern("_NET_WM_MOVERESIZE"), desktop_.Intern("_MOTIF_WM_HINTS")};
  const XAtom protocols = desktop_.Intern("WM_PROTOCOLS");
  const XAtom delete_window = desktop_.Intern("WM_DELETE_WINDOW");
  for (int i = 0; i < 500; ++i) {
    XAtom type = random() % 4 ? types[random() % types.size()] : random() % 600;
    int format = std::vector<int>{8, 16, 32}[random() % 3];
    std::vector<long> data(20);
    for (long& word : data) word = static_cast<long>(random());
    // A real close request is the one thing that may end it.
    if (type == protocols && format == 32 && static_cast<XAtom>(data[0]) == delete_window) continue;
    desktop_.SendClientMessage(window_, random() % 8 ? window_ : random(), type, format, data);
  }
  ExpectUnharmed("a burst of random client messages");
  ExpectEndsOnALetterWithZero();
}

// --- The X server ----------------------------------------------------------------------------

struct ServerLoss {
  std::string name;
  DesktopOptions desktop;
  // What the user is doing when it happens, through xdotool.
  std::vector<std::string> doing;
};
void PrintTo(const ServerLoss& c, std::ostream* os) { *os << c.name; }

class ServerGone : public DesktopFault, public ::testing::WithParamInterface<ServerLoss> {};

TEST_P(ServerGone, EndsWithExitCodeZeroAndOneLine) {
  const ServerLoss& loss = GetParam();
  Open(loss.desktop);
  StartBand();
  if (!loss.doing.empty()) {
    ASSERT_TRUE(Xdotool(loss.doing));
  }
  ASSERT_TRUE(desktop_.Ping(window_));
  desktop_.KillServer();
  auto status = band_->process().WaitForExit();
  ASSERT_TRUE(status) << "still running without its X server";
  EXPECT_TRUE(status->exited) << "killed by signal " << status->signal;
  EXPECT_EQ(status->code, 0);
  std::string said = band_->Stderr();
  EXPECT_EQ(CountLines(said), 1) << said;
  EXPECT_NE(said.find("lost the connection"), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(
    While, ServerGone,
    ::testing::Values(
        ServerLoss{"AtRestUnderCompositorAndWindowManager", {.window_manager = true}, {}},
        ServerLoss{
            "Carried", {}, {"mousemove", "104", "525", "click", "1", "mousemove", "104", "480"}},
        ServerLoss{"ResizingFromTheBorder",
                   {},
                   {"mousemove", "960", "512", "mousedown", "1", "mousemove", "960", "530"}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace stripband::e2e
