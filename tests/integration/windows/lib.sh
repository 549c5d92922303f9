# The Windows launcher's tests under Wine: one Wine run (a prefix, a home, an X server with a
# compositing manager, a persistent wineserver) made once by wine_run_start and shared by the
# tests of one ctest run through a state file; each test attaches to it with wine_attach.
#
# Made by the fixture (wine_setup.sh / wine_cleanup.sh):
#   wine_run_start STATE SOURCE_DIR     creates the run, writes STATE (shell assignments)
#   wine_run_stop STATE                 ends the wineserver and the X server, removes the run
# In a test (source tests/integration/desktop/lib.sh first: work, fail, on_exit, pack_demo,
# site_and_demo, pixel, wait_until):
#   wine_attach STATE                   DISPLAY, WINEPREFIX... of the run; windows left by the
#                                       test's programs are ended when it ends
#   pack_windows DIR [sed...]           the demo skin packed into the Windows launcher: DIR/demo.exe
#   site_and_windows_demo DIR [server options...]   the demo site started, the demo packed for it
#   start_exe DIR NAME [ARG...]         starts DIR/NAME under Wine from DIR; sets pid
#   probe ARG...                        tests/integration/windows/WindowProbe.c in the prefix
#   top_windows                         "hwnd xid class x y w h exstyle caption" of each window
#   box [CAPTION]                       waits for a message box; sets box (hwnd), box_text,
#                                       box_caption
#   press BUTTON_TEXT                   clicks that button of the box with the pointer
#   shot NAME                           a screenshot kept as $WINDOWS_SHOTS/NAME.png
#   ended PID                           the process is gone
#   desktop_colour                      what the compositor shows where no window is
#   opened                              the addresses Wine's web browser was asked to open
#   launcher_pair                       waits for the launcher's two windows (caption 星辰远征);
#                                       sets X Y WIDTH HEIGHT of the picture window
#   game_window                         waits for the game window; sets X Y WIDTH HEIGHT
#   tray_icon                           Wine's notification area shows an icon

wine_env() {
  export WINEDEBUG=${WINEDEBUG_TESTS:--all}
  # No menu entries on the host, and neither Mono's nor Gecko's installer asking to download:
  # the page area has no engine under Wine.
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  export LANG=C.UTF-8 LC_ALL=C.UTF-8
  export NO_PROXY=127.0.0.1,localhost,::1 no_proxy=127.0.0.1,localhost,::1
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
}

# Chinese in the system's own dialogs (message boxes, menus): the dialog fonts link to a CJK font.
wine_font_links() {
  python3 - "$1" "$2" <<'PY'
import sys
value = "wqy-zenhei.ttc,WenQuanYi Zen Hei\0\0".encode("utf-16-le")
data = ",".join("%02x" % b for b in value)
faces = ["Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "Segoe UI", "Microsoft Sans Serif",
         "SimSun", "Arial"]
with open(sys.argv[1], "w", encoding="utf-16") as f:
    f.write("Windows Registry Editor Version 5.00\r\n\r\n")
    f.write("[HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser]\r\n")
    f.write('"Browsers"="%s"\r\n\r\n' % sys.argv[2])
    f.write("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n")
    for face in faces:
        f.write('"%s"=hex(7):%s\r\n' % (face, data))
PY
}

wine_run_start() {
  local state=$1 source_dir=$2 n start
  command -v wine >/dev/null && command -v Xvfb >/dev/null || { echo "no wine or Xvfb"; return 1; }
  local run
  run=$(mktemp -d /tmp/launcher-wine.XXXXXX)
  mkdir -p "$run/home" "$run/prefix"
  export HOME="$run/home" WINEPREFIX="$run/prefix"
  unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
  for n in $(seq 200 249); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] || break
  done
  Xvfb ":$n" -screen 0 1920x1080x24 -noreset -nolisten tcp >"$run/xvfb.log" 2>&1 &
  local xvfb=$!
  export DISPLAY=":$n"
  {
    echo "run=$run"
    echo "xvfb_pid=$xvfb"
    echo "export DISPLAY=$DISPLAY HOME=$HOME WINEPREFIX=$WINEPREFIX"
  } >"$state"
  wait_until 10 xdpyinfo >/dev/null 2>&1 || { echo "Xvfb :$n did not start"; return 1; }
  xsetroot -solid '#204080'
  xcompmgr >"$run/xcompmgr.log" 2>&1 &
  echo "xcompmgr_pid=$!" >>"$state"

  # The prefix: made without Gecko's and Mono's installers asking, kept by one wineserver for the
  # whole run so that each start finds it warm.
  wine_env
  start=$(date +%s%N)
  wineserver -p >"$run/wineserver.log" 2>&1
  wineboot -i >"$run/wineboot.log" 2>&1 || { echo "wineboot failed"; cat "$run/wineboot.log"; return 1; }
  # Web addresses the programs open go to a recording browser, not the host's.
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$run/opened" >"$run/record-url"
  chmod +x "$run/record-url"
  wine_font_links "$run/fontlink.reg" "$run/record-url"
  wine regedit /S "$(winepath -w "$run/fontlink.reg")" >>"$run/wineboot.log" 2>&1
  echo "prefix made in $((($(date +%s%N) - start) / 1000000)) ms"
  x86_64-w64-mingw32-gcc-posix -municode -O1 -Wall -o "$run/WindowProbe.exe" \
    "$source_dir/tests/integration/windows/WindowProbe.c" -luser32 -lshell32 ||
    { echo "the window probe did not build"; return 1; }
  # The first program with a window starts the prefix's desktop (explorer): here, not in a test.
  start=$(date +%s%N)
  wine "$run/WindowProbe.exe" windows >/dev/null 2>&1 </dev/null
  echo "first program in $((($(date +%s%N) - start) / 1000000)) ms"
}

