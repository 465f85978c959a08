#!/usr/bin/env bash
# The update run with the accessibility bridge on, against the same run offscreen: the bench's
# 20,000-file tmpfs update driven in the real window on Xvfb, with a session bus, the accessibility bus and
# a listener that asks for what a screen reader asks for, taking turns with the offscreen run.
#   bench/accessibility.sh [ROUNDS]     (run bench/run.sh --scenario update once first: it makes the tree)
# Prints each run and the medians.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
sudo=() && [[ $(id -u) -ne 0 ]] && sudo=(sudo)
for package in xvfb dbus-x11 at-spi2-core python3-gi gir1.2-atspi-2.0; do
  dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed ||
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "$package" </dev/null
done
bench=${QUORVANE_BENCH_BUILD:-build/bench}/bench/quorvane-bench
tree=${QUORVANE_BENCH_TREE:-/dev/shm/quorvane-bench/update-20000}
[[ -x $bench && -d $tree/update ]] || { echo "run bench/run.sh --scenario update first" >&2; exit 64; }
work=$(mktemp -d /dev/shm/quorvane-a11y.XXXXXX)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1600x1200x24 >/dev/null 2>&1 & xvfb=$!
DBUS_SESSION_BUS_ADDRESS=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$work/bus.pid")
export DBUS_SESSION_BUS_ADDRESS DISPLAY=$display
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & launcher=$!
sleep 1
/usr/bin/python3 bench/screen_reader_listener.py >"$work/listener.out" 2>&1 & listener=$!
trap 'kill $listener $launcher $xvfb $(cat "$work/bus.pid") 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
for ((round = 1; round <= rounds; ++round)); do
  for mode in offscreen accessible; do
    rm -rf "$work/run" && mkdir -p "$work/run" && cp -a "$tree/installation/Quorvane" "$work/run/" && sync
    if [[ $mode == offscreen ]]; then
      environment=(QT_QPA_PLATFORM=offscreen)
    else
      environment=(QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)
    fi
    env "${environment[@]}" "$bench" --child-update "$work/run/Quorvane" "$tree/update/Forest Pack" \
      "$work/run/preferences.ini" /usr/bin/jar >"$work/out" 2>&1
    seconds=$(sed -n 's/^seconds=//p' "$work/out")
    echo "round $round $mode ${seconds:-failed}" | tee -a "$work/times"
  done
done
kill -TERM $listener && wait $listener 2>/dev/null || true
for mode in offscreen accessible; do
  awk -v m=$mode '$3 == m {print $4}' "$work/times" | sort -n |
    awk -v m=$mode '{v[NR] = $1} END {printf "%-10s median %.3f s (%.3f to %.3f), %d runs\n", m, v[int((NR + 1) / 2)], v[1], v[NR], NR}'
done
echo "screen reader events heard: $(sed -n 's/^events //p' "$work/listener.out")"
