#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and
# runs every test under them. Exits non-zero on any failure or sanitizer report.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
ASAN_DIR="${QUENVALE_ASAN_DIR:-$ROOT/build-asan}"
say "Configuring a sanitizer build in $ASAN_DIR"
cmake -S "$ROOT" -B "$ASAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUENVALE_SANITIZE=ON -DQUENVALE_BUILD_BENCH=OFF
say "Building with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --build "$ASAN_DIR"

say "Running the tests under the sanitizers"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$ASAN_DIR" --output-on-failure
