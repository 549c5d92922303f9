#!/usr/bin/env bash
# The Win32 browser host against Wine's control (tests/windows/BrowserHostWine.cpp, built with
# the Windows launcher): navigation events and their cancelling, the error of a page Wine cannot
# show, the documents' host answers, the external object. A server on 127.0.0.1 logs what it is
# asked for: the refused navigation must never reach it, the allowed one must.
# Usage: browser_host_test.sh BUILD_DIR SOURCE_DIR LAUNCHER_EXE WINE_STATE
set -uo pipefail
build=$1 source=$2 winexe=$3
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/windows/lib.sh"
wine_attach "$4"

program="$(dirname "$winexe")/tests/windows/browser_host_tests.exe"
[ -f "$program" ] || fail "no $program (the Windows build makes it)"
cat >"$work/server.py" <<'PY'
import http.server, sys
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(sys.argv[1], 'a') as log:
            log.write(self.path + '\n')
        self.send_response(200)
        self.send_header('Content-Length', '0')
        self.end_headers()
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(('127.0.0.1', 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
PY
: >"$work/requests"
python3 "$work/server.py" "$work/requests" >"$work/port" &
on_exit "kill $!"
closed=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
wait_until 10 test -s "$work/port" || fail "the test server did not start"

timeout 180 wine "$program" "$(cat "$work/port")" "$closed" </dev/null ||
  fail "the browser host's checks failed under Wine"
! grep -q '^/blocked' "$work/requests" || fail "the refused navigation reached the server"
grep -q '^/allowed?q=1$' "$work/requests" ||
  fail "the allowed navigation never reached the server: $(cat "$work/requests")"
echo "PASS"
