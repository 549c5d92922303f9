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
