# Helpers of the shell tests under X, sourced by their libraries (launcher/lib.sh, desktop/lib.sh).

# wait_until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; false on time-out.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

pixel() {  # pixel X Y -> rrggbb of the screen
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- | tail -n 1 | grep -o '#[0-9A-F]\{6\}' | head -n 1
}

# gold COLOUR / gold_at X Y: the demo login page's gold submit button (a colour, a screen point).
gold() {
  [[ $1 =~ ^#[0-9A-F]{6}$ ]] || return 1
  local r=$((16#${1:1:2})) g=$((16#${1:3:2})) b=$((16#${1:5:2}))
  [ "$r" -gt 200 ] && [ "$g" -gt 120 ] && [ "$b" -lt $((r - 80)) ]
}
gold_at() { gold "$(pixel "$1" "$2")"; }
