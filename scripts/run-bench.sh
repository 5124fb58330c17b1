#!/usr/bin/env bash
# Builds and runs the benchmarks, then prints one table of our figures beside their
# baselines. Usage: scripts/run-bench.sh [name ...], a name being what stands between px_
# and _bench (kernels, png, ...); no name runs every bench/*_bench.cpp.
#
# Each native benchmark reports its pairs as Google Benchmark counters:
#   vs_<baseline>     the baseline's time divided by ours for the same work (above 1: ours
#                     is faster);
#   <baseline>_ms     the baseline's time in milliseconds (optional);
#   ours_ms           our time as the ratio counts it (optional; else the benchmark's own
#                     time per iteration); a baseline named <tool>_<clock> pairs with
#                     ours_<clock>_ms when that is reported;
# any other counter is shown in the last column.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${PX_BUILD_DIR:-$top/build}
native=$build/native
out=$build/bench
mkdir -p "$out"

names=("$@")
if [ ${#names[@]} = 0 ]; then
  for source in "$top"/bench/*_bench.cpp; do
    base=$(basename "$source" .cpp)
    names+=("${base%_bench}")
  done
fi

targets=()
for name in "${names[@]}"; do
  if [ ! -f "$top/bench/${name}_bench.cpp" ]; then
    echo "run-bench: no bench/${name}_bench.cpp" >&2
    exit 2
  fi
  targets+=("px_${name}_bench")
done

if ! grep -q '^build px_' "$native/build.ninja" 2>/dev/null; then
  echo "run-bench: the native tree has no benchmark targets (is libbenchmark-dev installed?)" >&2
  exit 1
fi
echo "== building ${targets[*]}"
cmake --build "$native" --target "${targets[@]}" || exit 1

status=0
jsons=()
for name in "${names[@]}"; do
  program=$native/bin/px_${name}_bench
  json=$out/${name}.json
  log=$out/${name}.log
  echo "== px_${name}_bench (console output in ${log#"$top"/})"
  rm -f "$json"
  if ! "$program" --benchmark_out="$json" --benchmark_out_format=json >"$log" 2>&1; then
    echo "run-bench: px_${name}_bench failed; its output:" >&2
    tail -n 20 "$log" >&2
    status=1
  fi
  [ -s "$json" ] && jsons+=("$json")
done

# The Windows harnesses (bench/*_winbench.cpp) time the same work, and what only the Windows
# program does, under Wine, which needs a kernel that runs 32-bit programs. A named benchmark
# brings its own harness along; a whole run takes every harness.
winbench=()
if [ $# = 0 ]; then
  for source in "$top"/bench/*_winbench.cpp; do
    winbench+=("$(basename "$source" .cpp)")
  done
else
  for name in "${names[@]}"; do
    [ -f "$top/bench/${name}_winbench.cpp" ] && winbench+=("${name}_winbench")
  done
fi
# A harness's arguments: most take the folder for their files, the photo harnesses also how
# many 12-megapixel photos to make, and the painter's harness neither. The folders of 50,000
# files take most of a whole run's time: they are made and timed only with PX_BENCH_LARGE=1.
# Without it the folder-size ratio of the refresh is that of 10,000 files to 1,000, and the
# view's memory and window counts at 50,000 files are left out.
winbench_args() {
  local large= many=0
  [ "${PX_BENCH_LARGE:-0}" = 1 ] && large=50000 many=50000
  case $1 in
    single_view_paint_winbench) ;;
    browser_thumbnail_winbench) echo "Z:$2" "${PX_BENCH_FILES:-200}" ;;
    thumbnail_build_winbench) echo "Z:$2" "${PX_BENCH_FILES:-200}" 1000 10000 $large ;;
    thumbnail_view_winbench) echo "Z:$2" 10000 $many "${PX_BENCH_FILES:-200}" ;;
    *) echo "Z:$2" ;;
  esac
}
# Where the machine runs no 32-bit programs, the harnesses of the 64-bit build of the same
# sources run under 64-bit Wine instead.
wintree=win32
"$top/scripts/can-run-32bit.sh" || wintree=win64
winlogs=()
if [ ${#winbench[@]} -gt 0 ]; then
  if ! command -v wine >/dev/null; then
    echo "== skipped: ${winbench[*]} (Wine is not installed)"
  elif [ ! -f "$build/$wintree/build.ninja" ]; then
    echo "== skipped: ${winbench[*]} (no $wintree tree; run make $wintree first)"
  elif cmake --build "$build/$wintree" --target "${winbench[@]}"; then
    for harness in "${winbench[@]}"; do
      log=$out/$harness.log
      echo "== $harness under Wine, $wintree build (output in ${log#"$top"/})"
      mkdir -p "$out/$harness-files"
      # shellcheck disable=SC2046 # the arguments hold no blanks
      "$top/scripts/wine-run.sh" "$build/$wintree/bin/$harness.exe" $(winbench_args "$harness" "$out/$harness-files") \
        >"$log" 2>&1 || status=1
      winlogs+=("$log")
    done
  else
    status=1
  fi
fi

echo
python3 - "${jsons[@]}" <<'EOF' || status=1
import json
import os
import re
import sys

UNIT_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1000.0}
rows = []
for path in sys.argv[1:]:
    bench = os.path.basename(path)[: -len(".json")]
    with open(path) as f:
        data = json.load(f)
    for b in data.get("benchmarks", []):
        # The run settings Google Benchmark appends (iterations:3, min_time:2.000, real_time)
        # say how it was timed, not what.
        parts = b.get("name", "?").split("/")
        name = "/".join(p for p in parts[:1] + [p for p in parts[1:] if not re.match(
            r"(iterations|min_time|repeats|threads):|(real|manual|process)_time$", p)])
        if b.get("label"):
            name += " " + b["label"]
        if b.get("error_occurred"):
            rows.append([bench, name, "-", "error", "-", "-", b.get("error_message", "")])
            continue
        skip = {"name", "run_name", "run_type", "repetitions", "repetition_index", "threads",
                "iterations", "real_time", "cpu_time", "time_unit", "family_index",
                "per_family_instance_index", "label", "aggregate_name", "aggregate_unit",
                "bytes_per_second", "items_per_second", "error_occurred", "error_message"}
        counters = {k: v for k, v in b.items() if k not in skip and isinstance(v, (int, float))}
        own_ms = b.get("real_time", 0) * UNIT_MS.get(b.get("time_unit", "ns"), 1e-6)
        baselines = sorted(k[3:] for k in counters if k.startswith("vs_"))
        used = {"ours_ms"}
        other = []
        for k in sorted(counters):
            if k.startswith("vs_") or k.startswith("ours_"):
                continue
            if k.endswith("_ms") and k[:-3] in baselines:
                continue
            other.append("%s=%.4g" % (k, counters[k]))
        if not baselines:
            rows.append([bench, name, "%.1f" % counters.get("ours_ms", own_ms), "-", "-", "-",
                         " ".join(other)])
            continue
        for base in baselines:
            ours = counters.get("ours_ms", own_ms)
            if "_" in base:
                clock = base.rsplit("_", 1)[1]
                ours = counters.get("ours_%s_ms" % clock, ours)
            theirs = counters.get(base + "_ms")
            ratio = counters["vs_" + base]
            rows.append([bench, name, "%.1f" % ours, base,
                         "%.1f" % theirs if theirs is not None else "-",
                         "%.2f" % ratio if ratio > 0 else "-", " ".join(other)])
            other = []

head = ["bench", "benchmark", "ours ms", "baseline", "baseline ms", "baseline/ours", "other"]
widths = [max(len(str(r[i])) for r in rows + [head]) for i in range(len(head))]
right = {2, 4, 5}
def line(r):
    cells = [str(c).rjust(widths[i]) if i in right else str(c).ljust(widths[i]) for i, c in enumerate(r)]
    return "  ".join(cells).rstrip()
print(line(head))
print(line(["-" * w for w in widths]))
for r in rows:
    print(line(r))
print("baseline/ours: the baseline's time divided by ours; above 1, ours is faster.")
EOF
for log in "${winlogs[@]}"; do
  echo
  echo "$(basename "$log" .log) under Wine:"
  cat "$log"
done
exit $status
