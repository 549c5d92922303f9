#!/usr/bin/env bash
# The self-update under Wine: the demo site publishes a newer packed Windows build; the launcher
# fetches it (WinINet), its batch puts it at the launcher's own path and starts it, the new build
# asks for the version once more and shows its windows, and nothing else is left in the folder.
# A download cut short is refused: the executable stays as it was and the launcher goes on.
# Usage: self_update_test.sh BUILD_DIR SOURCE_DIR LAUNCHER_EXE WINE_STATE
set -uo pipefail
build=$1 source=$2 winexe=$3
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/windows/lib.sh"
wine_attach "$4"

# The site serves whatever $work/served.exe holds when asked.
site_and_windows_demo "$work/pk" --version 2.0 --update-exe "$work/served.exe"
pack_windows "$work/new" "s#127\.0\.0\.1:8765#127.0.0.1:$port#g" "s#^port=8765#port=$port#" \
  's#^version=.*#version=2.0#'
mkdir -p "$work/cut"
cp "$work/pk/demo.exe" "$work/cut/demo.exe"
cp "$work/pk/demo.exe" "$work/old.exe"
asked() {
  local n
  n=$(grep -c "GET $1 " "$work/requests" 2>/dev/null)
  [ "${n:-0}" -ge "$2" ]
}
files_in() { (cd "$1" && ls -A | tr '\n' ' '); }

# A build cut short in the middle of its package.
head -c $(($(stat -c %s "$work/new/demo.exe") - 4000)) "$work/new/demo.exe" >"$work/served.exe"
start_exe "$work/cut" demo.exe
wait_until 30 asked /update/launcher 1 || fail "the launcher did not fetch the build: $(cat "$work/requests")"
launcher_pair
sleep 2  # the refusal writes nothing that could be waited for
cmp -s "$work/cut/demo.exe" "$work/old.exe" || fail "the cut build changed the executable"
kill -0 "$pid" 2>/dev/null || fail "the launcher ended after the cut build"
[ "$(files_in "$work/cut")" = "demo.exe " ] || fail "left in the folder: $(files_in "$work/cut")"
probe end demo.exe
wait_until 30 ended "$pid" || fail "the launcher did not end"
: >"$work/requests"

# The whole build: installed, started, cleaned up after.
cp "$work/new/demo.exe" "$work/served.exe"
started=$(date +%s%N)
start_exe "$work/pk" demo.exe
wait_until 60 asked /update/launcher 1 || fail "the launcher did not fetch the build: $(cat "$work/requests")"
wait_until 60 asked /update/version.txt 2 || fail "no second version request (the new build did not start)"
echo "new build asking $((($(date +%s%N) - started) / 1000000)) ms after the first start"
wait_until 30 ended "$pid" || fail "the old build did not end"
wait "$pid"
echo "old build ended with $?"
launcher_pair
shot self-update-new-build
cmp -s "$work/pk/demo.exe" "$work/new/demo.exe" || fail "the file at the own path is not the served build"
wait_until 20 eval '[ "$(files_in "$work/pk")" = "demo.exe skin " ]' ||
  fail "left in the folder: $(files_in "$work/pk")"
echo "requests: $(awk '{print $1, $2}' "$work/requests" | tr '\n' ' ')"
echo "PASS"
