#!/usr/bin/env bash
# Installs what is missing, builds, and starts the Quenvale register on its SQLite database
# (build/bin/Data/MyDB.db, made on the first start).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
build_release

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    say "Built $BUILD_DIR/bin/quenvale, but there is no display to show it on."
    say "Start it from a desktop session, or without a screen: xvfb-run -a $BUILD_DIR/bin/quenvale"
    exit 1
fi
say "Starting $BUILD_DIR/bin/quenvale"
exec "$BUILD_DIR/bin/quenvale"
