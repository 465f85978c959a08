#!/usr/bin/env bash
# An installation on a disk mounted read-only (a tmpfs in a private mount namespace; skipped where none can
# be made): the report says so once, not once per file.
set -euo pipefail
program=$(realpath "$1")
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/../desktop/desktop_session.sh"
new_home "$work/home" && cd "$work"
mkdir -p game Pack/Art/Maps && echo a >Pack/Art/a.png && echo b >Pack/Art/b.png && echo m >Pack/Art/Maps/m.map
userns=() && [[ $(id -u) -eq 0 ]] || userns=(-r)
# shellcheck disable=SC2016 # expanded by the inner shell
unshare "${userns[@]}" -m --propagation private bash -c 'mount -t tmpfs tmpfs game || exit 77
  mkdir -p game/Art game/Text && echo game >game/Quorvane && printf 1.29 >game/Text/version.txt
  mount -o remount,ro game && QT_QPA_PLATFORM= "$0" --install game Pack >out 2>err' "$program" || status=$?
[[ ${status:-0} != 77 ]] || exit 77
cat out err
[[ ${status:-0} == 1 && $(grep -ic "read-only" out) == 1 ]] &&
  grep -qF "3 files could not be installed." out && grep -qxF "The installation's disk is read-only." out
