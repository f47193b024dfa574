#!/usr/bin/env bash
# Times voiceconv against sox on the same large files, one conversion at a time: each program
# converts the same source several times, the medians are compared, and the ratio sox/voiceconv
# is printed (above 1 means voiceconv is faster). sox runs without dither (-D) so that both do
# the same work: the board's formats are never dithered.
#
# Usage: bench/voiceconv/compare_sox.sh [SIZE_MB [RUNS]]   (defaults 100 and 5)
# Environment: VOICECONV (default build/bin/voiceconv), SOX (default sox), BATCH_FILES (2000).
set -euo pipefail
cd "$(dirname "$0")/../.."
size_mb="${1:-100}"
runs="${2:-5}"
voiceconv="${VOICECONV:-$PWD/build/bin/voiceconv}"
sox="${SOX:-sox}"
batch_files="${BATCH_FILES:-2000}"
command -v "$sox" >/dev/null || { echo "compare_sox: sox is not installed" >&2; exit 1; }
[[ -x "$voiceconv" ]] || { echo "compare_sox: build voiceconv first ($voiceconv)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# "wall cpu" seconds of one run of a command (cpu = user + system).
measure() {
  local TIMEFORMAT='%R %U %S' t
  t=$({ time "$@" >/dev/null 2>"$work/err" || echo FAILED >&2; } 2>&1)
  if [[ "$t" == *FAILED* ]]; then
    echo "compare_sox: failed: $* ($(head -c 300 "$work/err"))" >&2
    exit 1
  fi
  awk '{printf "%.3f %.3f\n", $1, $2 + $3}' <<<"$t"
}

# Median of a list of numbers.
median() { sort -n | sed -n "$(((runs + 1) / 2))p"; }

# Sources: ten seconds of speech-like sound (tones sweeping through the voice band, with noise),
# repeated to the wanted size, as A-law PCM, as WAVE and as ADPCM.
"$sox" -n -r 8000 -c 1 -b 16 "$work/tone10s.wav" synth 10 sine 200-3400 sine 450 whitenoise \
  remix - gain -n -3 2>/dev/null
"$voiceconv" wave2pcm "$work/tone10s.wav" "$work/tone10s.pcm"
copies=$(( (size_mb * 1000000 + 79999) / 80000 ))
for ((i = 0; i < copies; i++)); do echo "$work/tone10s.pcm"; done | xargs cat > "$work/big.pcm"
truncate -s "${size_mb}M" "$work/big.pcm"
head -c "$((size_mb * 1024 * 1024 / 2))" "$work/big.pcm" > "$work/half.pcm"
"$voiceconv" pcm2wave "$work/half.pcm" "$work/big.wav"
rm "$work/half.pcm"
"$voiceconv" pcm2ad "$work/big.pcm" "$work/half.vox"
cat "$work/half.vox" "$work/half.vox" > "$work/big.vox"
rm "$work/half.vox"

printf 'Sources: %s MB each; median of %s alternating runs; ratio = sox time / voiceconv time\n' "$size_mb" "$runs"
printf '(wall: elapsed time; cpu: user + system time, which other load on the machine disturbs less)\n\n'
printf '%-9s %-50s %9s %9s %7s %9s %9s %7s\n' conversion "sox equivalent" "wall ours" "wall sox" ratio \
  "cpu ours" "cpu sox" ratio
row() {
  local name="$1" src="$2" out="$3"
  shift 3
  local ours=() theirs=()
  for ((i = 0; i < runs; i++)); do   # alternate, so that changing load hits both alike
    ours+=("$(measure "$voiceconv" "$name" "$src" "$work/out.$out")")
    theirs+=("$(measure "$sox" -D "$@")")
  done
  rm -f "$work/out."*
  local ow ts ow_cpu ts_cpu
  ow=$(printf '%s\n' "${ours[@]}" | cut -d' ' -f1 | median)
  ts=$(printf '%s\n' "${theirs[@]}" | cut -d' ' -f1 | median)
  ow_cpu=$(printf '%s\n' "${ours[@]}" | cut -d' ' -f2 | median)
  ts_cpu=$(printf '%s\n' "${theirs[@]}" | cut -d' ' -f2 | median)
  printf '%-9s %-50s %8.3fs %8.3fs %6.2fx %8.3fs %8.3fs %6.2fx\n' "$name" \
    "$(echo "$@" | sed "s|$work/||g")" "$ow" "$ts" "$(echo "scale=4; $ts / $ow" | bc)" \
    "$ow_cpu" "$ts_cpu" "$(echo "scale=4; $ts_cpu / $ow_cpu" | bc)"
}
row pcm2wave "$work/big.pcm" wav -t al -r 8000 -c 1 "$work/big.pcm" -t wav -b 16 "$work/out.s.wav"
row wave2pcm "$work/big.wav" pcm "$work/big.wav" -t al "$work/out.s.al"
row pcm2ad "$work/big.pcm" vox -t al -r 8000 -c 1 "$work/big.pcm" -t vox "$work/out.s.vox"
row ad2pcm "$work/big.vox" pcm -t vox -r 8000 "$work/big.vox" -t al "$work/out.s.al"
row ad6k2pcm "$work/big.vox" pcm -t vox -r 6000 "$work/big.vox" -t al -r 8000 "$work/out.s.al"

# Prompt libraries: many one-second files. voiceconv converts them in one process; the
# alternative is a process per file (voiceconv's single form, or sox), timed on the first 200.
mkdir -p "$work/prompts" "$work/out"
head -c 8000 "$work/big.pcm" > "$work/prompts/p0.pcm"
for ((i = 1; i < batch_files; i++)); do cp "$work/prompts/p0.pcm" "$work/prompts/p$i.pcm"; done
few=$((batch_files < 200 ? batch_files : 200))
wall() { measure "$@" | cut -d' ' -f1; }
one=$(wall bash -c "\"$voiceconv\" pcm2wave -q -j 1 -o \"$work/out\" \"$work\"/prompts/*.pcm")
all=$(wall bash -c "\"$voiceconv\" pcm2wave -q -o \"$work/out\" \"$work\"/prompts/*.pcm")
single=$(wall bash -c "for ((i = 0; i < $few; i++)); do \"$voiceconv\" pcm2wave \"$work/prompts/p\$i.pcm\" \"$work/out/x.wav\"; done")
soxloop=$(wall bash -c "for ((i = 0; i < $few; i++)); do \"$sox\" -D -t al -r 8000 -c 1 \"$work/prompts/p\$i.pcm\" -t wav -b 16 \"$work/out/x.wav\"; done")
per_file() { echo "$1 * 1000000 / $2" | bc -l; }
echo
printf '%s one-second prompts, pcm2wave (wall time per file):\n' "$batch_files"
printf '  voiceconv batch, 1 thread       %8.1f us\n' "$(per_file "$one" "$batch_files")"
printf '  voiceconv batch, all cores      %8.1f us\n' "$(per_file "$all" "$batch_files")"
printf '  voiceconv, a process per file   %8.1f us\n' "$(per_file "$single" "$few")"
printf '  sox, a process per file         %8.1f us\n' "$(per_file "$soxloop" "$few")"
