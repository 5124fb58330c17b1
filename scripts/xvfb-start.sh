# Sourced: starts a private Xvfb on a display number the server picks itself (no race with
# other runs on the same machine), exports DISPLAY and sets xvfb_pid.
xvfb_pid=
start_xvfb() {
  local out
  out=$(mktemp)
  Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$out" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$out" ] && break
    sleep 0.1
  done
  export DISPLAY=:$(head -n 1 "$out")
  rm -f "$out"
}
