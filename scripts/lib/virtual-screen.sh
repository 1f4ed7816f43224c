# shellcheck shell=bash disable=SC2034
# Sourced by scripts/try and scripts/measure-x11: a private virtual X screen (Xvfb,
# 1920 × 1080 × 24) with a compositor (picom), and the stopping of everything started here on
# every way out of the sourcing script.
#
#   start_virtual_screen        exports DISPLAY; the composed screen is the XWD file $screen_file
#   set_desktop_picture ARG...  hsetroot's arguments: -solid '#ffffff', -center FILE...
#   start_compositor
#   started+=("$pid")           anything else to stop at the end, last first

started=()
screen_work=""
screen_file=""

say() { echo "${0##*/}: $*" >&2; }
fail() {
  say "$*"
  exit 1
}

stop_started() {
  local i pid
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    pid=${started[i]}
    kill -TERM "$pid" 2>/dev/null || continue
    for _ in $(seq 30); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  started=()
}
cleanup_virtual_screen() {
  stop_started
  if [ -n "$screen_work" ]; then rm -rf "$screen_work"; fi
}
trap cleanup_virtual_screen EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Polls a condition every 50 ms for at most $1 seconds.
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 20))); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

display_written() { grep -q '^[0-9]' "$screen_work/display"; }
start_virtual_screen() {
  screen_work=$(mktemp -d /tmp/stripband-screen-XXXXXX)
  # -displayfd: the server picks a free display and writes its number once it takes clients.
  # -fbdir: the screen as the compositor made it, as an XWD file.
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -fbdir "$screen_work" -nolisten tcp -noreset \
    3>"$screen_work/display" >"$screen_work/xvfb.log" 2>&1 &
  started+=($!)
  wait_for 10 display_written || fail "Xvfb did not start: $(tail -n 3 "$screen_work/xvfb.log")"
  DISPLAY=":$(head -n 1 "$screen_work/display")"
  export DISPLAY
  screen_file=$screen_work/Xvfb_screen0
}

# NOTE: picom paints the desktop grey unless the root has a background pixmap, which hsetroot
# sets (xsetroot does not).
set_desktop_picture() {
  hsetroot "$@" >"$screen_work/hsetroot.log" 2>&1 ||
    fail "hsetroot failed: $(tail -n 3 "$screen_work/hsetroot.log")"
}

# picom names a window of its own once it has taken the screen over.
compositor_running() { xdotool search --class '^picom$' >/dev/null 2>&1; }
start_compositor() {
  picom --backend xrender --config /dev/null >"$screen_work/picom.log" 2>&1 &
  started+=($!)
  wait_for 10 compositor_running || fail "picom did not start: $(tail -n 3 "$screen_work/picom.log")"
  # NOTE: it names that window a little before it composes: a window mapped at once may show
  # uncomposed (opaque, grey, then black) for up to a quarter of a second.
  sleep 0.5
}

window=""
window_top=""
# True once process $1 has a window mapped $2 rows high; sets $window and $window_top.
window_shown() {
  window=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n 1) || return 1
  [ -n "$window" ] || return 1
  local geometry
  geometry=$(xdotool getwindowgeometry --shell "$window" 2>/dev/null) || return 1
  grep -q "^HEIGHT=$2\$" <<<"$geometry" || return 1
  window_top=$(sed -n 's/^Y=//p' <<<"$geometry")
}
