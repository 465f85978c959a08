#!/usr/bin/env bash
# Installs a build into a temporary prefix with cmake --install and checks that everything lands where
# the desktop looks for it: the program on the PATH, the menu entry naming it and its icon, the icon in
# the hicolor theme and the AppStream description naming the entry.
# Usage: install_layout_test.sh BUILD_FOLDER
set -euo pipefail
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/desktop_session.sh"
readonly APP_ID=io.github.quorvane.Updater
cmake --install "$1" --prefix "$work" >/dev/null
[[ -x "$work/bin/quorvane-updater" ]] || fail "no program in bin/"
entry="$work/share/applications/$APP_ID.desktop"
[[ -f "$entry" ]] || fail "no desktop entry"
grep -qx 'Exec=quorvane-updater %F' "$entry" || fail "the entry does not start quorvane-updater"
grep -qx "Icon=$APP_ID" "$entry" || fail "the entry names another icon"
for size in 16 32 48 64 128 256; do
  icon="$work/share/icons/hicolor/${size}x${size}/apps/$APP_ID.png"
  # The PNG signature, then the header with the size the theme folder promises.
  printf -v header '89504e470d0a1a0a0000000d49484452%08x%08x' "$size" "$size"
  [[ "$(od -An -tx1 -N 24 "$icon" | tr -d ' \n')" == "$header" ]] || fail "no ${size}x${size} PNG icon"
done
grep -q '<svg xmlns="http://www.w3.org/2000/svg"' "$work/share/icons/hicolor/scalable/apps/$APP_ID.svg" ||
  fail "no scalable icon"
metainfo="$work/share/metainfo/$APP_ID.metainfo.xml"
grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" ||
  fail "the AppStream description does not name the desktop entry"
echo "PASSED: $(find "$work" -type f | wc -l) files installed where the desktop looks for them"
