#!/usr/bin/env bash
# Ends the Wine run wine_setup.sh made and removes its prefix and home.
# Usage: wine_cleanup.sh STATE_FILE SOURCE_DIR
set -uo pipefail
source "$2/tests/integration/windows/lib.sh"
wine_run_stop "$1"
