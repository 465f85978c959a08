#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it on this machine with apt (which brings what
# it depends on), starts the installed program under Xvfb as a user would from the menu, and removes the
# package again.
#
# Usage: package_install_test.sh BUILD_FOLDER
# Skipped when not root or when the package is installed already (it is never replaced or removed then).
set -euo pipefail
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/desktop_session.sh"

readonly PACKAGE=quorvane-updater APP_ID=io.github.quorvane.Updater
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300)

[[ $(id -u) -eq 0 ]] || skip "installing a package needs root"
require_tools cpack dpkg-deb apt-get flock Xvfb xdotool
# One at a time on this machine: two runs would install and remove the same package under each other.
exec 9>/var/lock/quorvane-updater-package-test.lock
flock -w 900 9 || fail "another run of this test holds the lock"
dpkg-query -W -f='${db:Status-Status}' "$PACKAGE" 2>/dev/null | grep -qx installed &&
  skip "$PACKAGE is installed already; this test installs and removes its own copy only"

installed=0
remove_package() {
  ((installed)) || return 0
  installed=0
  "${apt[@]}" remove "$PACKAGE" </dev/null || echo "could not remove $PACKAGE" >&2
}
trap '_desktop_cleanup; remove_package' EXIT

(cd "$1" && cpack -G DEB -B "$work/package") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack could not build the package"; }
deb=$(find "$work/package" -maxdepth 1 -name "${PACKAGE}_*.deb" | head -n 1)
[[ -n "$deb" ]] || fail "cpack wrote no package: $(ls "$work/package")"
dpkg-deb --info "$deb"

# What the package must name to run on a machine that has nothing else.
depends=$(dpkg-deb --field "$deb" Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins qt6-image-formats-plugins \
  "plocate | mlocate" "default-jdk-headless | openjdk-17-jdk-headless"; do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done
installed=1
"${apt[@]}" install --no-install-recommends "$deb" </dev/null || fail "apt could not install the package"

# Started the way the menu starts it: the Exec line of the installed entry (its file list, %F, empty), from
# the PATH; its files' places are install_layout_test.sh's to check.
exec_line=$(sed -n 's/^Exec=\(.*\) %F$/\1/p' "/usr/share/applications/$APP_ID.desktop")
[[ -n "$exec_line" && "$(command -v "$exec_line")" == /usr/bin/quorvane-updater ]] ||
  fail "the entry does not start the installed program"
new_home "$work/home"
make_installation "$work/games/Quorvane"
write_preferences "$preferences" "$work/games/Quorvane"
start_desktop
start_program sh -c 'cd "$HOME" && exec env -u QT_QPA_PLATFORM PATH=/usr/bin:/bin "$1"' sh "$exec_line"
close_program
remove_package
[[ ! -e /usr/bin/quorvane-updater ]] || fail "removing the package left the program behind"
echo "PASSED: installed, started and removed $(basename "$deb")"