wine_run_stop() {
  local state=$1
  [ -f "$state" ] || return 0
  local run="" xvfb_pid="" xcompmgr_pid=""
  source "$state"
  [ -n "$run" ] || return 0
  wineserver -k 2>/dev/null || true
  [ -n "$xcompmgr_pid" ] && kill "$xcompmgr_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$run" "$state"
}

wine_attach() {
  local state=$1
  [ -f "$state" ] || fail "no Wine run (the wine_setup fixture did not run)"
  source "$state"
  export HOME="$run/home"
  unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
  wine_env
  WINDOWS_SHOTS=${WINDOWS_SHOTS:-$(dirname "$state")/screens}
  mkdir -p "$WINDOWS_SHOTS"
  TEST_SCREENSHOT="$WINDOWS_SHOTS/$(basename "$0" .sh)-failure.png"
  xsetroot -solid '#204080'
  : >"$run/opened"
  # Whatever a test started ends with it, and a button a failed test held down comes up, so that
  # the next test finds an empty screen and a pointer that clicks.
  xdotool mouseup 1 2>/dev/null || true
  on_exit 'probe end demo.exe >/dev/null 2>&1; xdotool mouseup 1 2>/dev/null'
}

# (Through a file: a Wine service the probe happens to start would hold a pipe open.)
probe() {
  wine "$run/WindowProbe.exe" "$@" >"$run/probe.$$" 2>/dev/null </dev/null
  tr -d '\r' <"$run/probe.$$"
}

top_windows() { probe windows | awk -F '\t' '$1 == "top" {print $2, $3, $4, $5, $6, $7, $8, $9, $10}'; }

# pack_windows DIR [sed expressions for cg.txt...]
pack_windows() {
  local dir=$1
  shift
  PACK_LAUNCHER="$winexe" pack_demo "$dir" "$@"
  mv "$dir/demo" "$dir/demo.exe"
}

site_and_windows_demo() {
  PACK_LAUNCHER="$winexe" site_and_demo "$@"
  mv "$1/demo" "$1/demo.exe"
}

start_exe() {
  local dir=$1 name=$2
  shift 2
  (cd "$dir" && exec wine "./$name" "$@") >>"$work/run.log" 2>&1 &
  pid=$!
  on_exit "kill $pid 2>/dev/null"
}

box_found() {
  local line
  line=$(probe windows | awk -F '\t' -v cap="${1:-}" '
    $1 == "top" { inbox = ($4 == "#32770" && (cap == "" || $10 == cap)); if (inbox && !hwnd) { hwnd = $2; caption = $10 } }
    $1 == "child" && inbox && $2 != "" && $4 == "Static" && $10 != "" && !text { text = $10 }
    END { if (hwnd) print hwnd "\t" caption "\t" text }')
  [ -n "$line" ] || return 1
  IFS=$'\t' read -r box box_caption box_text <<<"$line"
}
box() { wait_until "${2:-10}" box_found "${1:-}"; }

press() {
  local x y
  read -r x y < <(probe windows | awk -F '\t' -v box="$box" -v label="$1" '
    $1 == "top" { inbox = ($2 == box) }
    $1 == "child" && inbox && $4 == "Button" && $10 == label { print int($5 + $7 / 2), int($6 + $8 / 2); exit }')
  [ -n "$x" ] || fail "the box has no button '$1'"
  xdotool mousemove "$x" "$y" click 1
}

ended() { ! kill -0 "$1" 2>/dev/null; }
desktop_colour() { pixel 1915 5; }
opened() { cat "$run/opened" 2>/dev/null || true; }

# The windows captioned 星辰远征 as "hwnd x y w h", the widest first.
titled_windows() {
  probe windows | awk -F '\t' '$1 == "top" && $10 == "星辰远征" {print $2, $5, $6, $7, $8}' |
    sort -k4,4nr
}
pair_found() {
  local lines
  lines=$(titled_windows)
  [ "$(printf '%s\n' "$lines" | grep -c .)" -ge 2 ] || return 1
  read -r picture X Y WIDTH HEIGHT <<<"$lines"
}
launcher_pair() { wait_until 30 pair_found || fail "the launcher did not show two windows"; }
game_found() {
  read -r game X Y WIDTH HEIGHT < <(titled_windows) && [ -n "$game" ] && [ "$WIDTH" -ge 1000 ]
}
game_window() { wait_until 30 game_found || fail "no game window"; }

# Explorer's window of notification icons when the X server has no notification area of its own:
# its first icon is drawn over the white.
tray_icon() {
  local id
  id=$(xdotool search --onlyvisible --name '^Wine System Tray$' 2>/dev/null | head -n 1)
  [ -n "$id" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  tray_x=$X tray_y=$Y
  [ "$(pixel $((X + 8)) $((Y + 10)))" != "#FFFFFF" ]
}

shot() {
  import -window root "$WINDOWS_SHOTS/$1.png" 2>/dev/null && echo "screenshot: $WINDOWS_SHOTS/$1.png"
}
