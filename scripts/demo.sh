#!/usr/bin/env bash
# Sets everything up and runs the toolkit's main job: a short tour of every deliverable
# that exists, on embedded defaults. Each part of the tour is one script in scripts/demo.d/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh release
export TELVINOR_DEMO_DIR="${TELVINOR_DEMO_DIR:-$(mktemp -d)}"
# The tour works in its own registry hive, so it never touches a real installation's settings.
export TELVINOR_REGISTRY="${TELVINOR_REGISTRY:-$TELVINOR_DEMO_DIR/registry.reg}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export PATH="$PWD/build/bin:$PATH"
shopt -s nullglob
for part in scripts/demo.d/*.sh; do
  echo
  echo "==== $(sed -n 's/^# Tour: //p' "$part" | head -n1)"
  bash "$part"
done
echo
echo "Tour finished; its files are in $TELVINOR_DEMO_DIR"
