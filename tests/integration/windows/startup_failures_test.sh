#!/usr/bin/env bash
# The Windows launcher that finds no package after itself, or bytes that are not one, says so
# in a message box captioned 启动失败, opens no window of its own, and ends when it is answered.
# Usage: startup_failures_test.sh BUILD_DIR SOURCE_DIR LAUNCHER_EXE WINE_STATE
set -uo pipefail
build=$1 source=$2 winexe=$3
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/windows/lib.sh"
wine_attach "$4"

mkdir -p "$work/bare" "$work/garbage"
cp "$winexe" "$work/bare/demo.exe"
{ cat "$winexe"; printf 'garbage garbage garbage'; } >"$work/garbage/demo.exe"
for case in "bare:没有附加配置文件,请打包配置文件" "garbage:OpenZip失败"; do
  name=${case%%:*} expected=${case#*:}
  started=$(date +%s%N)
  start_exe "$work/$name" demo.exe
  box 启动失败 30 || fail "$name: no message box"
  echo "$name: the box after $((($(date +%s%N) - started) / 1000000)) ms: '$box_text'"
  shot "startup-$name"
  [ "$box_text" = "$expected" ] || fail "$name: the box says '$box_text', not '$expected'"
  kill -0 "$pid" 2>/dev/null || fail "$name: the launcher did not wait for the answer"
  press OK
  wait_until 30 ended "$pid" || fail "$name: the launcher did not end after the answer"
  wait "$pid"
  echo "$name: exit code $?"
  [ -z "$(top_windows)" ] || fail "$name: windows stayed: $(top_windows)"
done
echo "PASS"
