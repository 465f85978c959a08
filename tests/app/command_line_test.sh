#!/usr/bin/env bash
# The command line without a display, as a script runs it: each row starts the program over real folders
# and a real preferences file and checks its exit status, what it wrote and what landed on disk.
# Usage: command_line_test.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_STATE_HOME="$work/home/state" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -p "$XDG_CONFIG_HOME/quorvane-updater"

make_game() { # FOLDER [--damaged]
  mkdir -p "$1/Text"
  [[ "${2:-}" == --damaged ]] || mkdir -p "$1/Art"
  echo game > "$1/Quorvane"
  echo 1.29 > "$1/Text/version.txt"
  if [[ -d "$1/Art" ]]; then echo old > "$1/Art/tree.png"; fi
}
mkdir -p "$work/Forest Pack/Art" "$work/Linked Pack/Art" "$work/Docs"
echo new > "$work/Forest Pack/Art/tree.png"
(cd "$work" && mkdir -p $'\xe9t\xe9 Pack/Art' && echo summer > $'\xe9t\xe9 Pack/Art/sun.png')
ln -s /etc/hostname "$work/Linked Pack/Art/link.png"
echo "read me" > "$work/Docs/README.txt"
printf '[Target_Path_Array]\nsize=2\n1\\value=%s\n2\\value=%s\n' "$work/games/listed" "$work/games/unplugged" \
  > "$XDG_CONFIG_HOME/quorvane-updater/preferences.ini"
make_game "$work/games/listed"

failures=0
# row NAME STATUS STDOUT_TEXT STDERR_TEXT ARGUMENT...: a fresh installation at $work/game, the program
# started from $work; the texts must appear in what it wrote (an empty one: that stream stays empty).
row() {
  local name=$1 status=$2 out_text=$3 err_text=$4 actual=0
  shift 4
  rm -rf "$work/game" && make_game "$work/game"
  (cd "$work" && "$program" "$@") >"$work/out" 2>"$work/err" || actual=$?
  local problems=()
  [[ $actual == "$status" ]] || problems+=("exit status $actual, not $status")
  if [[ -n "$out_text" ]]; then grep -qF -- "$out_text" "$work/out" || problems+=("stdout lacks '$out_text'");
  elif [[ -s "$work/out" ]]; then problems+=("stdout is not empty"); fi
  if [[ -n "$err_text" ]]; then grep -qF -- "$err_text" "$work/err" || problems+=("stderr lacks '$err_text'");
  elif [[ -s "$work/err" ]]; then problems+=("stderr is not empty"); fi
  if ((${#problems[@]})); then
    printf 'FAIL %s: %s\n--- stdout\n%s\n--- stderr\n%s\n' "$name" "${problems[*]}" "$(cat "$work/out")" "$(cat "$work/err")"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}
expect_file() { # NAME FILE CONTENT
  [[ "$(cat "$2" 2>/dev/null)" == "$3" ]] || { echo "FAIL $1: $2 is not '$3'"; failures=$((failures + 1)); }
}

# Relative items (the installation's check moves the working directory), and a name that is not UTF-8.
row installed 0 "Application files updated successfully" "" --install game "Forest Pack" $'\xe9t\xe9 Pack'
expect_file installed "$work/game/Art/tree.png" new
expect_file installed "$(echo "$work"/game/BackupFiles/*/Art/tree.png)" old
expect_file installed "$work/game/Art/sun.png" summer
row not_installed 1 "Application files update incomplete" "Linked Pack/Art/link.png: It is a symbolic link." \
  --install "$work/game" "$work/Linked Pack"
row nothing_lined_up 1 "Nothing was installed" "" --install "$work/game" "$work/Docs"
row unknown_option 2 "" "Unknown option 'bogus'." --bogus
row no_items 2 "" "Usage:" --install "$work/game"
make_game "$work/damaged" --damaged
row damaged_installation 2 "" "$work/damaged: Art folder missing." --install "$work/damaged" "$work/Forest Pack"
[[ ! -e "$work/damaged/Art" ]] || { echo "FAIL damaged_installation: it was updated"; failures=$((failures + 1)); }
row list 0 "$work/games/listed"$'\t'"Valid" "" --list
grep -qxF "$work/games/unplugged"$'\t'"Not found. Is its drive connected?" "$work/out" ||
  { echo "FAIL list: the unplugged installation is not listed as not found"; failures=$((failures + 1)); }

echo "$failures failed"
((failures == 0))
