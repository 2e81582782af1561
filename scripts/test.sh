#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   0. the layers (no folder includes a folder above it) and the format of every C++ file
#      (scripts/check-layers.sh, scripts/check-format.sh);
#   1. the unit, widget and end-to-end tests (ctest) against a private PulseAudio daemon;
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the stack's tests where threads meet (registration, media, H.245, calls) built with
#      ThreadSanitizer;
#   4. a short run of every libFuzzer target from its seed corpus.
# VANTRO_TEST_QUICK=1 runs steps 0 and 1 only. VANTRO_FUZZ_SECONDS sets the time per fuzz target.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/deps.sh || exit 1

pulse_dir=$(mktemp -d /tmp/vantro-pulse.XXXXXX)
cleanup() {
  bash "$root/scripts/pulse-test-daemon.sh" stop "$pulse_dir"
  rm -rf "$pulse_dir"
}
trap cleanup EXIT
if server=$(bash scripts/pulse-test-daemon.sh start "$pulse_dir"); then
  export PULSE_SERVER=$server
  # The daemon is there: a sound test that finds no server fails rather than skips.
  export VANTRO_SOUND_REQUIRED=1
  echo "PulseAudio test daemon at $PULSE_SERVER"
else
  echo "warning: no PulseAudio test daemon; sound tests run their no-server cases only" >&2
fi

passed=0
failed=0
status=0
# run_ctest <build folder> [ctest options...]: runs its tests and adds their counts to the totals.
run_ctest() {
  local log dir=$1
  shift
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure -j "${VANTRO_JOBS:-$(nproc)}" "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [[ -n "$line" ]]; then
    local total fails
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - fails))
    failed=$((failed + fails))
  elif [[ $rc -ne 0 ]]; then
    failed=$((failed + 1))
  fi
  [[ $rc -eq 0 ]] || status=1
  rm -f "$log"
}

echo "=== layers and format"
if bash scripts/check-layers.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi
if bash scripts/check-format.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi

echo "=== build"
if bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
  echo "=== tests"
  run_ctest build
else
  failed=$((failed + 1)); status=1
fi

if [[ "${VANTRO_TEST_QUICK:-0}" != 1 ]]; then
  echo "=== sanitizer build (ASan + UBSan)"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0
  export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  if bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTRO_SANITIZE=ON -DVANTRO_BENCH=OFF; then
    echo "=== sanitizer tests"
    run_ctest build-asan
  else
    failed=$((failed + 1)); status=1
  fi
  unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

  echo "=== thread sanitizer build (the stack's tests where threads meet)"
  tsan_tests=(test_ras_units test_rtp_session test_media_channels test_media_sound test_h245 test_h225_channel
              test_h225_calls test_h225_replay test_endpoint test_gatekeeper_registration test_gatekeeper_calls
              test_calls_e2e test_listener_flood
              # the window's side of calls and its workers, and the hand-over to the window's thread
              # (widget tests; their suppressions come with them)
              dialer_tests call_window_tests h323_tests web_tests platform_tests
              # the call tool: its endpoint's callbacks become events for the main thread
              call_tool_tests call_tool_program_tests)
  export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp second_deadlock_stack=1"
  # -O1: what ThreadSanitizer needs for its reports, in less compile time than -O2.
  if VANTRO_BUILD_TARGET="${tsan_tests[*]}" bash scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
       -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DVANTRO_TSAN=ON -DVANTRO_BENCH=OFF; then
    echo "=== thread sanitizer tests"
    run_ctest build-tsan -R "^($(IFS='|'; echo "${tsan_tests[*]}"))\$"
  else
    failed=$((failed + 1)); status=1
  fi
  unset TSAN_OPTIONS

  echo "=== fuzz targets"
  if CC=clang CXX=clang++ VANTRO_BUILD_TARGET=fuzzers bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
       -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
       -DVANTRO_FUZZ=ON -DVANTRO_TESTS=OFF -DVANTRO_BENCH=OFF; then
    seconds=${VANTRO_FUZZ_SECONDS:-8}
    # One target per core at a time; each writes its verdict to a file of its own.
    verdicts=$(mktemp -d)
    run_fuzzer() {
      local fuzzer=$1 name work
      name=$(basename "$fuzzer")
      work=$(mktemp -d)
      [[ -d "fuzz/corpus/$name" ]] && cp -r "fuzz/corpus/$name/." "$work/"
      if "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 "$work" >"$work.log" 2>&1; then
        echo "fuzz $name: no finding in ${seconds}s ($(grep -oE 'DONE +cov: [0-9]+' "$work.log" | tail -1))" \
          >"$verdicts/$name.ok"
      else
        { echo "fuzz $name: FAILED"; tail -60 "$work.log"; } >"$verdicts/$name.failed"
      fi
      rm -rf "$work" "$work.log"
    }
    export -f run_fuzzer
    export seconds verdicts
    find build-fuzz/fuzz -type f -executable -name 'fuzz_*' | sort |
      xargs -P "${VANTRO_JOBS:-$(nproc)}" -I{} bash -c 'run_fuzzer "$1"' _ {}
    for verdict in "$verdicts"/*; do
      cat "$verdict"
      if [[ $verdict == *.ok ]]; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi
    done
    rm -rf "$verdicts"
  else
    failed=$((failed + 1)); status=1
  fi
fi

echo
echo "$passed passed, $failed failed"
exit $status
