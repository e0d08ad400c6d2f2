#!/usr/bin/env bash
# Builds the fuzz preset, writes the seed corpora with the project's own writers, and runs each
# fuzz target for a while (10 s by default: about a minute in all, as CI runs them).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# New inputs that reach new code are kept in build/fuzz/corpus/TARGET, so a later run goes on
# from there; a crash leaves its input in build/fuzz/findings/TARGET. Inputs that once crashed
# are kept in fuzz/regressions/TARGET and run first every time. docs/fuzzing.md says more.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-10}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
  targets=(SettingsFuzz PropertyListFuzz DeviceCatalogFuzz ScenarioFuzz ShellStepFuzz VideoFuzz)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build=build/fuzz
# libobjc's own allocations, and no fast unwinding through it (tests/lsan.supp says why).
export LSAN_OPTIONS="suppressions=${PWD}/tests/lsan.supp:fast_unwind_on_malloc=0:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
rm -rf "${build}/seeds"
"${build}/fuzz/quorvane-fuzz-seeds" "${build}/seeds"


max_len() {
  case "$1" in
    VideoFuzz) echo 65536 ;;
    ScenarioFuzz) echo 8192 ;;
    ShellStepFuzz) echo 512 ;;
    *) echo 4096 ;;
  esac
}

for target in "${targets[@]}"; do
  corpus="${build}/corpus/${target}"
  findings="${build}/findings/${target}"
  mkdir -p "${corpus}" "${findings}"
  echo "::: fuzz ${target} (${seconds} s)"
  log="${build}/findings/${target}.log"
  regressions=()
  [ -d "fuzz/regressions/${target}" ] && regressions=("fuzz/regressions/${target}")
  status=0
  "${build}/fuzz/${target}" -max_total_time="${seconds}" -max_len="$(max_len "${target}")" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="${findings}/" \
    "${corpus}" "${build}/seeds/${target}" "${regressions[@]}" >"${log}" 2>&1 || status=$?
  grep -E "^stat::(number_of_executed_units|new_units_added)" "${log}" || true
  if [ "${status}" -ne 0 ]; then
    tail -n 60 "${log}"
    echo "fuzz ${target}: failed (exit ${status}); the input is in ${findings}"
    exit 1
  fi
done
