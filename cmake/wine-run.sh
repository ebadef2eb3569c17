#!/usr/bin/env bash
# Runs one Windows program under Wine in the build folder's own prefix.
# The prefix is made once per build folder by scripts/wine-prefix; every process
# of it joins the one virtual desktop, where the notification area exists.
set -euo pipefail
: "${PELTORINE_WINEPREFIX:?run tests through scripts/test (PELTORINE_WINEPREFIX is not set)}"
export WINEPREFIX="$PELTORINE_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec /usr/lib/wine/wine64 "$@"
