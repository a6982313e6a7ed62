#!/usr/bin/env bash
# Builds the libFuzzer harnesses (preset "fuzz", clang with ASan and UBSan)
# and runs each for SECONDS (default 60), two at a time.
# Usage: scripts/fuzz.sh [SECONDS] [HARNESS...]   (harnesses: base64 tagscan
# xmlquery documento openflow estrazione firma archivio messaggi controlli
# schemarapido; all when none is named)
# New inputs go to build-fuzz/corpus-HARNESS/, crash inputs to
# build-fuzz/artifacts-HARNESS/, the output to build-fuzz/fuzz-HARNESS.log.
# FUZZ_ARGS adds libFuzzer options (e.g. FUZZ_ARGS=-max_len=65536).
# Exits non-zero when any harness found something.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -eq 0 ] && harnesses=(base64 tagscan xmlquery documento openflow estrazione firma archivio messaggi controlli schemarapido)
parallel=${FUZZ_PARALLEL:-2}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build=build-fuzz
# The harnesses write their inputs to files: memory-backed scratch folders
# spare the disk the saving's flushes.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
run_one() {
    local name=$1
    local corpus=$build/corpus-$name artifacts=$build/artifacts-$name/
    mkdir -p "$corpus" "$artifacts"
    local seeds=()
    mapfile -t seeds <"$build/fuzz/fuzz_$name.seeds"
    # The first folder is the writable corpus; the committed seeds are only read.
    # -timeout catches hangs; the memory limit leaves room for two at a time.
    "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -dict=fuzz/fatture.dict -artifact_prefix="$artifacts" -print_final_stats=1 ${FUZZ_ARGS:-} \
        "$corpus" "${seeds[@]}" >"$build/fuzz-$name.log" 2>&1
}

failed=()
pids=()
names=()
wait_one() {
    local i=$1
    if ! wait "${pids[$i]}"; then
        failed+=("${names[$i]}")
    fi
}
for name in "${harnesses[@]}"; do
    [ -x "$build/fuzz/fuzz_$name" ] || { echo "no harness $name" >&2; exit 2; }
    if [ ${#pids[@]} -ge "$parallel" ]; then
        wait_one 0
        pids=("${pids[@]:1}")
        names=("${names[@]:1}")
    fi
    echo "fuzzing $name for ${seconds}s"
    run_one "$name" &
    pids+=($!)
    names+=("$name")
done
for i in "${!pids[@]}"; do
    wait_one "$i"
done

for name in "${harnesses[@]}"; do
    log=$build/fuzz-$name.log
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    echo "$name: ${execs:-?} executions, ${speed:-?}/s, ${cov:-cov: ?}"
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "findings in: ${failed[*]} (see $build/fuzz-NAME.log and $build/artifacts-NAME/)" >&2
    exit 1
fi
