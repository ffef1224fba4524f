#!/usr/bin/env bash
# Sets up, builds and runs the program.
source "$(dirname "$0")/ci/common.sh"
vt_need_packages "${VT_BUILD_PACKAGES[@]}"
vt_build "$VT_ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DVT_BUILD_TESTS=OFF -DVT_BUILD_BENCH=OFF
if [ ! -x "$VT_ROOT/build/release/bin/vellumo-tarnwick" ]; then
  echo "Built the libraries. The window and the picture service are not there yet: nothing to run."
  exit 0
fi
