// A long, seeded run of raw input through the headless desktop: a restless hand that picks the
// band up, carries it, puts it down, drags on its sizing border, double-clicks and presses keys
// that type nothing, while other programs post to it and take the foreground. After every
// action the band keeps BandRules; now and then a life of the program ends through one of its
// endings, and the next starts on a fresh desktop of another size.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <random>
#include <vector>

#include "tests/support/band_rules.h"
#include "tests/support/program_run.h"

namespace stripband::testing {
namespace {

constexpr int kRawEvents = 100000;  // pointer moves, presses, releases, keys, close requests
// A life ends by itself only through a rare ending action or a key chord that happens to type;
// past this many events one of the endings is chosen for it.
constexpr int kLongestLife = 6000;
constexpr uint32_t kSeed = 20261211;  // fixed: every run is the same run

struct Desktop {
  int width, height, frame;
};
constexpr Desktop kDesktops[] = {
    {1920, 1080, 4}, {2560, 1440, 4}, {1920, 1080, 0}, {1366, 768, 8}, {3840, 1080, 4},
};

constexpr BYTE kQuietKeys[] = {VK_LEFT, VK_UP,     VK_DOWN, VK_F1,    VK_F10,
                               VK_HOME, VK_DELETE, VK_TAB,  VK_PRIOR, VK_CAPITAL};
constexpr BYTE kModifiers[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
// What other programs post, none of which ends the band.
constexpr UINT kPosted[] = {WM_NULL,        WM_USER + 5,   WM_COMMAND,       WM_MOUSEMOVE,
                            WM_LBUTTONDOWN, WM_LBUTTONUP,  WM_SETCURSOR,     WM_PAINT,
                            WM_KEYUP,       WM_SYSCOMMAND, WM_NCLBUTTONDOWN, 0xC123};

enum class Ending { kLetter, kRightPress, kAltF4, kTaskbar, kPostedClose, kCount };

class Soak {
 public:
  Soak() : random_(kSeed) {}

  int Below(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

  void StartLife() {
    const Desktop& desktop = kDesktops[lives_ % std::size(kDesktops)];
    width_ = desktop.width;
    height_ = desktop.height;
    run_ = std::make_unique<ProgramRun>(DesktopSettings{.width = desktop.width,
                                                        .height = desktop.height,
                                                        .frame = desktop.frame,
                                                        .other_windows = {{0, 0, 800, 400}}});
    rules_ = std::make_unique<BandRules>(*run_);
    const RECT& client = rules_->Band().client;
    pointer_ = {client.left + 100, client.top + 10};
    life_events_ = 0;
    ++lives_;
  }

  bool Running() const { return rules_->Running(); }

  // One step of the hand or of another program.
  void Act() {
    const RECT rect = rules_->Band().rect;
    const RECT client = rules_->Band().client;
    int choice = Below(100);
    if (choice < 40) {  // a small move, usually staying over the band
      Move(pointer_.x + Below(41) - 20, pointer_.y + Below(21) - 10);
    } else if (choice < 50) {  // onto the band, its border and the rows around it included
      Move(rect.left + Below(std::max<int>(rect.right - rect.left, 1)),
           rect.top - 3 + Below(std::max<int>(rect.bottom - rect.top, 1) + 6));
    } else if (choice < 54) {
      Move(Below(width_), Below(height_));
    } else if (choice < 62) {
      Click();
    } else if (choice < 65) {
      Click();
      Click();
    } else if (choice < 69) {  // pressed or released alone: drags, and resizes from the border
      Button(Mouse::kLeft, Below(2) == 0);
    } else if (choice < 71) {  // a right press on the border or beside the band: nothing ends
      Move(Below(2) ? rect.left + Below(std::max<int>(client.left - rect.left, 1)) : rect.right + 5,
           rect.top + Below(std::max<int>(rect.bottom - rect.top, 1)));
      if (rules_->Band().client.left <= pointer_.x && pointer_.x < rules_->Band().client.right &&
          rules_->Band().client.top <= pointer_.y && pointer_.y < rules_->Band().client.bottom) {
        return;
      }
      Button(Mouse::kRight, true);
      Button(Mouse::kRight, false);
    } else if (choice < 77) {
      Key(kQuietKeys[Below(std::size(kQuietKeys))], true);
      Key(kQuietKeys[Below(std::size(kQuietKeys))], false);
    } else if (choice < 80) {
      Key(kModifiers[Below(std::size(kModifiers))], Below(2) == 0);
    } else if (choice < 86) {
      run_->Wait(static_cast<uint32_t>(Below(900)));
    } else if (choice < 92) {
      UINT message = kPosted[Below(std::size(kPosted))];
      // WM_SYSCOMMAND and WM_NCLBUTTONDOWN as a taskbar menu or a border press would send
      // them: a resize from the top border.
      WPARAM wparam = message == WM_SYSCOMMAND      ? SC_SIZE + 3
                      : message == WM_NCLBUTTONDOWN ? HTTOP
                                                    : static_cast<WPARAM>(random_());
      LPARAM lparam = MAKELPARAM(Below(1920), Below(60));
      if (Below(2)) {
        run_->PostToWindow(rules_->Band().hwnd, message, wparam, lparam);
      } else {
        run_->PostToProgramThread(message, wparam, lparam);
      }
      ++posted_;
    } else if (choice < 93) {
      run_->ActivateOtherWindow(0);
    } else if (choice == 99 && Below(20) == 0) {
      End(static_cast<Ending>(Below(static_cast<int>(Ending::kCount))));
    }
  }

  // Ends the life in a given way, from whatever state it is in.
  void End(Ending ending) {
    Button(Mouse::kLeft, false);  // a resize from the border holds the button
    const RECT client = rules_->Band().client;
    if (!rules_->Band().active) {
      Move(client.left + 50, client.top + 5);  // typing needs the band in the foreground
      Click();
    }
    switch (ending) {
      case Ending::kLetter:
        Key('A' + Below(26), true);
        break;
      case Ending::kRightPress:
        Move(client.left + Below(std::max<int>(client.right - client.left, 1)),
             client.top + Below(std::max<int>(client.bottom - client.top, 1)));
        Button(Mouse::kRight, true);
        break;
      case Ending::kAltF4:
        Key(VK_MENU, true);
        Key(VK_F4, true);
        break;
      case Ending::kTaskbar:
        run_->CloseFromTaskbar();
        Count(1);
        break;
      case Ending::kPostedClose:
        run_->PostToWindow(rules_->Band().hwnd, WM_CLOSE, 0, 0);
        break;
      case Ending::kCount:
        break;
    }
  }

  std::string Check() {
    if (std::string problem = rules_->Check(); !problem.empty()) return problem;
    if (rules_->Carried() && rules_->Band().rect.left == 0) carried_ = true;
    if (rules_->Resizing()) resized_ = true;
    if (!rules_->Running()) ++endings_[static_cast<int>(rules_->HowItEnded())];
    return "";
  }

  int Events() const { return events_; }
  int LifeEvents() const { return life_events_; }
  int Lives() const { return lives_; }
  int Posted() const { return posted_; }
  int Endings(EndedBy how) const { return endings_[static_cast<int>(how)]; }
  bool Carried() const { return carried_; }
  bool Resized() const { return resized_; }

 private:
  void Count(int events) {
    events_ += events;
    life_events_ += events;
  }
  void Move(int x, int y) {
    pointer_ = {std::clamp(x, -20, width_ + 20), std::clamp(y, -20, height_ + 20)};
    run_->MovePointer(pointer_.x, pointer_.y);
    Count(1);
  }
  void Button(Mouse button, bool down) {
    if (down) {
      run_->Press(button);
    } else {
      run_->Release(button);
    }
    Count(1);
  }
  void Click() {
    Button(Mouse::kLeft, true);
    Button(Mouse::kLeft, false);
  }
  void Key(BYTE vk, bool down) {
    if (down) {
      run_->KeyDown(vk);
    } else {
      run_->KeyUp(vk);
    }
    Count(1);
  }

  std::mt19937 random_;
  std::unique_ptr<ProgramRun> run_;
  std::unique_ptr<BandRules> rules_;
  int width_ = 0, height_ = 0;
  POINT pointer_{};
  int events_ = 0, life_events_ = 0, lives_ = 0, posted_ = 0;
  int endings_[4] = {};
  bool carried_ = false, resized_ = false;
};

TEST(Soak, AHundredThousandRawEventsKeepEveryRuleAndEveryEndingIsClean) {
  Soak soak;
  int forced = 0;
  while (soak.Events() < kRawEvents) {
    soak.StartLife();
    while (soak.Running()) {
      if (soak.LifeEvents() >= kLongestLife) {
        soak.End(static_cast<Ending>(forced++ % static_cast<int>(Ending::kCount)));
      } else {
        soak.Act();
      }
      std::string problem = soak.Check();
      ASSERT_EQ(problem, "") << "life " << soak.Lives() << ", raw event " << soak.Events();
      ASSERT_FALSE(::testing::Test::HasFailure()) << "life " << soak.Lives();
    }
  }
  std::cout << soak.Events() << " raw events in " << soak.Lives() << " lives, " << soak.Posted()
            << " messages posted; ended by a character " << soak.Endings(EndedBy::kCharacter)
            << ", a right press " << soak.Endings(EndedBy::kRightPress) << ", a close request "
            << soak.Endings(EndedBy::kClose) << "\n";
  // What the run must have gone through to test anything.
  EXPECT_TRUE(soak.Carried()) << "the band was never carried to the left edge";
  EXPECT_TRUE(soak.Resized()) << "no resize from the sizing border";
  for (EndedBy how : {EndedBy::kCharacter, EndedBy::kRightPress, EndedBy::kClose}) {
    EXPECT_GT(soak.Endings(how), 0) << "an ending never happened";
  }
}

}  // namespace
}  // namespace stripband::testing
