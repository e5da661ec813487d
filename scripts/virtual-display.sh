# Sourced by the scripts: Xvfb displays of our own, stopped by their process ids.
# Each start sets DISPLAY to a new display; stop ends them all and the
# wineserver of WINEPREFIX.

V7ER_XVFB_PIDS=()

start_virtual_display() {
  local number=90
  while [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]]; do number=$((number + 1)); done
  Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  V7ER_XVFB_PIDS+=($!)
  export DISPLAY=":$number"
  for _ in $(seq 100); do
    [[ -e /tmp/.X11-unix/X$number ]] && return 0
    sleep 0.1
  done
  echo "could not start Xvfb on $DISPLAY" >&2
  return 1
}

stop_virtual_display() {
  if [[ -n ${WINEPREFIX:-} ]]; then wineserver -k 2>/dev/null || true; fi
  local pid
  for pid in "${V7ER_XVFB_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  V7ER_XVFB_PIDS=()
}
