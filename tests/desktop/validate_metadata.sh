#!/usr/bin/env bash
# Checks the desktop entry and the AppStream description as the desktop's own tools read them.
# Usage: validate_metadata.sh DESKTOP_FILE METAINFO_FILE   (exits 77 when the validators are missing)
set -euo pipefail
command -v desktop-file-validate >/dev/null || { echo "SKIPPED: desktop-file-utils is not installed"; exit 77; }
command -v appstreamcli >/dev/null || { echo "SKIPPED: appstream is not installed"; exit 77; }
# A hint is advice; anything stronger fails.
report=$(desktop-file-validate "$1" 2>&1) || { echo "$report"; exit 1; }
[[ -z "$report" ]] || echo "$report"
if grep -v ': hint: ' <<<"$report" | grep -q .; then exit 1; fi
appstreamcli validate --no-net "$2"
