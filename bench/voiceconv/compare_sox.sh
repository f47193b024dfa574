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

# Seconds taken by a command, to the millisecond.
seconds() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || { echo "compare_sox: failed: $*" >&2; exit 1; }
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / 1000000000" | bc
}

# Median of several runs of a command.
median() {
  local times=()
  for ((i = 0; i < runs; i++)); do times+=("$(seconds "$@")"); done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

# Sources: ten seconds of speech-like sound (tones sweeping through the voice band, with noise),
# repeated to the wanted size, as A-law PCM, as WAVE and as ADPCM.
"$sox" -n -r 8000 -c 1 -b 16 "$work/seed.wav" synth 10 sine 200-3400 sine 450 whitenoise \
  remix - gain -n -3 2>/dev/null
"$voiceconv" wave2pcm "$work/seed.wav" "$work/seed.pcm"
copies=$(( (size_mb * 1000000 + 79999) / 80000 ))
for ((i = 0; i < copies; i++)); do echo "$work/seed.pcm"; done | xargs cat > "$work/big.pcm"
truncate -s "${size_mb}M" "$work/big.pcm"
head -c "$((size_mb * 1024 * 1024 / 2))" "$work/big.pcm" > "$work/half.pcm"
"$voiceconv" pcm2wave "$work/half.pcm" "$work/big.wav"
rm "$work/half.pcm"
"$voiceconv" pcm2ad "$work/big.pcm" "$work/half.vox"
cat "$work/half.vox" "$work/half.vox" > "$work/big.vox"
rm "$work/half.vox"

printf 'Sources: %s MB each; median of %s runs; ratio = sox time / voiceconv time\n\n' "$size_mb" "$runs"
printf '%-10s %-52s %10s %10s %8s\n' conversion "sox equivalent" "voiceconv" sox ratio
row() {
  local name="$1" src="$2" out="$3"
  shift 3
  local ours theirs
  ours=$(median "$voiceconv" "$name" "$src" "$work/out.$out")
  theirs=$(median "$sox" -D "$@")
  rm -f "$work/out."*
  printf '%-10s %-52s %9.3fs %9.3fs %7.2fx\n' "$name" "$(echo "$@" | sed "s|$work/||g")" \
    "$ours" "$theirs" "$(echo "scale=4; $theirs / $ours" | bc)"
}
row pcm2wave "$work/big.pcm" wav -t al -r 8000 -c 1 "$work/big.pcm" -t wav -b 16 "$work/out.s.wav"
row wave2pcm "$work/big.wav" pcm "$work/big.wav" -t al "$work/out.s.al"
row pcm2ad "$work/big.pcm" vox -t al -r 8000 -c 1 "$work/big.pcm" -t vox "$work/out.s.vox"
row ad2pcm "$work/big.vox" pcm -t vox -r 8000 "$work/big.vox" -t al "$work/out.s.al"
row ad6k2pcm "$work/big.vox" pcm -t vox -r 6000 "$work/big.vox" -t al -r 8000 "$work/out.s.al"

# Prompt libraries: many one-second files. voiceconv converts them in one process; the
# alternative is a process per file (voiceconv's single form, or sox).
mkdir -p "$work/prompts" "$work/out"
head -c 8000 "$work/big.pcm" > "$work/prompts/p0.pcm"
for ((i = 1; i < batch_files; i++)); do cp "$work/prompts/p0.pcm" "$work/prompts/p$i.pcm"; done
batch=$(median bash -c "\"$voiceconv\" pcm2wave -q -j 1 -o \"$work/out\" \"$work\"/prompts/*.pcm")
parallel=$(median bash -c "\"$voiceconv\" pcm2wave -q -o \"$work/out\" \"$work\"/prompts/*.pcm")
single=$(seconds bash -c "for f in \"$work\"/prompts/*.pcm; do \"$voiceconv\" pcm2wave \"\$f\" \"$work/out/x.wav\"; done")
soxloop=$(seconds bash -c "for f in \"$work\"/prompts/*.pcm; do \"$sox\" -D -t al -r 8000 -c 1 \"\$f\" -t wav -b 16 \"$work/out/x.wav\"; done")
echo
printf '%s one-second prompts, pcm2wave:\n' "$batch_files"
printf '  voiceconv batch, 1 thread     %8.3fs  (%6.1f us per file)\n' "$batch" "$(echo "$batch * 1000000 / $batch_files" | bc -l)"
printf '  voiceconv batch, all cores    %8.3fs  (%6.1f us per file)\n' "$parallel" "$(echo "$parallel * 1000000 / $batch_files" | bc -l)"
printf '  voiceconv, a process per file %8.3fs  (%6.1f us per file)\n' "$single" "$(echo "$single * 1000000 / $batch_files" | bc -l)"
printf '  sox, a process per file       %8.3fs  (%6.1f us per file)\n' "$soxloop" "$(echo "$soxloop * 1000000 / $batch_files" | bc -l)"
