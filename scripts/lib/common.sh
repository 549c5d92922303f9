# Shared by scripts/test and scripts/demo. Source it; it sets ROOT and defines helpers.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

BUILD=${LAUNCHER_BUILD:-$ROOT/build}

log() { printf '\n== %s\n' "$*"; }

# Processes to stop when the script ends, whichever way it ends.
STOP_AT_EXIT=()
stop_at_exit() {
  STOP_AT_EXIT+=("$1")
  trap 'for p in "${STOP_AT_EXIT[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
}

# Configures (once) and builds a tree. configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir=$1
  shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  fi
  ninja -C "$dir"
}

# Starts a private X server when there is no display (always in CI), with -noreset so that it
# keeps its state when the last client leaves. Sets DISPLAY; the server ends with this shell.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] || break
  done
  Xvfb ":$n" -screen 0 1920x1080x24 -noreset -nolisten tcp >/tmp/launcher-xvfb-$n.log 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  stop_at_exit "$XVFB_PID"
  local i
  for i in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start (see /tmp/launcher-xvfb-$n.log)" >&2
  return 1
}
