#!/usr/bin/env bash
# The packed demo launcher with its login page from the demo site on 127.0.0.1: the page area
# keeps the placeholder colour while the (slow) login page loads and shows the page once it has
# loaded; Escape and Enter typed into the page never close the launcher; submitting the form
# hands the game address over, the launcher closes and the game window loads the address
# without the header.
# Usage: launcher_login_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
[ -n "${DISPLAY:-}" ] || { echo "no display: skipped"; exit 0; }

work=$(mktemp -d)
pid=""
site=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  [ -n "$site" ] && kill "$site" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  import -window root "${TEST_SCREENSHOT:-$work/failure.png}" 2>/dev/null || true
  echo "requests:"; cat "$work/requests" 2>/dev/null || true
  exit 1
}

# The site, with a login page that takes 3 s to arrive.
python3 "$source/demo/site/server.py" --port 0 --quiet --request-log "$work/requests" \
  --beacon-log "$work/beacons" --delay /login.html=3 >"$work/site.out" &
site=$!
for _ in $(seq 1 50); do
  [ -s "$work/site.out" ] && break
  sleep 0.1
done
port=$(awk '{print $2}' "$work/site.out")
[ -n "$port" ] || fail "the demo site did not start"

cp -r "$source/demo/skin" "$work/skin"
sed -i -e "s#127\.0\.0\.1:8765#127.0.0.1:$port#g" -e "s#^port=8765#port=$port#" "$work/skin/cg.txt"
"$build/launcher-pack" build "$work/skin" -o "$work/demo" --exe "$build/launcher" >/dev/null
xsetroot -solid '#204080'
mkdir -p "$work/home"
(cd "$work" && HOME="$work/home" ASAN_OPTIONS=detect_leaks=0 \
  LAUNCHER_SHELL_OPEN_LOG="$work/opened" exec ./demo) &
pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^星辰远征$' | head -n 1) ||
  fail "no launcher window"
eval "$(xdotool getwindowgeometry --shell "$window")"

pixel() {  # pixel X Y -> rrggbb of the screen
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- | tail -n 1 | grep -o '#[0-9A-F]\{6\}' | head -n 1
}
# The login page's submit button, in the page area (34,132)-(719,515).
bx=$((X + 573))
by=$((Y + 374))
sleep 0.5
early=$(pixel "$bx" "$by")
[ ! -s "$work/beacons" ] || fail "the login page loaded before it was looked at (delay ignored?)"
[ "$early" = "#101228" ] || fail "while loading the page area shows $early, not the placeholder #101228"

for _ in $(seq 1 100); do
  grep -q '^login ' "$work/beacons" 2>/dev/null && break
  sleep 0.1
done
grep -q '^login ' "$work/beacons" || fail "the login page never loaded"
# The engine draws the page's first frame a moment after it is shown (seconds with a software
# renderer under Xvfb); until then the placeholder stays.
gold() {
  local r=$((16#${1:1:2})) g=$((16#${1:3:2})) b=$((16#${1:5:2}))
  [ "$r" -gt 200 ] && [ "$g" -gt 120 ] && [ "$b" -lt $((r - 80)) ]
}
for _ in $(seq 1 60); do
  shown=$(pixel "$bx" "$by")
  gold "$shown" && break
  [ "$shown" = "#101228" ] || fail "after loading the page area shows $shown"
  sleep 0.25
done
gold "$shown" || fail "after loading the submit button shows $shown, not the page's gold button"
echo "page area: $early while loading, $shown once loaded"

# Keys typed into the page stay in the page.
xdotool mousemove $((X + 573)) $((Y + 300)) click 1
sleep 0.3
xdotool key Escape
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "Escape in the page closed the launcher"
xdotool search --onlyvisible --name '^星辰远征$' >/dev/null || fail "Escape hid the launcher"

# Submitting the form hands the game over.
xdotool mousemove "$bx" "$by" click 1
for _ in $(seq 1 100); do
  xdotool search --onlyvisible --name '^星辰远征$' 2>/dev/null | grep -qx "$window" || break
  sleep 0.1
done
xdotool search --onlyvisible --name '^星辰远征$' 2>/dev/null | grep -qx "$window" &&
  fail "the launcher stayed after the form was submitted"

# The game window loads the address without the header.
want="GET /game/index.html?user=%E8%88%B0%E9%95%BF&zone=1 "
for _ in $(seq 1 150); do
  grep -qF "$want" "$work/requests" 2>/dev/null && break
  sleep 0.1
done
grep -qF "$want" "$work/requests" || fail "the game page was not requested as $want"
echo "PASS"
