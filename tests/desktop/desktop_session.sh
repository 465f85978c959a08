# shellcheck shell=bash
# The session of the tests that run the program on a real X server (sourced by bash scripts). Tests exit
# 77 (skipped) when a tool is missing.
#
# start_desktop [WxH] [--wm]   Xvfb (1024x768 unless told) on a free display, with openbox when asked
# new_home FOLDER              a fresh home folder: HOME and XDG_*_HOME point into it
# make_installation DIR [--damaged]   a Quorvane installation (without "Art" when damaged)
# write_preferences FILE PATH...      the preferences file listing the installations
# start_program COMMAND...     starts the program (in the background, logged), sets pid and window (the
#                              id of the window titled "Quorvane Updater" once it is shown)
# screenshot FILE [X Y W H COLOUR...] a PNG of the whole screen; counts the pixels near each colour
# close_program                closes the window as a window manager's close button does
#                              (close_window.py) and fails unless the program ends with status 0
# "${namespace[@]}" COMMAND... runs COMMAND in a private mount namespace (as a user, mapped to root there)
# "${stand_in[@]}" TOOL FILE COMMAND...   runs COMMAND there with FILE mounted over the program TOOL
# Everything started here ends with the test, and the folder in $work (made here) is removed.

DESKTOP_HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
: "${DESKTOP_TIMEOUT:=60}"

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }
require_tools() { for tool in "$@"; do command -v "$tool" >/dev/null || skip "$tool is not installed"; done; }

namespace=(unshare --mount --propagation private)
[[ $(id -u) -eq 0 ]] || namespace=(unshare --map-root-user --mount --propagation private)
# shellcheck disable=SC2016,SC2034 # the inner shell expands them; the sourcing scripts use it
stand_in=("${namespace[@]}" sh -c 'mount --bind "$2" "$1" && shift 2 && exec "$@"' sh)

# A process that has ended but was not waited for still answers kill -0. (Read without a command
# substitution: bash 5.2 warns about those in an exit trap.)
is_running() {
  local stat
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null && stat=${stat##*) } && [[ "$stat" == [!Z]* ]]
}

_desktop_pids=()
own_process() { _desktop_pids+=("$1"); }
_desktop_cleanup() {
  local pid
  for pid in "${_desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${_desktop_pids[@]}"; do for _ in {1..50}; do is_running "$pid" && sleep 0.1; done; done
  [[ -z "${work:-}" ]] || rm -rf "$work"
}
trap _desktop_cleanup EXIT
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-desktop.XXXXXX")

# Waits until COMMAND succeeds, failing with WHAT after DESKTOP_TIMEOUT.
wait_until() {
  local what=$1 deadline=$((SECONDS + DESKTOP_TIMEOUT))
  shift
  until "$@"; do ((SECONDS < deadline)) || fail "$what"; sleep 0.1; done
}

start_desktop() {
  require_tools Xvfb xdotool xwd python3
  local display
  mkfifo "$work/display"
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
  own_process $!
  read -r -t 30 display <"$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY
  [[ "${2:-}" == --wm ]] || return 0
  require_tools openbox xprop
  openbox >/dev/null 2>&1 &
  own_process $!
  wait_until "openbox did not start" \
    sh -c "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'"
}

new_home() {
  export HOME="$1" XDG_CONFIG_HOME="$1/.config" XDG_DATA_HOME="$1/.local/share" XDG_CACHE_HOME="$1/.cache"
  export XDG_STATE_HOME="$1/.local/state" XDG_RUNTIME_DIR="$1/.runtime"
  # shellcheck disable=SC2174 # the folders themselves are private, their parents need not be
  mkdir -p -m 700 "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
  # shellcheck disable=SC2034 # for the sourcing scripts
  preferences="$XDG_CONFIG_HOME/quorvane-updater/preferences.ini"
}

make_installation() {
  mkdir -p "$1/Text" && printf 'game\n' >"$1/Quorvane" && printf '1.29' >"$1/Text/version.txt"
  [[ "${2:-}" == --damaged ]] || mkdir -p "$1/Art"
}

write_preferences() {
  local index=0 path
  mkdir -p "$(dirname "$1")" && printf '[Target_Path_Array]\nsize=%d\n' $(($# - 1)) >"$1"
  for path in "${@:2}"; do printf '%d\\value=%s\n' $((++index)) "$path" >>"$1"; done
}

start_program() {
  "$@" >"$work/program.log" 2>&1 &
  pid=$!
  own_process "$pid"
  shown() { is_running "$pid" || fail "the program ended before showing its window"
    window=$(xdotool search --limit 1 --onlyvisible --name '^Quorvane Updater$' 2>/dev/null); }
  wait_until "no window titled \"Quorvane Updater\" after ${DESKTOP_TIMEOUT}s" shown
}

screenshot() { local file=$1; shift; xwd -root -silent | python3 "$DESKTOP_HERE/screenshot.py" "$file" "$@"; }

close_program() {
  python3 "$DESKTOP_HERE/close_window.py" "$window"
  ended() { ! is_running "$pid"; }
  wait_until "the program did not end after its window was closed" ended
  wait "$pid" || { local status=$?; cat "$work/program.log"; fail "the program ended with status $status"; }
}
