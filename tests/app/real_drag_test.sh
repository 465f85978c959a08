#!/usr/bin/env bash
# Drags a wrapper folder from another program onto the updater's window on a real X server, as a user
# does from a file manager, confirms with the keyboard and checks what landed on disk.
# Usage: real_drag_test.sh PROGRAM DRAG_SOURCE_SCRIPT. Exits 77 (skipped) when the desktop tools are missing.
set -euo pipefail
program=$1
drag_source=$2

for tool in Xvfb xdotool /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "no $tool: skipped"; exit 77; }
done
/usr/bin/python3 -c 'import gi; gi.require_version("Gtk", "3.0"); from gi.repository import Gtk' 2>/dev/null ||
  { echo "no GTK for Python: skipped"; exit 77; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

game="$work/Games/Quorvane"
mkdir -p "$game/Art" "$game/Text" "$work/config/quorvane-updater" "$work/Downloads/Forest Pack/Art"
echo game > "$game/Quorvane"
echo 1.29 > "$game/Text/version.txt"
echo old > "$game/Art/tree.png"
echo new > "$work/Downloads/Forest Pack/Art/tree.png"
echo "read me" > "$work/Downloads/Forest Pack/README.txt"
printf '[Target_Path_Array]\nsize=1\n1\\value=%s\n' "$game" > "$work/config/quorvane-updater/preferences.ini"

exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 10 display <&3
export DISPLAY=":$display"

windows() { xdotool search --onlyvisible --name "Quorvane Updater" 2>/dev/null || true; }
wait_for_windows() { # COUNT
  for _ in $(seq 100); do [[ $(windows | wc -l) -ge $1 ]] && return 0; sleep 0.1; done
  echo "expected $1 windows, found $(windows | wc -l)"; return 1
}

HOME="$work" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$program" >"$work/program.log" 2>&1 &
pids+=($!)
wait_for_windows 1
main=$(windows | head -n 1)
xdotool windowmove "$main" 0 0
/usr/bin/python3 "$drag_source" 600 100 "$work/Downloads/Forest Pack" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do xdotool search --name "drag source" >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5

# Press on the source, move in small steps onto the installation's row, pause, release.
xdotool mousemove 680 140 sleep 0.2 mousedown 1
for i in $(seq 1 12); do xdotool mousemove $((680 - i * 40)) $((140 - i * 9)); sleep 0.05; done
xdotool mousemove 200 30 sleep 0.4 mousemove 202 31 sleep 0.4 mouseup 1

wait_for_windows 2 # the confirmation sheet
# Click into the sheet to give it the keyboard, then take its default button.
sheet=$(windows | tail -n 1)
xdotool mousemove --window "$sheet" 20 20 click 1 sleep 0.2 key Return
for _ in $(seq 100); do [[ -e "$game/README.txt" ]] && break; sleep 0.1; done
wait_for_windows 2 # the completion report

fail=0
check() { # FILE EXPECTED
  if [[ "$(cat "$1" 2>/dev/null)" != "$2" ]]; then echo "FAIL: $1 is not '$2'"; fail=1; fi
}
check "$game/Art/tree.png" new
check "$game/README.txt" "read me"
check "$(echo "$game"/BackupFiles/*/Art/tree.png)" old
[[ $fail -eq 0 ]] && echo "1 passed, 0 failed" || { cat "$work/program.log"; echo "0 passed, 1 failed"; }
exit $fail
