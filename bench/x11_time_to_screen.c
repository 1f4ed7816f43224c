// x11-time-to-screen SCREEN_FILE X Y PROGRAM [ARGUMENT...]
//
// Starts PROGRAM on $DISPLAY, a virtual X server whose screen is SCREEN_FILE (Xvfb -fbdir's
// XWD file, the screen as the compositor made it), and prints two times in milliseconds from
// the start: when the server mapped the program's first top-level window, and when pixel
// (X, Y) of the screen turned yellow (red above blue by more than 40). Then it stops the
// program. Exits 1, printing why, when either does not happen within 10 seconds.
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double Now(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

static uint32_t Big32(const uint8_t* p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// The pixel's red and blue, from a 32-bit TrueColor dump with 8-bit masks.
typedef struct {
  const uint8_t* pixel;
  int lsb_first;
  int red_shift, blue_shift;
} Probe;

static int Shift(uint32_t mask) {
  int shift = 0;
  while (mask && !(mask & 1)) mask >>= 1, ++shift;
  return shift;
}

static int OpenProbe(const char* path, int x, int y, Probe* probe) {
  int fd = open(path, O_RDONLY);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || st.st_size < 100) return 0;
  // NOTE: Xvfb keeps its screen in this file through a shared mapping, so ours sees it live.
  const uint8_t* file = mmap(NULL, (size_t)st.st_size, PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  if (file == MAP_FAILED) return 0;
  uint32_t header = Big32(file), width = Big32(file + 16), height = Big32(file + 20);
  uint32_t bits = Big32(file + 44), line = Big32(file + 48), colours = Big32(file + 76);
  size_t at = header + (size_t)colours * 12 + (size_t)line * (uint32_t)y + (uint32_t)x * 4;
  if (bits != 32 || (uint32_t)x >= width || (uint32_t)y >= height || at + 4 > (size_t)st.st_size) {
    return 0;
  }
  probe->pixel = file + at;
  probe->lsb_first = Big32(file + 28) == 0;
  probe->red_shift = Shift(Big32(file + 56));
  probe->blue_shift = Shift(Big32(file + 64));
  return 1;
}

static int Yellow(const Probe* probe) {
  const volatile uint8_t* p = probe->pixel;
  uint32_t value = probe->lsb_first ? (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16
                                    : (uint32_t)p[3] | (uint32_t)p[2] << 8 | (uint32_t)p[1] << 16;
  int red = value >> probe->red_shift & 0xFF, blue = value >> probe->blue_shift & 0xFF;
  return red - blue > 40;
}

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: x11-time-to-screen SCREEN_FILE X Y PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  Probe probe;
  if (!OpenProbe(argv[1], atoi(argv[2]), atoi(argv[3]), &probe)) {
    fprintf(stderr, "x11-time-to-screen: cannot read pixel (%s, %s) of %s\n", argv[2], argv[3],
            argv[1]);
    return 2;
  }
  // A band that was just closed may still be on the screen until the compositor repaints.
  double settle = Now();
  while (Yellow(&probe) && Now() - settle < 5e3) usleep(1000);
  if (Yellow(&probe)) {
    fprintf(stderr, "x11-time-to-screen: the pixel is yellow before the start\n");
    return 2;
  }
  Display* x = XOpenDisplay(NULL);
  if (!x) {
    fprintf(stderr, "x11-time-to-screen: cannot open the display\n");
    return 2;
  }
  XSelectInput(x, DefaultRootWindow(x), SubstructureNotifyMask);
  XSync(x, False);

  double start = Now();
  pid_t child = fork();
  if (child == 0) {
    execvp(argv[4], argv + 4);
    _exit(127);
  }
  double mapped = -1, shown = -1;
  Window created = 0;
  while ((mapped < 0 || shown < 0) && Now() - start < 10e3) {
    // Events wake us at once; the screen is looked at every millisecond.
    struct pollfd fd = {ConnectionNumber(x), POLLIN, 0};
    poll(&fd, 1, 1);
    while (XPending(x) > 0) {
      XEvent event;
      XNextEvent(x, &event);
      // The program's window is the first one created after its start; a compositor's own
      // windows exist before it.
      if (event.type == CreateNotify && !created) created = event.xcreatewindow.window;
      if (event.type == MapNotify && event.xmap.window == created && mapped < 0) {
        mapped = Now() - start;
      }
    }
    if (shown < 0 && Yellow(&probe)) shown = Now() - start;
  }
  kill(child, SIGTERM);
  double stopping = Now();
  while (waitpid(child, NULL, WNOHANG) == 0) {
    if (Now() - stopping > 3e3) {
      kill(child, SIGKILL);
      waitpid(child, NULL, 0);
      break;
    }
    usleep(1000);
  }
  if (mapped < 0 || shown < 0) {
    fprintf(stderr, "x11-time-to-screen: %s\n",
            mapped < 0 ? "no window was mapped" : "the pixel did not turn yellow");
    return 1;
  }
  printf("%.1f %.1f\n", mapped, shown);
  return 0;
}
