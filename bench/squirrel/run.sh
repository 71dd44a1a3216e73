#!/bin/sh
# Runs the language benchmarks with our `sq` and the equivalent Lua 5.4
# programs in the same run, and prints per script: our time, Lua's time,
# the ratio (ours / Lua), the peak resident memory of each run, whether our
# checksum line is the expected one, and the geometric mean of the ratios.
#
#   bench/squirrel/run.sh [SQ_BINARY] [BENCH_DIR]
#
# SQ_BINARY defaults to build/squirrel/sq/sq, BENCH_DIR to the shared
# conformance benchmarks. Each script runs once per interpreter (the
# machine is shared; run it again to see the spread).
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
sq=${1:-$root/build/squirrel/sq/sq}
benchdir=${2:-$root/../shared/conformance/bench}
lua=${LUA:-lua5.4}
[ -x "$sq" ] || { echo "run.sh: no sq binary at $sq" >&2; exit 2; }
[ -d "$benchdir" ] || { echo "run.sh: no benchmark folder $benchdir" >&2; exit 2; }
command -v "$lua" >/dev/null || { echo "run.sh: $lua not found" >&2; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

expected() {
  case "$1" in
    bench_fib) echo "fib checksum 5702887" ;;
    bench_intloop) echo "intloop checksum 1293651848 1867214669 757918335 -2040985635" ;;
    bench_floatloop) echo "floatloop checksum 3.5132 true" ;;
    bench_strings) echo "strings checksum 4792910" ;;
    bench_tables) echo "tables checksum 1337095248 250000 1000000 4000000" ;;
    bench_classes) echo "classes checksum 4.5e+06 3e+06 1200000 true" ;;
    bench_arrays) echo "arrays checksum 80369711" ;;
    bench_coroutines) echo "coroutines checksum 30000000 4500000 4500000" ;;
  esac
}

# measure OUT_PREFIX CMD...: runs CMD, leaves "seconds kilobytes" in OUT_PREFIX.time
measure() {
  prefix=$1; shift
  /usr/bin/time -f "%e %M" -o "$prefix.time" "$@" >"$prefix.out" 2>"$prefix.err" || true
}

printf "%-18s %8s %8s %7s %9s %9s  %s\n" script "sq s" "lua s" ratio "sq MB" "lua MB" checksum
logsum=0
count=0
for nut in "$benchdir"/bench_*.nut; do
  name=$(basename "$nut" .nut)
  luafile="$here/$name.lua"
  measure "$tmp/sq" "$sq" "$nut"
  read -r sqt sqkb < "$tmp/sq.time" || { sqt=0; sqkb=0; }
  if [ -f "$luafile" ]; then
    measure "$tmp/lua" "$lua" "$luafile"
    read -r luat luakb < "$tmp/lua.time" || { luat=0; luakb=0; }
  else
    luat=0; luakb=0
  fi
  if [ "$(head -n 1 "$tmp/sq.out")" = "$(expected "$name")" ]; then check=ok; else check="WRONG: $(head -c 80 "$tmp/sq.out" | head -n 1)"; fi
  ratio=$(awk -v a="$sqt" -v b="$luat" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  printf "%-18s %8s %8s %7s %9.1f %9.1f  %s\n" "$name" "$sqt" "$luat" "$ratio" \
    "$(awk -v k="$sqkb" 'BEGIN { print k / 1024 }')" "$(awk -v k="$luakb" 'BEGIN { print k / 1024 }')" "$check"
  if [ "$ratio" != "-" ] && [ "$check" = ok ]; then
    logsum=$(awk -v s="$logsum" -v r="$ratio" 'BEGIN { if (r > 0) print s + log(r); else print s }')
    count=$((count + 1))
  fi
done
if [ "$count" -gt 0 ]; then
  awk -v s="$logsum" -v n="$count" 'BEGIN { printf "geometric mean ratio (sq / lua, %d scripts with correct checksums): %.2f\n", n, exp(s / n) }'
fi
