# The player's desktop for tests: a private X server with a window manager (openbox) and a
# panel of 40 pixels at the bottom (tint2), a recording web browser, and a scratch folder; all
# of it ends with the test. Desktop tests run beside the bare-X ones, each on its own display.
# Source it after setting build and source (the build tree and the source tree); it sets work,
# DISPLAY, HOME and the XDG folders, and defines helpers.
#   desktop_start [--no-panel] [--no-wm] [--screen=WxH]   the display (1920x1080), openbox, tint2
#   wait_until SECONDS COMMAND...          polls COMMAND every 0.1 s; false on time-out
#   net_state WINDOW                       the window manager's _NET_WM_STATE atoms, one a line
#   has_state WINDOW ATOM                  e.g. has_state "$w" _NET_WM_STATE_FULLSCREEN
#   geometry WINDOW                        sets X Y WIDTH HEIGHT (frame excluded)
#   work_area                              prints "x y width height" of _NET_WORKAREA
#   pixel X Y                              rrggbb of the screen
#   opened                                 the addresses the desktop's browser was asked to open
#   fail MESSAGE                           screenshot to $TEST_SCREENSHOT or $work/failure.png
command -v Xvfb >/dev/null || { echo "no Xvfb: skipped"; exit 0; }
command -v openbox >/dev/null || { echo "no openbox: skipped"; exit 0; }

work=$(mktemp -d)
desktop_pids=()
cleanup_hooks=()
desktop_cleanup() {
  local hook p
  for hook in "${cleanup_hooks[@]}"; do eval "$hook" || true; done
  for p in "${desktop_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap desktop_cleanup EXIT
# on_exit COMMAND: runs COMMAND (e.g. killing the program under test) before the desktop ends.
on_exit() { cleanup_hooks+=("$1"); }

fail() {
  echo "FAIL: $*"
  import -window root "${TEST_SCREENSHOT:-$work/failure.png}" 2>/dev/null || true
  exit 1
}

source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"

# A private home: the desktop folder, the icon folder and the browser association live there.
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_DIRS="$XDG_DATA_HOME:/usr/local/share:/usr/share"
mkdir -p "$HOME/Desktop" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_CACHE_HOME"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export NO_PROXY=127.0.0.1,localhost,::1 no_proxy=127.0.0.1,localhost,::1

# The recording browser: the default handler of http and https appends each address to a file.
cat >"$work/record-url" <<SH
#!/bin/sh
printf '%s\n' "\$@" >>"$work/opened"
SH
chmod +x "$work/record-url"
cat >"$XDG_DATA_HOME/applications/test-recorder.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Recorder
Exec=$work/record-url %u
MimeType=x-scheme-handler/http;x-scheme-handler/https;text/html;
NoDisplay=true
DESKTOP
cat >"$XDG_CONFIG_HOME/mimeapps.list" <<LIST
[Default Applications]
x-scheme-handler/http=test-recorder.desktop
x-scheme-handler/https=test-recorder.desktop
text/html=test-recorder.desktop
LIST
opened() { cat "$work/opened" 2>/dev/null || true; }

desktop_start() {
  local panel=1 wm=1 arg n screen=1920x1080
  for arg in "$@"; do
    case $arg in
      --no-panel) panel=0 ;;
      --no-wm) wm=0 panel=0 ;;
      --screen=*) screen=${arg#--screen=} ;;
    esac
  done
  for n in $(seq 150 199); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] || break
  done
  Xvfb ":$n" -screen 0 "${screen}x24" -noreset -nolisten tcp >"$work/xvfb.log" 2>&1 &
  desktop_pids+=($!)
  export DISPLAY=":$n"
  wait_until 10 xdpyinfo >/dev/null 2>&1 || fail "Xvfb :$n did not start"
  xsetroot -solid '#204080'
  if [ "$wm" = 1 ]; then
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    desktop_pids+=($!)
    wait_until 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
      fail "openbox did not start"
  fi
  if [ "$panel" = 1 ]; then
    cat >"$work/tint2rc" <<'RC'
panel_items = TS
panel_position = bottom center horizontal
panel_size = 100% 40
panel_margin = 0 0
panel_padding = 2 0 2
panel_background_id = 0
panel_layer = top
panel_dock = 0
strut_policy = follow_size
taskbar_mode = single_desktop
task_text = 1
task_icon = 1
task_maximum_size = 200 36
systray_padding = 2 2 2
systray_icon_size = 32
RC
    tint2 -c "$work/tint2rc" >"$work/tint2.log" 2>&1 &
    desktop_pids+=($!)
    # The panel has reserved its strut once the work area ends above it.
    local above=$((${screen#*x} - 40))
    wait_until 10 sh -c '[ "$(xprop -root _NET_WORKAREA | sed "s/.*= //" | cut -d, -f4 | tr -d " ")" = '"$above"' ]' ||
      fail "tint2 did not reserve its 40 pixels"
  fi
}

net_state() {
  xprop -id "$1" _NET_WM_STATE 2>/dev/null | sed 's/.*= //' | tr ',' '\n' | tr -d ' '
}
has_state() { net_state "$1" | grep -qx "$2"; }

geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
}

work_area() {
  xprop -root _NET_WORKAREA | sed 's/.*= //' | cut -d, -f1-4 | tr -d ','
}

# pack_demo DIR [sed expressions for cg.txt...]: packs the demo skin, edited, as DIR/demo (into
# the launcher PACK_LAUNCHER names, the one built beside the packer by default).
pack_demo() {
  local dir=$1
  shift
  mkdir -p "$dir"
  cp -r "$source/demo/skin" "$dir/skin"
  local e
  for e in "$@"; do sed -i -e "$e" "$dir/skin/cg.txt"; done
  "$build/launcher-pack" build "$dir/skin" -o "$dir/demo" --exe "${PACK_LAUNCHER:-$build/launcher}" \
    >/dev/null ||
    fail "packing the demo failed"
}

# site_and_demo DIR [server options...]: starts the demo site on a free port (requests and
# beacons logged in $work) and packs the demo naming it as DIR/demo; sets port.
site_and_demo() {
  python3 "$source/demo/site/server.py" --port 0 --quiet --request-log "$work/requests" \
    --beacon-log "$work/beacons" "${@:2}" >"$work/site.out" &
  on_exit "kill $!"
  wait_until 5 test -s "$work/site.out" || fail "the demo site did not start"
  port=$(awk '{print $2}' "$work/site.out")
  pack_demo "$1" "s#127\.0\.0\.1:8765#127.0.0.1:$port#g" "s#^port=8765#port=$port#"
}
