#!/usr/bin/env bash
# Regenerates docs/screenshot.png, the README's picture of the window: the program started on Xvfb with
# a home folder of its own whose preferences list two installations and a damaged one.
#
# Usage: scripts/screenshot.sh [PROGRAM]   (without PROGRAM: builds it with the release preset)
# The installations are made under /home/player on a tmpfs mounted in a private mount namespace, so the
# picture shows ordinary paths and the machine's /home is not touched; where no namespace can be made,
# they are made in a temporary folder instead.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [[ "${1:-}" != --inside ]]; then
  program=${1:-}
  if [[ -z "$program" ]]; then
    scripts/install-dependencies.sh --tests
    cmake --preset release >/dev/null
    cmake --build --preset release --target quorvane-updater
    program=build/release/app/quorvane-updater
  fi
  program=$(realpath "$program")
  namespace=(unshare --mount --propagation private)
  [[ $(id -u) -eq 0 ]] || namespace=(unshare --map-root-user --mount --propagation private)
  if "${namespace[@]}" true 2>/dev/null; then
    exec "${namespace[@]}" bash "$0" --inside "$program" /home
  fi
  exec bash "$0" --inside "$program" ""
fi

program=$2
if [[ -n "$3" ]]; then
  # In the private mount namespace: an empty /home of its own.
  mount -t tmpfs -o mode=755 tmpfs /home
  top=/home
else
  top=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-screenshot.XXXXXX")
fi
# shellcheck source=tests/desktop/desktop_session.sh
source tests/desktop/desktop_session.sh
trap '_desktop_cleanup; [[ "$top" == /home ]] || rm -rf "$top"' EXIT

new_home "$top/player"
games="$top/player/Games"
make_installation "$games/Quorvane"
make_installation "$games/Quorvane (copy)"
make_installation "$games/Quorvane 1.28"
printf '1.28' >"$games/Quorvane 1.28/Text/version.txt"
write_preferences "$XDG_CONFIG_HOME/quorvane-updater/preferences.ini" \
  "$games/Quorvane" "$games/Quorvane 1.28" "$games/Quorvane (copy)"

start_desktop
start_program "$program"
# The window shows before it is painted: wait for its three icons (the folder blue), then let it settle.
painted() {
  (($(xwd -id "$window" -silent | python3 tests/desktop/screenshot.py "$root/docs/screenshot.png" 0 0 9999 9999 5a9ae0 |
    awk '{ print $2 }') > 600)) || { sleep 0.4; false; }
}
wait_until "the window never showed its installations" painted
sleep 0.5
xwd -id "$window" -silent | python3 tests/desktop/screenshot.py "$root/docs/screenshot.png"
close_program
echo "Wrote docs/screenshot.png"
