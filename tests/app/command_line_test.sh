#!/usr/bin/env bash
# The command line without a display, as a script runs it: each row starts the program over real folders
# and a real preferences file and checks its exit status, what it wrote and what landed on disk. The
# folder, home and installations are made as for the desktop tests, with no display.
# Usage: command_line_test.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/../desktop/desktop_session.sh"
new_home "$work/home"
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
cd "$work"
mkdir -p "Forest Pack/Art" "Linked Pack/Art" Docs $'\xe9t\xe9 Pack/Art' -- -Pack/Art
echo new >"Forest Pack/Art/tree.png" && echo summer >$'\xe9t\xe9 Pack/Art/sun.png'
echo "read me" >Docs/README.txt && echo dash >./-Pack/Art/dash.png
ln -s /etc/hostname "Linked Pack/Art/link.png" && ln -s /etc/hostname $'Linked Pack/Art/line\nbreak.png'
write_preferences "$preferences" "$work/games/listed" "$work/games/line\\nbreak"
make_installation games/listed && make_installation damaged --damaged

failures=0
fail() { printf 'FAIL %s\n--- stdout\n%s\n--- stderr\n%s\n' "$1" "$(cat out)" "$(cat err)"; ((++failures)); }
# row NAME STATUS STDOUT_TEXT STDERR_TEXT ARGUMENT...: a fresh installation at $work/game, the program started
# from $work (relative items); the texts must appear in what it wrote (an empty one: that stream stays empty).
row() {
  local name=$1 status=$2 actual=0 stream=out
  rm -rf game && make_installation game && echo old >game/Art/tree.png
  "$program" "${@:5}" >out 2>err || actual=$?
  [[ $actual == "$status" ]] || fail "$name: exit status $actual, not $status"
  for text in "$3" "$4"; do
    if [[ -n "$text" ]]; then grep -qF -- "$text" $stream || fail "$name: std$stream lacks '$text'"
    elif [[ -s $stream ]]; then fail "$name: std$stream is not empty"; fi
    stream=err
  done
}

