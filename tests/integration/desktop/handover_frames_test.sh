#!/usr/bin/env bash
# The login page holds a frame from another site that navigates itself to an address with the
# game header (pointing the game at its own page): the launcher stays and hands nothing over.
# The page's own form still starts the game.
# Usage: handover_frames_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
source "$source/tests/integration/desktop/lib.sh"
desktop_start

# The other site: one page that waits a moment and then goes to the game header.
mkdir -p "$work/other"
python3 -m http.server 0 --bind 127.0.0.1 --directory "$work/other" >"$work/other.out" 2>&1 &
on_exit "kill $!"
wait_until 5 grep -q 'port' "$work/other.out" || fail "the other site did not start"
other=$(grep -o 'port [0-9]*' "$work/other.out" | head -n 1 | cut -d' ' -f2)

# The operator's site: the demo's, with that frame in its login page.
cp -r "$source/demo/site" "$work/site"
python3 "$source/demo/site/server.py" --root "$work/site" --port 0 --quiet \
  --request-log "$work/requests" --beacon-log "$work/beacons" >"$work/site.out" &
on_exit "kill $!"
wait_until 5 test -s "$work/site.out" || fail "the demo site did not start"
port=$(awk '{print $2}' "$work/site.out")
cat >"$work/other/ad.html" <<HTML
<!DOCTYPE html><body><script>
setTimeout(() => { location.href = 'http://127.0.0.1:$port/game?http://127.0.0.1:$other/ad.html?game'; }, 500);
</script></body>
HTML
sed -i "s#</form>#</form><iframe src=\"http://127.0.0.1:$other/ad.html\" width=1 height=1></iframe>#" \
  "$work/site/login.html"

pack_demo "$work/run" "s#127\.0\.0\.1:8765#127.0.0.1:$port#g" "s#^port=8765#port=$port#"
(cd "$work/run" && exec ./demo) &
pid=$!
on_exit "kill $pid"
launcher_window() { window=$(xdotool search --onlyvisible --name '^星辰远征$' 2>/dev/null | head -n 1); [ -n "$window" ]; }
wait_until 20 launcher_window || fail "no launcher window"
wait_until 15 grep -q '^login ' "$work/beacons" || fail "the login page never loaded"

# The frame went to the header address (the site saw it), and the launcher is still there.
wait_until 10 grep -q "^GET /game?http://127.0.0.1:$other/ad.html?game " "$work/requests" ||
  fail "the frame never navigated"
sleep 1  # time for a wrong hand-over to close the launcher
xdotool search --onlyvisible --name '^星辰远征$' 2>/dev/null | grep -qx "$window" ||
  fail "the frame's navigation closed the launcher"
grep -q '^GET /game/' "$work/requests" && fail "a game page was asked for"

# The page's own form hands over.
geometry "$window"
wait_until 20 gold_at $((X + 573)) $((Y + 374)) || fail "the login page is not drawn"
xdotool mousemove $((X + 573)) $((Y + 374)) click 1
wait_until 15 grep -q '^GET /game/index.html?user=' "$work/requests" ||
  fail "the login form did not start the game"
echo "PASS"
