#!/usr/bin/env bash
# Compares the fax converter with libtiff's tools on a long document: 96 fine-resolution
# pages of real text (the GNU GPL, rendered with ImageMagick in DejaVu Sans Mono), made the
# same way on every run.
#
#   TIFF to BFX   faxconv tiff2bfx   vs  tiffcp -c g3:1d (decodes and re-codes every line)
#   BFX to TIFF   faxconv bfx2tiff   vs  fax2tiff -1 -5 (raw G3 pages into a G3 1-D TIFF)
#
# Prints the best of several runs as pages/s and MB/s of source, the ratios (peer time over
# ours: above 1 means faxconv is faster), and instructions per page under callgrind, which
# stay the same on a busy machine.
#
# Usage: bench/faxconv/compare.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
faxconv="$build/bin/faxconv"
[[ -x $faxconv ]] || { echo "build faxconv first ($faxconv)" >&2; exit 1; }
for tool in convert tiffcp fax2tiff valgrind; do
  command -v "$tool" >/dev/null || { echo "needs $tool (scripts/packages/fax.txt)" >&2; exit 1; }
done
work="$build/bench-faxconv"
mkdir -p "$work"
cd "$work"
pages=96
distinct=12
runs=${FAXCONV_BENCH_RUNS:-5}
font=/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
text=/usr/share/common-licenses/GPL-3

# --- the document --------------------------------------------------------------------------
if [[ ! -f doc.tif ]]; then
  echo "rendering $distinct distinct pages of text, $pages pages in all ..."
  # 66 lines of up to 100 characters per page, A4 at 204 x 196 dots per inch.
  fold -w 100 "$text" > text.txt
  list=()
  for ((p = 0; p < distinct; p++)); do
    sed -n "$((p * 66 + 1)),$((p * 66 + 66))p" text.txt > "chunk$p.txt"
    convert -size 1728x2200 -units PixelsPerInch -density 204x196 xc:white -font "$font" \
      -pointsize 23 -fill black -annotate +40+60 "$(sed 's/%/%%/g' "chunk$p.txt")" -monochrome \
      -compress fax \
      "page$p.tif"
    list+=("page$p.tif")
  done
  all=()
  for ((c = 0; c < pages / distinct; c++)); do all+=("${list[@]}"); done
  tiffcp -c g3:1d "${all[@]}" doc.tif
fi
"$faxconv" tiff2bfx doc.tif doc.bfx >/dev/null

# The BFX pages as raw G3 streams for fax2tiff.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
rm -f raw*.g3
for ((p = 0; p < pages; p++)); do
  length=$(u32 doc.bfx $((16 + 16 * p + 4)))
  offset=$(u32 doc.bfx $((16 + 16 * p + 8)))
  dd if=doc.bfx of="$(printf 'raw%03d.g3' "$p")" iflag=skip_bytes,count_bytes skip="$offset" \
    count="$length" status=none
done

tiffBytes=$(stat -c %s doc.tif)
bfxBytes=$(stat -c %s doc.bfx)

# --- timing --------------------------------------------------------------------------------
# best_time CMD...: the shortest wall time of $runs runs, in seconds.
best_time() {
  local best="" start end t
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    t=$(( end - start ))
    if [[ -z $best || $t -lt $best ]]; then best=$t; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.6f", ns / 1e9 }'
}

# instructions CMD...: instructions executed under callgrind.
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=callgrind.out "$@" >/dev/null 2>&1
  sed -n 's/^summary: \([0-9]*\).*/\1/p; s/^totals: \([0-9]*\).*/\1/p' callgrind.out | head -n1
}

ours_t2b=$(best_time "$faxconv" tiff2bfx doc.tif out.bfx)
peer_t2b=$(best_time tiffcp -c g3:1d doc.tif peer.tif)
ours_b2t=$(best_time "$faxconv" bfx2tiff doc.bfx out.tif)
peer_b2t=$(best_time fax2tiff -1 -L -5 -a -R 196 -o peer-fax.tif raw*.g3)

echo "measuring instructions under callgrind ..."
ours_t2b_i=$(instructions "$faxconv" tiff2bfx doc.tif out.bfx)
peer_t2b_i=$(instructions tiffcp -c g3:1d doc.tif peer.tif)
ours_b2t_i=$(instructions "$faxconv" bfx2tiff doc.bfx out.tif)
peer_b2t_i=$(instructions fax2tiff -1 -L -5 -a -R 196 -o peer-fax.tif raw*.g3)

report() {  # name source-bytes seconds instructions
  awk -v name="$1" -v bytes="$2" -v t="$3" -v ins="$4" -v pages="$pages" 'BEGIN {
    printf "  %-34s %8.1f pages/s %8.1f MB/s %12.0f instructions/page\n",
           name, pages / t, bytes / t / 1e6, ins / pages }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

echo
echo "Document: $pages fine pages of text, TIFF $tiffBytes bytes, BFX $bfxBytes bytes; best of $runs runs"
echo "TIFF to BFX"
report "faxconv tiff2bfx" "$tiffBytes" "$ours_t2b" "$ours_t2b_i"
report "tiffcp -c g3:1d" "$tiffBytes" "$peer_t2b" "$peer_t2b_i"
echo "  faxconv is $(ratio "$peer_t2b" "$ours_t2b")x faster in time, $(ratio "$peer_t2b_i" "$ours_t2b_i")x in instructions"
echo "BFX to TIFF"
report "faxconv bfx2tiff" "$bfxBytes" "$ours_b2t" "$ours_b2t_i"
report "fax2tiff -1 -5" "$bfxBytes" "$peer_b2t" "$peer_b2t_i"
echo "  faxconv is $(ratio "$peer_b2t" "$ours_b2t")x faster in time, $(ratio "$peer_b2t_i" "$ours_b2t_i")x in instructions"

# The recogniser over memory: the per-bit table search against the table-driven recogniser.
if [[ -x $build/bin/faxconv_bench ]]; then
  echo "Over memory, no files (one synthetic page of text, CPU time per page)"
  "$build/bin/faxconv_bench" --benchmark_format=csv 2>/dev/null | awk -F, '
    /^"BM_/ { gsub(/"/, "", $1); cpu[$1] = $4
              printf "  %-32s %10.0f ns %8.1f MB/s\n", $1, $4, $6 / 1e6 }
    END { if (cpu["BM_TableRecogniserItemByItem"] > 0)
            printf "  the tables find the same code words %.1fx faster than the per-bit search\n",
                   cpu["BM_ReferencePerBitSearch"] / cpu["BM_TableRecogniserItemByItem"] }'
fi
