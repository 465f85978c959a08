# shellcheck shell=bash
# Helpers for the tests that run the program on a real X server (sourced by bash scripts).
#
# start_desktop [WxH]    starts Xvfb (1024x768 unless told) on a free display and points DISPLAY at it;
#                        stopped on exit
# start_window_manager   starts openbox on that display and waits until it manages windows
# new_home FOLDER        a fresh home folder there: HOME and XDG_*_HOME point into it
# make_installation DIR [--damaged]   a Quorvane installation (without "Art" when damaged)
# write_preferences FILE PATH...      the preferences file listing the installations
# wait_for_window PID    prints the id of the window titled "Quorvane Updater" once it is shown
# screenshot FILE [X Y W H COLOUR...] a PNG of the whole screen; counts the pixels near each colour
# close_window ID        asks the window to close, as a window manager's close button does
# wait_for_exit PID      waits for the program to end (killed after DESKTOP_TIMEOUT) and returns its
#                        exit status

DESKTOP_HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly DESKTOP_HERE
readonly WINDOW_TITLE="Quorvane Updater"
readonly SKIP=77
: "${DESKTOP_TIMEOUT:=60}"

skip() {
  echo "SKIPPED: $*"
  exit "$SKIP"
}

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-dependencies.sh --tests)"
  done
}

# A process that has ended but was not waited for yet still answers kill -0.
# (Read without a command substitution: bash 5.2 warns about those in an exit trap.)
is_running() {
  local stat
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }
  [[ -n "$stat" && "${stat:0:1}" != Z ]]
}

_desktop_pids=()
_desktop_cleanup() {
  local pid tick
  for pid in "${_desktop_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${_desktop_pids[@]}"; do
    for ((tick = 0; tick < 50; tick++)); do
      is_running "$pid" || break
      sleep 0.1
    done
  done
}
trap _desktop_cleanup EXIT

# Remembers a process of the test, to be ended when the test ends.
own_process() { _desktop_pids+=("$1"); }

_forget_process() {
  local pid kept=()
  for pid in "${_desktop_pids[@]}"; do
    [[ "$pid" == "$1" ]] || kept+=("$pid")
  done
  _desktop_pids=("${kept[@]}")
}

start_desktop() {
  require_tools Xvfb xdotool xwd python3
  local fifo display size=${1:-1024x768}
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  own_process $!
  read -r -t 30 display <"$fifo" || fail "Xvfb did not start"
  rm -f "$fifo"
  export DISPLAY=":$display"
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
}

start_window_manager() {
  require_tools openbox xprop
  openbox >/dev/null 2>&1 &
  own_process $!
  local waited=0
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    ((waited++ < DESKTOP_TIMEOUT * 10)) || fail "openbox did not start"
    sleep 0.1
  done
}

new_home() {
  export HOME="$1"
  export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
  export XDG_RUNTIME_DIR="$HOME/.runtime"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
}

make_installation() {
  mkdir -p "$1/Text"
  [[ "${2:-}" == "--damaged" ]] || mkdir -p "$1/Art"
  printf 'game\n' >"$1/Quorvane"
  printf '1.29' >"$1/Text/version.txt"
}

write_preferences() {
  local file=$1 index=0 path
  shift
  mkdir -p "$(dirname "$file")"
  {
    printf '[Target_Path_Array]\nsize=%d\n' $#
    for path in "$@"; do
      index=$((index + 1))
      printf '%d\\value=%s\n' "$index" "$path"
    done
  } >"$file"
}

wait_for_window() {
  local pid=$1 waited=0 id
  while ((waited < DESKTOP_TIMEOUT * 10)); do
    is_running "$pid" || fail "the program ended before showing its window"
    id=$(xdotool search --onlyvisible --name "^${WINDOW_TITLE}\$" 2>/dev/null | head -n 1) || true
    if [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  fail "no window titled \"$WINDOW_TITLE\" after ${DESKTOP_TIMEOUT}s"
}

screenshot() {
  local file=$1
  shift
  xwd -root -silent | python3 "$DESKTOP_HERE/screenshot.py" "$file" "$@"
}

# Prints "X Y WIDTH HEIGHT" of a window.
window_geometry() {
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$X $Y $WIDTH $HEIGHT"
}

close_window() { python3 "$DESKTOP_HERE/close_window.py" "$1"; }

wait_for_exit() {
  local pid=$1 status=0 deadline=$((SECONDS + DESKTOP_TIMEOUT))
  while is_running "$pid"; do
    if ((SECONDS >= deadline)); then
      kill -KILL "$pid" 2>/dev/null || true
      break
    fi
    sleep 0.1
  done
  wait "$pid" || status=$?
  _forget_process "$pid"
  return "$status"
}
