#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing).
source "$(dirname "$0")/ci/common.sh"
vt_need_packages "${VT_BUILD_PACKAGES[@]}"
