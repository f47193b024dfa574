#!/usr/bin/env bash
# Runs each benchmark script with vbs, Lua 5.4 and Python 3 on the same work, checks that
# they print the same result, and prints the times and the ratios (vbs time / other time:
# below 1 means vbs is faster). Usage: compare.sh [path/to/vbs]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
vbs="${1:-$here/../../build/bin/vbs}"
[ -x "$vbs" ] || { echo "compare.sh: no vbs at $vbs (build first)" >&2; exit 2; }
lua="$(command -v lua5.4 || true)"
python="$(command -v python3 || true)"

# time_of CMD...: runs CMD, leaves its output in $out and its wall time (seconds) in $secs.
time_of() {
  local start end
  start=$(date +%s.%N)
  set +e
  out="$("$@" 2>&1)"
  status=$?
  set -e
  end=$(date +%s.%N)
  secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

printf '%-10s %9s %9s %9s %9s %11s  %s\n' benchmark "vbs s" "lua s" "python s" "vbs/lua" "vbs/python" result
for name in arith strings calls arrays dict dom; do
  time_of "$vbs" "$here/$name.vbs"
  if [ "$status" -eq 3 ] && [[ "$out" == SKIP:* ]]; then
    echo "$name: $out"
    continue
  fi
  [ "$status" -eq 0 ] || { echo "$name: vbs failed: $out" >&2; exit 1; }
  vbs_out="$out" vbs_s="$secs"
  lua_s="-" py_s="-"
  if [ -n "$lua" ] && [ -f "$here/$name.lua" ]; then
    time_of "$lua" "$here/$name.lua"
    [ "$out" = "$vbs_out" ] || { echo "$name: lua printed '$out', vbs '$vbs_out'" >&2; exit 1; }
    lua_s="$secs"
  fi
  if [ -n "$python" ] && [ -f "$here/$name.py" ]; then
    time_of "$python" "$here/$name.py"
    [ "$out" = "$vbs_out" ] || { echo "$name: python printed '$out', vbs '$vbs_out'" >&2; exit 1; }
    py_s="$secs"
  fi
  lr="-" pr="-"
  [ "$lua_s" != "-" ] && lr=$(ratio "$vbs_s" "$lua_s")
  [ "$py_s" != "-" ] && pr=$(ratio "$vbs_s" "$py_s")
  printf '%-10s %9s %9s %9s %9s %11s  %s\n' "$name" "$vbs_s" "$lua_s" "$py_s" "$lr" "$pr" "$vbs_out"
done
