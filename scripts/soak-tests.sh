#!/usr/bin/env bash
# Runs each unit-test program many times beside busy loops, as on a loaded CI machine, and counts its failures.
# Not part of `make test`; build first (`make build`). Usage: scripts/soak-tests.sh [-n RUNS] [-k LOOPS] [-R REGEX]
set -uo pipefail
cd "$(dirname "$0")/.."

runs=20
loops=4
pattern=.
while getopts "n:k:R:" option; do
    case "$option" in
    n) runs=$OPTARG ;;
    k) loops=$OPTARG ;;
    R) pattern=$OPTARG ;;
    *)
        echo "usage: $0 [-n RUNS] [-k LOOPS] [-R REGEX]" >&2
        exit 2
        ;;
    esac
done

source scripts/wine-env.sh
if [[ ! -f "$BUILD_DIR/CTestTestfile.cmake" ]]; then
    echo "No build in $BUILD_DIR: run 'make build' first" >&2
    exit 2
fi
scripts/create-prefix.sh

# The acceptance test drives the whole program with its own prefix and display: it is not a unit-test program.
mapfile -t programs < <(ctest --test-dir "$BUILD_DIR" -N | sed -n 's/^ *Test *#[0-9]*: \(.*\)$/\1/p' |
    grep -v '^acceptance$' | grep -E -- "$pattern")
if [[ ${#programs[@]} -eq 0 ]]; then
    echo "No test program matches '$pattern'" >&2
    exit 2
fi

logs="$BUILD_DIR/soak"
rm -rf "$logs"
mkdir -p "$logs"

start_xvfb || exit 1
start_wine_session
busy=()
cleanup() {
    for pid in "${busy[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait "${busy[@]}" 2>/dev/null
    stop_wine_session
    stop_xvfb
}
trap cleanup EXIT
for ((i = 0; i < loops; i++)); do
    bash -c 'while :; do :; done' &
    busy+=($!)
done

echo "Each program $runs times beside $loops busy loops; logs of failed runs in $logs"
total=0
for program in "${programs[@]}"; do
    failures=0
    for ((run = 1; run <= runs; run++)); do
        log="$logs/$program-$run.log"
        if ctest --test-dir "$BUILD_DIR" --output-on-failure -R "^${program}\$" >"$log" 2>&1; then
            rm -f "$log"
        else
            failures=$((failures + 1))
        fi
    done
    total=$((total + failures))
    printf '%-24s %d failures in %d runs\n' "$program" "$failures" "$runs"
done
echo "soak: $total failures"
[[ $total -eq 0 ]]
