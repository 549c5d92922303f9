#!/usr/bin/env bash
# Makes the Wine run the Windows tests share (see lib.sh): the prefix, its X server, the
# wineserver kept for the run. Its processes outlive this script; wine_cleanup.sh ends them.
# Usage: wine_setup.sh STATE_FILE SOURCE_DIR
set -euo pipefail
source "$2/tests/integration/common.sh"
source "$2/tests/integration/windows/lib.sh"
wine_run_stop "$1"
wine_run_start "$1" "$2"
