#!/usr/bin/env bash
# Starts the program as a user would, on a real X server (Xvfb) with a home folder of its own, and checks
# what its window shows through screenshots and what it leaves in its preferences.
#
# Usage: smoke_test.sh PROGRAM CASE [SCREENSHOT_FOLDER]
#   saved_installations  preferences list a valid and a damaged installation: both rows show, the
#                        damaged one with its red mark; closing the window ends the program with status 0
#                        and the list is still saved
#   first_start          no preferences: the placeholder shows while locate runs, then the installations
#                        locate found (a stand-in bind-mounted over /usr/bin/locate in a private mount
#                        namespace), which are saved
# Exits 77 (skipped) when Xvfb and its tools are missing, or for first_start when no mount namespace can
# be made.
set -euo pipefail
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/desktop_session.sh"

program=$(realpath "$1")
case_name=$2
shots=$(realpath -m "${3:-.}")
mkdir -p "$shots"
[[ -x "$program" ]] || fail "no program at $program"

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-smoke.XXXXXX")
trap '_desktop_cleanup; rm -rf "$work"' EXIT
new_home "$work/home"
preferences="$XDG_CONFIG_HOME/quorvane-updater/preferences.ini"

# Colours of the folder icons (resources/make_icons.py): the front of the folder and the damaged mark;
# the table's background and its text.
readonly FOLDER_BLUE=5a9ae0 DAMAGED_RED=d32f2f PAPER_WHITE=ffffff INK_BLACK=000000

# Takes a screenshot and prints how many pixels of the window are near the folder blue, the damaged red,
# white and black.
window_pixels() {
  local window=$1 file=$2
  # shellcheck disable=SC2046
  screenshot "$file" $(window_geometry "$window") "$FOLDER_BLUE" "$DAMAGED_RED" "$PAPER_WHITE" "$INK_BLACK" |
    awk '{ printf "%s ", $2 } END { print "" }'
}

# Takes screenshots until the window is painted (it is shown before it is painted) and, with --icons,
# shows both icons, or DESKTOP_TIMEOUT passes; prints the last figures.
wait_for_painting() {
  local window=$1 file=$2 icons=${3:-} blue red white black deadline=$((SECONDS + DESKTOP_TIMEOUT))
  while :; do
    read -r blue red white black < <(window_pixels "$window" "$file")
    if { ((white > 50000)) && { [[ -z "$icons" ]] || ((blue > 200 && red > 20)); }; } || ((SECONDS >= deadline)); then
      echo "$blue $red $white $black"
      return
    fi
    sleep 0.5
  done
}

saved_installations() {
  make_installation "$work/games/Quorvane"
  make_installation "$work/games/Quorvane broken" --damaged
  write_preferences "$preferences" "$work/games/Quorvane broken" "$work/games/Quorvane"

  start_desktop
  "$program" >"$work/program.log" 2>&1 &
  local pid=$!
  own_process "$pid"
  local window
  window=$(wait_for_window "$pid")

  local blue red white black
  read -r blue red white black < <(wait_for_painting "$window" "$shots/saved_installations.png" --icons)
  echo "window $window: $blue blue and $red red pixels"
  ((blue > 200)) || fail "no folder icon in the window (see $shots/saved_installations.png)"
  ((red > 20)) || fail "no damaged installation in the window (see $shots/saved_installations.png)"

  close_window "$window"
  local status=0
  wait_for_exit "$pid" || status=$?
  cat "$work/program.log"
  ((status == 0)) || fail "the program ended with status $status after its window was closed"
  grep -qxF "1\\value=$work/games/Quorvane broken" "$preferences" || fail "the list was not kept: $(cat "$preferences")"
  grep -qxF "2\\value=$work/games/Quorvane" "$preferences" || fail "the list was not kept: $(cat "$preferences")"
}

first_start() {
  [[ -e /usr/bin/locate ]] || skip "/usr/bin/locate is missing, so there is nothing to stand in for"
  local namespace=(unshare --mount --propagation private)
  [[ $(id -u) -eq 0 ]] || namespace=(unshare --map-root-user --mount --propagation private)
  "${namespace[@]}" true 2>/dev/null || skip "cannot make a private mount namespace here (${namespace[*]})"

  make_installation "$work/games/Quorvane"
  make_installation "$work/games/Quorvane old" --damaged
  mkdir -p "$work/bin"
  # Answers like locate once the test lets it; records how it was called.
  cat >"$work/bin/locate" <<STANDIN
#!/bin/sh
{ pwd; printf '%s\n' "\$@"; } >'$work/locate-call'
i=0
while [ ! -e '$work/release' ] && [ \$i -lt 600 ]; do sleep 0.1; i=\$((i + 1)); done
printf '%s\n' '$work/games/Quorvane old/Quorvane' '$work/games/gone/Quorvane' '$work/games/Quorvane/Quorvane'
STANDIN
  chmod +x "$work/bin/locate"

  start_desktop
  # shellcheck disable=SC2016 # the inner shell expands them
  "${namespace[@]}" sh -c 'mount --bind "$1" /usr/bin/locate && shift && exec "$@"' sh \
    "$work/bin/locate" "$program" >"$work/program.log" 2>&1 &
  local pid=$!
  own_process "$pid"
  local window
  window=$(wait_for_window "$pid")

  # While locate runs: the placeholder, a row without an icon.
  local waited=0
  until [[ -e "$work/locate-call" ]]; do
    ((waited++ < DESKTOP_TIMEOUT * 10)) || fail "the program did not start locate"
    sleep 0.1
  done
  [[ "$(cat "$work/locate-call")" == "$(printf '/\n*/Quorvane')" ]] ||
    fail "locate was started as: $(cat "$work/locate-call")"
  local blue red white black
  read -r blue red white black < <(wait_for_painting "$window" "$shots/first_start-placeholder.png")
  echo "placeholder: $blue blue, $red red, $white white and $black black pixels"
  ((white > 50000)) || fail "the window was never painted (see $shots/first_start-placeholder.png)"
  ((black > 30)) || fail "no placeholder text in the window (see $shots/first_start-placeholder.png)"
  ((blue < 50 && red < 50)) || fail "an installation shows before locate ended (see $shots/first_start-placeholder.png)"
  [[ ! -e "$preferences" ]] || ! grep -q Target_Path_Array "$preferences" || fail "a list was saved before locate ended"

  # Once locate answers: the two installations it found that are there, the valid one first.
  touch "$work/release"
  read -r blue red white black < <(wait_for_painting "$window" "$shots/first_start-found.png" --icons)
  echo "found: $blue blue and $red red pixels"
  ((blue > 200 && red > 20)) || fail "the installations never showed (see $shots/first_start-found.png)"

  close_window "$window"
  local status=0
  wait_for_exit "$pid" || status=$?
  cat "$work/program.log"
  ((status == 0)) || fail "the program ended with status $status after its window was closed"
  grep -qxF "size=2" "$preferences" || fail "the found installations were not saved: $(cat "$preferences")"
  grep -qxF "1\\value=$work/games/Quorvane old" "$preferences" || fail "the found installations were not saved: $(cat "$preferences")"
  grep -qxF "2\\value=$work/games/Quorvane" "$preferences" || fail "the found installations were not saved: $(cat "$preferences")"
}

case "$case_name" in
  saved_installations | first_start) "$case_name" ;;
  *) fail "no test case $case_name" ;;
esac
echo "PASSED: $case_name"
