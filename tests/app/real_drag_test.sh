#!/usr/bin/env bash
# Drags a wrapper folder from another program onto the updater's window on a real X server, as a user
# does from a file manager, confirms with the keyboard and checks what landed on disk.
# Usage: real_drag_test.sh PROGRAM DRAG_SOURCE_SCRIPT
set -euo pipefail
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/../desktop/desktop_session.sh"
/usr/bin/python3 -c 'import gi; gi.require_version("Gtk", "3.0"); from gi.repository import Gtk' \
  2>/dev/null || skip "no GTK for Python"
new_home "$work/home"
game="$work/Games/Quorvane"
make_installation "$game" && echo old >"$game/Art/tree.png"
pack="$work/Downloads/Forest Pack"
mkdir -p "$pack/Art" && echo new >"$pack/Art/tree.png" && echo "read me" >"$pack/README.txt"
write_preferences "$preferences" "$game"
start_desktop
start_program "$1"
xdotool windowmove "$window" 0 0
/usr/bin/python3 "$2" 600 100 "$pack" >/dev/null 2>&1 &
own_process $!
wait_until "no drag source" xdotool search --name "drag source"
sleep 0.5

# Press on the source, move in small steps onto the installation's row, pause, release.
xdotool mousemove 680 140 sleep 0.2 mousedown 1
for i in $(seq 1 12); do xdotool mousemove $((680 - i * 40)) $((140 - i * 9)); sleep 0.05; done
xdotool mousemove 200 30 sleep 0.4 mousemove 202 31 sleep 0.4 mouseup 1

windows() { xdotool search --onlyvisible --name "Quorvane Updater" 2>/dev/null || true; }
two_windows() { (($(windows | wc -l) >= 2)); }
wait_until "no confirmation sheet" two_windows
# Click into the sheet to give it the keyboard, then take its default button.
xdotool mousemove --window "$(windows | tail -n 1)" 20 20 click 1 sleep 0.2 key Return
wait_until "nothing installed: $(cat "$work/program.log")" test -e "$game/README.txt"
wait_until "no completion report" two_windows
[[ "$(cat "$game/Art/tree.png")" == new && "$(cat "$game/README.txt")" == "read me" &&
  "$(cat "$game"/BackupFiles/*/Art/tree.png)" == old ]] ||
  { cat "$work/program.log"; fail "not installed as dropped"; }
echo "PASSED: the dragged folder was installed and the old file kept"
