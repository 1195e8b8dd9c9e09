# Shared steps of the live benchmarks (sourced, not run): a realtime JACK
# server with the dummy driver, a dense song, a client under test fed with
# it, and the client's measurements. Every process is ended by its own id.
#
# After `live_setup BUILD`, these are set: LIVE_SERVER, LIVE_WORK, LIVE_BUILD.

live_pids=()

live_cleanup() {
  local pid
  for pid in "${live_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${live_pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  [ -n "${LIVE_WORK:-}" ] && rm -rf "$LIVE_WORK"
}

# live_setup BUILD_DIR PERIOD SECONDS: jackd up, the dense song written.
live_setup() {
  LIVE_BUILD=$1
  local period=$2 seconds=$3
  for program in "$LIVE_BUILD/norvkeys" "$LIVE_BUILD/bench/live/bench_midi_feeder" "$LIVE_BUILD/bench/live/bench_silent_client"; do
    [ -x "$program" ] || { echo "live: $program is missing; build norvkeys and live_benches in $LIVE_BUILD" >&2; return 1; }
  done
  LIVE_WORK=$(mktemp -d)
  LIVE_SERVER=norvbench-$$
  trap live_cleanup EXIT
  jackd -n "$LIVE_SERVER" -R -d dummy -r 48000 -p "$period" >"$LIVE_WORK/jackd.log" 2>&1 &
  live_pids+=($!)
  if ! jack_wait -s "$LIVE_SERVER" -w -t 10 >/dev/null 2>&1; then
    echo "live: jackd did not come up:" >&2
    cat "$LIVE_WORK/jackd.log" >&2
    return 1
  fi
  "$LIVE_BUILD/norvkeys" dense-song --seconds "$seconds" "$LIVE_WORK/dense.mid"
}

# live_wait_line FILE PREFIX: the first line of FILE starting with PREFIX, waiting up to 60 s.
live_wait_line() {
  local file=$1 prefix=$2 line
  for _ in $(seq 600); do
    line=$(grep -m1 "^$prefix" "$file" 2>/dev/null || true)
    [ -n "$line" ] && { echo "$line"; return 0; }
    sleep 0.1
  done
  echo "live: no \"$prefix\" line in $file" >&2
  return 1
}

# live_run LABEL PORT -- COMMAND...: starts COMMAND (which writes its
# measurements at SIGINT), waits for its "client NAME" line, feeds the song
# into PORT ("%c" stands for the client's name), then interrupts it.
live_run() {
  local label=$1 port=$2
  shift 3
  local log="$LIVE_WORK/$label.log"
  "$@" >"$log" 2>&1 &
  local pid=$!
  live_pids+=($pid)
  local client
  client=$(live_wait_line "$log" "client ") || { cat "$log" >&2; return 1; }
  client=${client#client }
  "$LIVE_BUILD/bench/live/bench_midi_feeder" --server "$LIVE_SERVER" --to "${port//%c/$client}" "$LIVE_WORK/dense.mid" >/dev/null
  kill -INT "$pid"
  wait "$pid" || { echo "live: $label ended with an error:" >&2; cat "$log" >&2; return 1; }
}

# live_report FILE...: one line per measurement, shares of the period in percent.
live_report() {
  printf '%-16s %10s %8s %8s %8s %8s %6s\n' client callbacks p50% p99% p99.9% worst% xruns
  awk '{ printf "%-16s %10d %8.2f %8.2f %8.2f %8.2f %6d\n", $1, $3, 100*$5, 100*$7, 100*$9, 100*$11, $13 }' "$@"
}
