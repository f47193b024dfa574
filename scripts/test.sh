#!/usr/bin/env bash
# Sets everything up and runs every test of the toolkit: the CI build (warnings are errors),
# then CTest. Extra checks that are not GoogleTest programs live in scripts/test.d/*.sh and
# run after CTest; any failure makes the whole run fail.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh ci
# Tests keep their registry hive and other state in a scratch folder, never in $HOME.
export TELVINOR_TEST_TMP="${TELVINOR_TEST_TMP:-$(mktemp -d)}"
export QT_QPA_PLATFORM=offscreen
ctest --preset ci
shopt -s nullglob
for check in scripts/test.d/*.sh; do
  echo "== $check"
  bash "$check"
done
echo "All tests passed."
