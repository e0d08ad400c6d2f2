#!/usr/bin/env bash
# scripts/soak-tests.sh N [PRESET]: runs the timing-sensitive suites N times beside a CPU load
# that it starts and stops itself, and reports every failure with its output.
#
# The suites: serve's (a real server, a real browser), the tests labelled `threads` (real
# threads), and those that pace the clock with the wall clock (the clock's and the shell's).
# The load is one busy loop a core (SOAK_LOAD=K for K of them), as on a shared CI machine.
# A run's output is kept in build/PRESET/soak/ when it failed; the summary lists those files.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds="${1:?usage: scripts/soak-tests.sh N [PRESET]}"
preset="${2:-default}"
load="${SOAK_LOAD:-$(nproc)}"
kept="build/${preset}/soak"
mkdir -p "${kept}"
rm -f "${kept}"/round-*.log

hogs=()
stop_load() {
  for pid in "${hogs[@]}"; do kill "${pid}" 2>/dev/null || true; done
  for pid in "${hogs[@]}"; do wait "${pid}" 2>/dev/null || true; done
  hogs=()
}
trap stop_load EXIT
for ((core = 0; core < load; core++)); do
  bash -c 'while :; do :; done' &
  hogs+=("$!")
done

# Each selection is one ctest run: -L and -R together would mean both.
selections=("-L serve|threads" "-R ClockTest|ShellTest")
failures=0
SECONDS=0
for ((round = 1; round <= rounds; round++)); do
  for selection in "${selections[@]}"; do
    log="${kept}/round-${round}-$(echo "${selection}" | tr -c 'a-zA-Z0-9\n' '_').log"
    # shellcheck disable=SC2086 # the selection is two words
    if ctest --preset "${preset}" ${selection} --output-on-failure >"${log}" 2>&1; then
      rm -f "${log}"
    else
      failures=$((failures + 1))
      echo "::: round ${round} (${selection}) FAILED, output in ${log}:"
      grep -E "^\s*[0-9]+ - |\(Failed\)|\(Timeout\)|\*\*\*" "${log}" || true
    fi
  done
  echo "::: round ${round} of ${rounds} done, ${failures} failed runs so far, ${SECONDS} s"
done

stop_load
echo "::: ${rounds} rounds beside ${load} busy loops in ${SECONDS} s: ${failures} failed runs"
[[ ${failures} -eq 0 ]]
