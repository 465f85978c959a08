#!/usr/bin/env bash
# Starts the program under a real window manager (openbox on Xvfb) with more saved installations than the
# screen has room for, and checks that the window's whole frame, title bar and borders included, lies on
# the screen: at the first start and again at the next one, which begins from the frame the first saved.
# With "dropped", one installation is saved and the others are dragged into the list from another program
# once the window is up: the window grows for them and its frame must stay on the screen all the same.
#
# Usage: window_frame_test.sh PROGRAM SCREEN INSTALLATIONS [dropped]    (SCREEN as WIDTHxHEIGHT)
set -euo pipefail
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/desktop_session.sh"
program=$(realpath "$1")
screen=$2 max_x=${2%x*} max_y=${2#*x}
require_tools xwininfo
new_home "$work/home"
mapfile -t installations < <(seq -f "$work/games/Quorvane %g" "$3")
for installation in "${installations[@]}"; do make_installation "$installation"; done
dropped=${4:-} saved=("${installations[@]}")
[[ -z "$dropped" ]] || saved=("${installations[0]}")
[[ -z "$dropped" ]] || /usr/bin/python3 -c 'import gi; gi.require_version("Gtk", "3.0")' 2>/dev/null ||
  skip "no GTK for Python"
write_preferences "$preferences" "${saved[@]}"

# Sets left right top bottom (the decorations) and x y width height (the contents) of the framed window;
# succeeds once they have stood still for half a second.
frame_still() {
  read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null |
    sed -n 's/,//g; s/.* = //p') || return 1
  eval "$(xwininfo -id "$window" | awk -F: '{ gsub(/ /, "", $2) }
    /Absolute upper-left X/ { print "x=" $2 } /Absolute upper-left Y/ { print "y=" $2 }
    /^ *Width/ { print "width=" $2 } /^ *Height/ { print "height=" $2 }')"
  # shellcheck disable=SC2154 # x y width height: set by the eval
  [[ "$x $y $width $height $left $right $top $bottom" == "${frame:-}" ]] && return
  frame="$x $y $width $height $left $right $top $bottom"
  sleep 0.5
  return 1
}

expect_on_screen() { # WHAT LEFT TOP WIDTH HEIGHT
  echo "$1: $4x$5 at $2,$3 on a $screen screen"
  (($2 >= 0 && $3 >= 0 && $2 + $4 <= max_x && $3 + $5 <= max_y)) || fail "$1 does not lie on the screen"
}

start_desktop "$screen" --wm
for start in first second; do
  start_program "$program"
  frame=""
  wait_until "the window was never framed by the window manager" frame_still
  if [[ -n "$dropped" && $start == first ]]; then
    # Dragged from another program into the gap below the only row; the window grows for the new rows.
    /usr/bin/python3 "$(dirname "$0")/drag_source.py" $((max_x - 200)) 40 "${installations[@]:1}" \
      >/dev/null 2>&1 &
    own_process $!
    source_shown() { source_window=$(xdotool search --onlyvisible --name "drag source" 2>/dev/null); }
    wait_until "no drag source" source_shown
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$source_window")"
    from_x=$((X + 40)) from_y=$((Y + 20)) to_x=$((x + width / 2)) to_y=$((y + height / 2))
    xdotool mousemove $from_x $from_y sleep 0.2 mousedown 1
    for i in {1..15}; do xdotool mousemove $((from_x + (to_x - from_x) * i / 15)) \
      $((from_y + (to_y - from_y) * i / 15)) sleep 0.05; done
    xdotool mousemove $to_x $to_y sleep 0.4 mousemove $((to_x + 1)) $((to_y + 1)) sleep 0.4 mouseup 1
    listed() { (($(grep -c 'value=' "$preferences" 2>/dev/null || echo 0) == ${#installations[@]})); }
    wait_until "the dropped installations were not listed: $(cat "$work/program.log")" listed
    frame=""
    wait_until "the grown window never stood still" frame_still
  fi
  ((height > 300)) || fail "the window is only $height pixels tall"
  expect_on_screen "the frame at the $start start" $((x - left)) $((y - top)) $((width + left + right)) \
    $((height + top + bottom))
  close_program
  # The saved frame measures the contents from the bottom edge of the screen, y upward.
  read -r sx sy sw sh < <(sed -n 's/^NSWindow%20Frame%20.*=//p' "$preferences")
  [[ -n "${sh:-}" ]] || fail "no frame was saved: $(cat "$preferences")"
  expect_on_screen "the frame saved at the $start start" $((sx - left)) $((max_y - sy - sh - top)) \
    $((sw + left + right)) $((sh + top + bottom))
done
echo "PASSED: the whole frame stays on the screen"