row installed 0 "Application files updated successfully" "" --install game "Forest Pack" $'\xe9t\xe9 Pack'
for entry in game/Art/tree.png:new game/BackupFiles/*/Art/tree.png:old game/Art/sun.png:summer; do
  # shellcheck disable=SC2086 # the backup's folder is a pattern
  [[ "$(cat ${entry%:*} 2>/dev/null)" == "${entry#*:}" ]] || fail "installed: ${entry%:*} is not ${entry#*:}"
done
# The plan alone, nothing changed: what it replaces, and which recorded update put that there.
mkdir -p "Newer Pack/Art" && echo newer >"Newer Pack/Art/tree.png"
actual=0 && "$program" --dry-run game "Newer Pack" >out 2>err || actual=$?
[[ $actual == 0 && "$(cat game/Art/tree.png)" == new ]] && grep -qF "1 files will be added — 1 of them" out &&
  grep -qF "Art/tree.png: It replaces the installed file, which the update of 20" out ||
  fail "dry run: $actual"
# An archive planned from its table of contents, nothing extracted: what it will replace, and who put it there.
if [[ -x /usr/bin/jar ]]; then
  (cd "Newer Pack" && /usr/bin/jar cMf ../newer.zip Art)
  actual=0 && "$program" --dry-run game newer.zip >out 2>err || actual=$?
  [[ $actual == 0 ]] && grep -qF "1 archive is extracted first" out &&
    grep -qF "Art/tree.png: It replaces the installed file, which the update of 20" out || fail "archive dry run"
fi
# The latest update taken back: the replaced file back from its backup, the added one gone.
actual=0 && "$program" --undo game >out 2>err || actual=$?
[[ $actual == 0 && "$(cat game/Art/tree.png)" == old && ! -e game/Art/sun.png ]] || fail "undo: exit status $actual"
row nothing_to_undo 2 "" "No update of $work/game is left to undo." --undo game
# The history: three updates, the last two replacing the same file. The middle one is not undone past the
# last unasked; the first is undone alone; old backups removed end their updates' undo.
mkdir -p "One Pack/Art" "Tree Two/Art"
echo one >"One Pack/Art/one.png" && echo two >"Tree Two/Art/tree.png"
for pack in "One Pack" "Forest Pack" "Tree Two"; do "$program" --install game "$pack" >/dev/null; done
"$program" --history game >out 2>err && mapfile -t ids < <(cut -f1 out)
iso_date='\d{4}-\d\d-\d\dT[\d:]{8}[+-]\d\d:\d\d'
grep -qP "^${ids[0]}\t$iso_date\tTree Two\t1\t1\t4\tyes$" out && ((${#ids[@]} == 3)) ||
  fail "history: not three updates, newest first"
actual=0 && "$program" --undo game "${ids[1]}" >out 2>err || actual=$?
[[ $actual == 2 ]] && grep -qF "${ids[0]}"$'\t'"Tree Two" err || fail "undo in the way: $actual"
actual=0 && "$program" --undo game "${ids[2]}" >out 2>err || actual=$?
[[ $actual == 0 && ! -e game/Art/one.png && "$(cat game/Art/tree.png)" == two ]] || fail "undo first: $actual"
actual=0 && "$program" --remove-backups game --keep 1 >out 2>err || actual=$?
"$program" --history game >out 2>err
[[ $actual == 0 && "$(cut -f6,7 out | tr '\n' ' ')" == $'4\tyes 0\tno ' ]] || fail "remove-backups: $actual"
actual=0 && "$program" --undo game "${ids[1]}" >out 2>err || actual=$?
[[ $actual == 2 ]] && grep -qF "can no longer be undone" err || fail "undo without backup: $actual"
# The whole report on stdout, a name with a line break quoted as ls quotes it; the log alone on stderr.
row not_installed 1 "/Linked Pack/Art/line'\$'\\n''break.png': It is a symbolic link." "" \
  --install "$work/game" "$work/Linked Pack"
grep -qF "Linked Pack/Art/link.png: It is a symbolic link." out || fail "not_installed: link.png is not named"
row nothing_lined_up 1 "Nothing was installed" "" --install "$work/game" "$work/Docs"
row dry_run_refused 1 "/Linked Pack/Art/link.png: It is a symbolic link." "" --dry-run game "Linked Pack"
row dry_run_no_items 2 "" "--install needs an installation" --dry-run game
# No record can be kept (its folder cannot be made): nothing is begun, and the path is named.
XDG_STATE_HOME=/proc/version/state row no_record 1 "/proc/version/state/quorvane-updater/records: " "" \
  --install game "Forest Pack"
[[ "$(cat game/Art/tree.png)" == old ]] || fail "no_record: the update went ahead"
row no_items 2 "" "Usage: quorvane-updater [options]" --install "$work/game"
row missing_item 2 "" "$work/gone: No such file or directory" --install "$work/game" "Forest Pack" gone
row damaged_installation 2 "" "$work/damaged: Art folder missing." --install "$work/damaged" "Forest Pack"
[[ ! -e damaged/Art ]] || fail "damaged_installation: it was updated"
# One update of an installation at a time: flock(1) holds its lock as another run of the program would.
rm -rf game && make_installation game
actual=0 && flock --no-fork game "$program" --install game "Forest Pack" >out 2>err || actual=$?
[[ $actual == 2 ]] && grep -qF "Another update of this installation is running." err && [[ ! -e game/Art/tree.png ]] ||
  fail "locked: exit status $actual"
row list 0 "$work/games/listed"$'\t'"Valid" "" --list
grep -qF "'$work/games/line'\$'\\n''break'"$'\t' out || fail "list: the name with a line break is not quoted"
# Qt's own options are the window's: the command line passes over them, --help-all lists them.
row qt_options 0 "$work/games/listed" "" -platform offscreen -style=Fusion --list -reverse
row help_all 0 "  -stylesheet <file>" "" --help-all
actual=0 && timeout 3 "$program" -platform offscreen -style Fusion >out 2>&1 || actual=$?
[[ $actual == 124 ]] || fail "window with Qt options: ended with $actual, not still running"
row options_ended 0 "Application files updated successfully" "" --install game -- -Pack
[[ "$(cat game/Art/dash.png 2>/dev/null)" == dash ]] || fail "options_ended: -Pack was not installed"

# What a killed run left goes at the next start, a command-line one too; what a running one (its journal
# locked) has in hand stays.
state=$XDG_STATE_HOME/quorvane-updater
mkdir -p "$state" left/.quorvane-partial-killed left/.quorvane-partial-running
entry() { printf '%s %s %s\0' "$(stat -c '%d %i' "$1")" "$(stat -c '%d %i' "${1%/*}")" "$1"; }
entry "$work/left/.quorvane-partial-killed" >"$state/cleanup-1-1"
entry "$work/left/.quorvane-partial-running" >"$state/cleanup-2-2"
exec {running}<"$state/cleanup-2-2"
flock -n "$running"
row leftovers 0 "Application files updated successfully" "" --install game "Forest Pack"
exec {running}<&-
[[ ! -e left/.quorvane-partial-killed && -e left/.quorvane-partial-running ]] ||
  fail "leftovers: $(ls -A left | tr '\n' ' ')left, not the running one alone"

# A signal stops the run between two items, as Cancel does: the cancelled report, and the status a shell
# expects (128 + the signal). The real jar is stood in for by one that waits.
if [[ -x /usr/bin/jar ]] && "${namespace[@]}" true 2>/dev/null; then
  printf '#!/bin/sh\ntouch "%s/jar-started"\nexec sleep 60\n' "$work" >jar && chmod +x jar
  (cd "Forest Pack" && /usr/bin/jar cMf ../pack.zip Art)
  for signal in INT:130 TERM:143; do
    rm -rf game jar-started && make_installation game
    "${stand_in[@]}" /usr/bin/jar "$work/jar" "$program" --install game pack.zip >out 2>err &
    for _ in $(seq 100); do [[ -e jar-started ]] && break; sleep 0.1; done
    kill -"${signal%:*}" $!
    actual=0 && wait $! || actual=$?
    [[ $actual == "${signal#*:}" ]] || fail "SIG${signal%:*}: exit status $actual, not ${signal#*:}"
    grep -q "^Update cancelled" out || fail "SIG${signal%:*}: no cancelled report"
  done
  # A run killed half-way (here waiting for its tool) is taken back whole: its record was written ahead.
  rm -rf game jar-started && make_installation game && echo old >game/Art/tree.png
  "${stand_in[@]}" /usr/bin/jar "$work/jar" "$program" --install game pack.zip "Forest Pack" \
    $'\xe9t\xe9 Pack' >out 2>err &
  for _ in $(seq 100); do [[ -e jar-started && -e game/Art/sun.png ]] && break; sleep 0.1; done
  { kill -KILL $! && wait $!; } 2>/dev/null || true
  actual=0 && "$program" --undo game >out 2>err || actual=$?
  [[ $actual == 0 && "$(cat game/Art/tree.png)" == old && ! -e game/Art/sun.png ]] &&
    grep -q "^The update was undone" out || fail "killed run: undo ended with $actual"
  # A tool's own complaints are the log's (stderr), the item it failed the report's (stdout).
  printf '#!/bin/sh\necho "Exception in thread main" >&2\nexit 1\n' >jar
  rm -rf game && make_installation game
  "${stand_in[@]}" /usr/bin/jar "$work/jar" "$program" --install game pack.zip >out 2>err || true
  grep -q "/pack.zip: " out || fail "failing tool: the archive is not on stdout"
  grep -q "Exception in thread main" err && ! grep -q "pack.zip" err || fail "failing tool: stderr mixes"
else
  echo "signals: skipped, no jar or no mount namespace here"
fi

echo "$failures failed"
((failures == 0))
