#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program from build/bin/ on
# simulated controllers: controller-sim serves both stations on
# pseudo-terminals linked as build/bin/sim/station1 and build/bin/sim/station2,
# and ComName1/ComName2 in build/bin/Config.ini are pointed at those links
# unless they name another port already (a user's own choice is never
# overwritten). The simulator stops when the program ends. The program starts
# in build/bin/, where 帮助 finds the manual (Manual.pdf) that the build puts
# there: HelpFileName is set to it unless Config.ini names another document.
#   RIG_SIM_SPEED  how much faster than real time the controllers run (default 20)
#   RIG_SIM_ARGS   more controller-sim options, e.g. "--refuse-close A1@3"
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
BIN="$PWD/build/bin"
SIM_DIR="$BIN/sim"
SIM_LOG="$SIM_DIR/controller-sim.log"
mkdir -p "$SIM_DIR"
scripts/point-help.sh "$BIN/Config.ini" Manual.pdf
rm -f "$SIM_DIR/station1" "$SIM_DIR/station2"

# shellcheck disable=SC2086  # RIG_SIM_ARGS is a list of options
"$BIN/controller-sim" --link-dir "$SIM_DIR" --state "$SIM_DIR/state.txt" --speed "${RIG_SIM_SPEED:-20}" \
  --point-config "$BIN/Config.ini" ${RIG_SIM_ARGS:-} >"$SIM_LOG" 2>&1 &
SIM_PID=$!
stop_sim() {
  kill "$SIM_PID" 2>/dev/null || true
  wait "$SIM_PID" 2>/dev/null || true
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

for _ in $(seq 1 100); do
  [[ -L "$SIM_DIR/station1" && -L "$SIM_DIR/station2" ]] && break
  if ! kill -0 "$SIM_PID" 2>/dev/null; then
    cat "$SIM_LOG" >&2
    echo "The controller simulator did not start." >&2
    exit 1
  fi
  sleep 0.05
done
grep -E '^ComName' "$SIM_LOG" || true
echo "Simulated controllers: $SIM_DIR/station1 and $SIM_DIR/station2 (their log: $SIM_LOG)."

# A bare help file name is looked up from the working folder.
cd "$BIN"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found: starting the program in a virtual X server (xvfb-run)."
  xvfb-run -a -s "-screen 0 1920x1080x24" "$BIN/hx4417"
else
  "$BIN/hx4417"
fi
