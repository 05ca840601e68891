#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test without a screen. Exits non-zero when
# any test fails.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
build_release

say "Running the tests (QT_QPA_PLATFORM=offscreen)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure
