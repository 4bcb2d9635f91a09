#!/usr/bin/env bash
# Builds the libFuzzer targets with ASan+UBSan and runs each for a bounded
# time, starting from the saved corpus fuzz/corpus/<target>. Any crash, leak or
# sanitizer report fails that target, and its input is saved in the corpus as
# a regression input (every build replays the corpus). What a run newly finds
# is merged into the corpus, minimised (libFuzzer's -merge=1).
#   --seconds N          time per target (default 30)
#   --minutes N          the same in minutes, for longer local runs
#   --no-corpus-update   leave the saved corpus as it is (test runs)
# Prints per target its executions, covered edges, features and corpus size.
# Last line: "fuzz: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
top=$(pwd)
seconds=30
update=1
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --minutes) seconds=$(($2 * 60)); shift 2 ;;
    --no-corpus-update) update=0; shift ;;
    *) echo "fuzz: unknown option $1" >&2; exit 2 ;;
  esac
done

dir=build/fuzz
mkdir -p build
if ! { CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVANTRO_FUZZ=ON -DVANTRO_SANITIZE=address,undefined >"$dir.configure.log" 2>&1 &&
       cmake --build "$dir" -j"$(nproc)" >"$dir.build.log" 2>&1; }; then
  tail -n 40 "$dir.configure.log" "$dir.build.log" 2>/dev/null
  echo "fuzz: 0 passed, 1 failed"
  exit 1
fi

passed=0
failed=0
total_runs=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "$dir"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$work/$name"
  mkdir -p "$corpus"
  saved="$top/fuzz/corpus/$name"
  mkdir -p "$saved"
  cp "$saved"/* "$corpus"/ 2>/dev/null
  log="$work/$name.log"
  if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$work/$name-" "$corpus" >"$log" 2>&1; then
    passed=$((passed + 1))
    # The last status line: "#N DONE cov: C ft: F corp: K/..." (libFuzzer).
    stats=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -n 1)
    runs=$(grep -oE 'Done [0-9]+ runs' "$log" | tail -n 1 | grep -oE '[0-9]+')
    cov=$(echo "$stats" | grep -oE 'cov: [0-9]+' | grep -oE '[0-9]+')
    ft=$(echo "$stats" | grep -oE 'ft: [0-9]+' | grep -oE '[0-9]+')
    corp=$(echo "$stats" | grep -oE 'corp: [0-9]+' | grep -oE '[0-9]+')
    total_runs=$((total_runs + ${runs:-0}))
    printf 'fuzz: %-24s ok: %10s runs in %ss, %6s edges, %6s features, corpus %s\n' \
      "$name" "${runs:-?}" "$seconds" "${cov:-?}" "${ft:-?}" "${corp:-?}"
    if [ "$update" -eq 1 ]; then
      before=$(find "$saved" -type f | wc -l)
      "$target" -merge=1 "$saved" "$corpus" >"$work/$name.merge.log" 2>&1
      echo "fuzz: $name: $(($(find "$saved" -type f | wc -l) - before)) new inputs saved in fuzz/corpus/$name"
    fi
  else
    failed=$((failed + 1))
    echo "fuzz: $name FAILED"
    grep -E 'ERROR|SUMMARY|runtime error|==[0-9]+==' "$log" | head -n 20
    for a in "$work/$name"-*; do
      [ -e "$a" ] && cp "$a" "$saved/" &&
        echo "fuzz: input kept as a regression input: fuzz/corpus/$name/$(basename "$a")"
    done
  fi
done
echo "fuzz: $total_runs runs in all, ${seconds}s per target"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
