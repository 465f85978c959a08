#!/usr/bin/env bash
# An installation on a small disk (a tmpfs in a private mount namespace; skipped where none can be made):
# an update larger than the free space is refused before anything is written, naming the disk and the
# figures; one that fits by its bytes but runs out of room on the way (no inode left) stops at the first
# "No space left on device" and takes back what it did.
set -euo pipefail
program=$(realpath "$1")
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/../desktop/desktop_session.sh"
new_home "$work/home" && cd "$work"
mkdir -p game Big/Art Many/Art && head -c 3000000 /dev/zero >Big/Art/big.png
for i in $(seq 150); do echo "new $i" >"Many/Art/f$i.png"; done
userns=() && [[ $(id -u) -eq 0 ]] || userns=(-r)
# shellcheck disable=SC2016 # expanded by the inner shell
unshare "${userns[@]}" -m --propagation private bash -c 'mount -t tmpfs -o size=2m,nr_inodes=100 tmpfs game ||
  exit 77
  mkdir -p game/Art game/Text && echo game >game/Quorvane && printf 1.29 >game/Text/version.txt
  list() { cd game && find . | sort && find . -type f -exec md5sum {} + | sort; }
  echo old >game/Art/f1.png && (list) >before
  QT_QPA_PLATFORM= "$0" --install game Big >big.out 2>&1 || echo $? >big.status
  QT_QPA_PLATFORM= "$0" --install game Many >many.out 2>&1 || echo $? >many.status
  (list) >after' "$program" || status=$?
[[ ${status:-0} != 77 ]] || exit 77
cat big.out many.out
failures=0
grep -qF "It needs 3000000 bytes on the disk $work/game, which has" big.out && [[ $(cat big.status) == 1 ]] ||
  { echo "FAIL: the update larger than the disk was not refused"; ((++failures)); }
grep -qF "The update stopped and took back what it had installed" many.out && [[ $(cat many.status) == 1 ]] ||
  { echo "FAIL: the full disk was not said"; ((++failures)); }
diff before after || { echo "FAIL: the installation is not as it was"; ((++failures)); }
((failures == 0))
