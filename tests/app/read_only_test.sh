#!/usr/bin/env bash
# An installation on a disk mounted read-only: the report says so once, not once per file. The disk is a
# tmpfs only this script's mount namespace sees (unshare; skipped where it cannot be made).
# Usage: read_only_test.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/../desktop/desktop_session.sh"
new_home "$work/home"
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
cd "$work"
mkdir -p game Pack/Art/Maps && echo a >Pack/Art/a.png && echo b >Pack/Art/b.png && echo m >Pack/Art/Maps/m.map
userns=()
[[ $(id -u) -eq 0 ]] || userns=(-r)
# shellcheck disable=SC2016 # expanded by the inner shell
unshare "${userns[@]}" -m --propagation private bash -c '
  mount -t tmpfs -o size=1m tmpfs game || exit 77
  mkdir -p game/Art game/Text && echo game >game/Quorvane && printf 1.29 >game/Text/version.txt
  mount -o remount,ro game && "$0" --install game Pack >out 2>err' "$program" || status=$?
[[ ${status:-0} != 77 ]] || { echo "SKIP: no private read-only mount here"; exit 77; }
cat err
[[ ${status:-0} == 1 ]] || { echo "FAIL: exit status ${status:-0}, not 1"; exit 1; }
[[ $(grep -ic "read-only" err) == 1 ]] && grep -qxF "The installation's disk is read-only." err ||
  { echo "FAIL: the read-only disk was not said once"; exit 1; }
grep -qF "3 files could not be installed." out || { echo "FAIL: the report does not count 3 files"; exit 1; }
