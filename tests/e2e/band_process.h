// The real program as a process on an X desktop, for the end-to-end tests. Targets that
// include this define STRIPBAND_BINARY, the program's path.
#pragma once

#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tests/e2e/x_desktop.h"

namespace stripband::e2e {

// The band's window: 1920 × 50, centred vertically on the 1080-row screen as a 58-row window
// (its sizing border included) would be.
constexpr int kBandTop = 511;
constexpr int kBandWidth = 1920;
constexpr int kBandHeight = 50;

inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

inline int CountLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The program, started on a desktop.
class Band {
 public:
  explicit Band(XDesktop& desktop)
      : desktop_(desktop),
        stderr_path_(desktop.directory() + "/band." + std::to_string(++started_) + ".err"),
        process_({STRIPBAND_BINARY}, {desktop.DisplayEnvironment()}, stderr_path_) {}

  // The band's window once it has its final size, or nothing after a long wait.
  std::optional<ClientWindow> WaitShown() {
    std::optional<ClientWindow> shown;
    XDesktop::Eventually([&] {
      shown = desktop_.FindClient(process_.pid());
      return shown && shown->viewable && shown->height == kBandHeight;
    });
    if (shown && shown->viewable && shown->height == kBandHeight) return shown;
    return std::nullopt;
  }

  std::optional<ClientWindow> Where() { return desktop_.FindClient(process_.pid()); }
  int Top() {
    auto where = Where();
    return where ? where->y : -1;
  }
  Child& process() { return process_; }
  std::string Stderr() const { return ReadFile(stderr_path_); }

  // Waits for the process to end, and expects what every ending gives: exit code 0 through the
  // program's own shutdown, nothing on standard error.
  void ExpectEndsWithZero() {
    auto status = process_.WaitForExit();
    ASSERT_TRUE(status) << "still running";
    EXPECT_TRUE(status->exited) << "killed by signal " << status->signal;
    EXPECT_EQ(status->code, 0);
    EXPECT_EQ(Stderr(), "");
  }

 private:
  static inline int started_ = 0;
  XDesktop& desktop_;
  std::string stderr_path_;
  Child process_;
};

}  // namespace stripband::e2e
