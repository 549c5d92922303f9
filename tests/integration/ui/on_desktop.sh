#!/usr/bin/env bash
# Runs a test program (with its arguments) on a desktop of its own: a private X server with a
# window manager, no panel. Exits with the program's status.
set -euo pipefail
source "$(dirname "$0")/../desktop/lib.sh"
desktop_start --no-panel
"$@"
