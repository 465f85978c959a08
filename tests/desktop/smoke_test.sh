#!/usr/bin/env bash
# Starts the program as a user would, on a real X server with a home folder of its own, and checks what its
# window shows (screenshots) and what it leaves in its preferences.
#
# Usage: smoke_test.sh PROGRAM CASE [SCREENSHOT_FOLDER]
#   saved_installations  preferences list a valid and a damaged installation: both rows show, the damaged
#                        one with its red mark; closing the window ends the program with status 0 and the
#                        list is still saved
#   first_start          no preferences: the placeholder shows while locate runs, then the installations
#                        locate found (a stand-in bind-mounted over /usr/bin/locate in a private mount
#                        namespace), which are saved; skipped when no mount namespace can be made
set -euo pipefail
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/desktop_session.sh"
program=$(realpath "$1")
shots=$(realpath -m "${3:-.}")
mkdir -p "$shots"
new_home "$work/home"
make_installation "$work/games/Quorvane"

# Screenshots until the window is painted (it is shown before it is painted) and, with --icons, shows the
# folder icon (blue) and the damaged mark (red), or DESKTOP_TIMEOUT passes; sets blue red white black to
# the window's pixels near those colours, the table's white and its text.
wait_for_painting() {
  local deadline=$((SECONDS + DESKTOP_TIMEOUT))
  while :; do
    # shellcheck disable=SC2046
    read -r _ blue _ red _ white _ black < <(screenshot "$shots/$1.png" $(xdotool getwindowgeometry --shell \
      "$window" | sed -n 's/^[XYWIDTHEG]*=//p') 5a9ae0 d32f2f ffffff 000000 | paste -sd ' ')
    echo "$1: $blue blue, $red red, $white white and $black black pixels"
    { ((white > 50000)) && [[ -z "${2:-}" ]]; } || ((blue > 200 && red > 20 || SECONDS >= deadline)) && return
    sleep 0.5
  done
}

expect_saved() { # LINE... : fails unless the preferences hold each line
  local line
  for line; do grep -qxF "$line" "$preferences" || fail "not saved: $line in $(cat "$preferences")"; done
}

case "$2" in
  saved_installations)
    make_installation "$work/games/Quorvane broken" --damaged
    write_preferences "$preferences" "$work/games/Quorvane broken" "$work/games/Quorvane"
    start_desktop
    start_program "$program"
    wait_for_painting saved_installations --icons
    ((blue > 200 && red > 20)) || fail "no folder icon ($blue) or no damaged mark ($red) in the window"
    close_program
    expect_saved "1\\value=$work/games/Quorvane broken" "2\\value=$work/games/Quorvane"
    ;;
  first_start)
    [[ -e /usr/bin/locate ]] || skip "/usr/bin/locate is missing, so there is nothing to stand in for"
    "${namespace[@]}" true 2>/dev/null || skip "cannot make a private mount namespace here (${namespace[*]})"
    make_installation "$work/games/Quorvane old" --damaged
    # Answers like locate once the test lets it; records how it was called.
    cat >"$work/locate" <<STANDIN
#!/bin/sh
{ pwd; printf '%s\n' "\$@"; } >'$work/locate-call'
for _ in \$(seq 600); do [ -e '$work/release' ] && break; sleep 0.1; done
printf '%s\n' '$work/games/Quorvane old/Quorvane' '$work/games/gone/Quorvane' '$work/games/Quorvane/Quorvane'
STANDIN
    chmod +x "$work/locate"
    start_desktop
    start_program "${stand_in[@]}" /usr/bin/locate "$work/locate" "$program"
    wait_until "the program did not start locate" test -e "$work/locate-call"
    [[ "$(cat "$work/locate-call")" == $'/\n*/Quorvane' ]] || fail "locate ran as: $(cat "$work/locate-call")"
    # While locate runs: the placeholder, a row of text without an icon, and nothing saved.
    wait_for_painting first_start-placeholder
    ((white > 50000 && black > 30)) || fail "the window was never painted, or without the placeholder text"
    ((blue < 50 && red < 50)) || fail "an installation shows before locate ended"
    ! grep -qs Target_Path_Array "$preferences" || fail "a list was saved before locate ended"
    # Once locate answers: the two installations it found that are there, the valid one first.
    touch "$work/release"
    wait_for_painting first_start-found --icons
    ((blue > 200 && red > 20)) || fail "the installations never showed"
    close_program
    expect_saved "size=2" "1\\value=$work/games/Quorvane old" "2\\value=$work/games/Quorvane"
    ;;
  *) fail "no test case $2" ;;
esac
echo "PASSED: $2"
