# Shared by the launcher's X tests: a scratch folder cleaned at exit, failure with a screenshot,
# screen pixels, and the packed demo started from that folder with a private home whose web
# browser records the addresses it is asked to open in $work/opened.
# Source it after setting build and source; it sets work.
[ -n "${DISPLAY:-}" ] || { echo "no display: skipped"; exit 0; }

work=$(mktemp -d)
pid=""
site=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  pkill -f "^$work/demo" 2>/dev/null || true
  [ -n "$site" ] && kill "$site" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  import -window root "${TEST_SCREENSHOT:-$work/failure.png}" 2>/dev/null || true
  if [ -s "$work/requests" ]; then
    echo "requests:"
    cat "$work/requests"
  fi
  exit 1
}

source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"

# seen EVENT [COUNT]: the site has had COUNT (default 1) load beacons of that event.
seen() {
  local n
  n=$(grep -c "^$1 " "$work/beacons" 2>/dev/null)
  [ "${n:-0}" -ge "${2:-1}" ]
}
# launcher_shown [PID]: a launcher window (of that process) is on the screen; sets window. (A
# search that trips over a window going away meanwhile fails and is tried again.)
launcher_shown() {
  window=$(xdotool search --onlyvisible ${1:+--pid "$1"} --name '^星辰远征$' 2>/dev/null | head -n 1)
  [ -n "$window" ]
}
# ended PID: the process is gone.
ended() { ! kill -0 "$1" 2>/dev/null; }

# Starts the demo site on a free port with the given extra options; sets site and port.
start_site() {
  python3 "$source/demo/site/server.py" --port 0 --quiet --request-log "$work/requests" \
    --beacon-log "$work/beacons" "$@" >"$work/site.out" &
  site=$!
  wait_until 5 test -s "$work/site.out" || true
  port=$(awk '{print $2}' "$work/site.out")
  [ -n "$port" ] || fail "the demo site did not start"
}

# Packs the demo skin (naming the site's port when one runs) as $work/demo and starts it from
# $work on a blue desktop; sets pid and window (the launcher's picture window) and X, Y of it.
start_demo() {
  cp -r "$source/demo/skin" "$work/skin"
  if [ -n "${port:-}" ]; then
    sed -i -e "s#127\.0\.0\.1:8765#127.0.0.1:$port#g" -e "s#^port=8765#port=$port#" \
      "$work/skin/cg.txt"
  fi
  "$build/launcher-pack" build "$work/skin" -o "$work/demo" --exe "$build/launcher" >/dev/null
  xsetroot -solid '#204080'
  local config="$work/home/.config" data="$work/home/.local/share"
  mkdir -p "$config" "$data/applications"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$work/opened" >"$work/record-url"
  chmod +x "$work/record-url"
  printf '[Desktop Entry]\nType=Application\nName=Recorder\nExec=%s %%u\nNoDisplay=true\n%s\n' \
    "$work/record-url" 'MimeType=x-scheme-handler/http;x-scheme-handler/https;' \
    >"$data/applications/test-recorder.desktop"
  printf '[Default Applications]\nx-scheme-handler/http=%s\nx-scheme-handler/https=%s\n' \
    test-recorder.desktop test-recorder.desktop >"$config/mimeapps.list"
  (cd "$work" && HOME="$work/home" XDG_CONFIG_HOME="$config" XDG_DATA_HOME="$data" \
    ASAN_OPTIONS=detect_leaks=0 exec ./demo) &
  pid=$!
  wait_until 20 launcher_shown "$pid" || fail "no launcher window"
  eval "$(xdotool getwindowgeometry --shell "$window")"
}
