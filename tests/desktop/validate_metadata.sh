#!/usr/bin/env bash
# Checks the desktop entry and the AppStream description as the desktop's own tools read them.
# Usage: validate_metadata.sh DESKTOP_FILE METAINFO_FILE   (exits 77 when the validators are missing)
set -euo pipefail
skip() { echo "SKIPPED: $1 is not installed"; exit 77; }
command -v desktop-file-validate >/dev/null || skip desktop-file-utils
command -v appstreamcli >/dev/null || skip appstream
# A hint is advice; anything stronger fails.
report=$(desktop-file-validate "$1" 2>&1) || { echo "$report"; exit 1; }
[[ -z "$report" ]] || echo "$report"
if grep -v ': hint: ' <<<"$report" | grep -q .; then exit 1; fi
appstreamcli validate --no-net "$2"
