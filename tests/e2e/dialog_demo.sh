# Shared by the tests that drive dialog_demo.exe (sourced after lib.sh and
# e2e_begin): the demo opens a dialog over a stand-in wizard window, logs
# "open", the checks it makes from inside, "answer = ..." and "done".
DEMO="$WIN_DIR/dialog_demo.exe"
[ -f "$DEMO" ] || { echo "missing $DEMO"; exit 1; }
LOG="$T/demo.log"

# Waits until the demo has logged a line matching $1; a failure is counted
# and the test goes on.
wait_for() {
  for _ in $(seq 1 300); do
    grep -q -- "$1" "$LOG" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "FAIL: no log line matching '$1'"
  failures=$((failures + 1))
}

# Starts the demo: start_demo MODE [ARGUMENT]; waits until the dialog is open.
start_demo() {
  rm -f "$LOG"
  timeout 120 "$WINE64" "$DEMO" "$(winpath "$LOG")" "$@" >"$T/wine.out" 2>&1 &
  DEMO_PID=$!
  wait_for '^open$'
  sleep 0.5
}

# Ends a demo run and checks what it logged: finish_demo WHAT ANSWER.
finish_demo() {
  wait_for '^done$'
  wait "$DEMO_PID" || true
  grep -E '^(FAIL|info)' "$LOG" | sed "s/^/$1: /" || true
  check "$1: checks inside the demo" "$(grep -c '^FAIL' "$LOG")" 0
  check "$1: answer" "$(sed -n 's/^answer = //p' "$LOG" | tr -d '\r')" "$2"
}
