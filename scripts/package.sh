#!/usr/bin/env bash
# Builds the Debian package quenvale_VERSION_ARCH.deb into the repository's top folder, from a
# clean build folder (build-package/, made afresh each time) with Debian's hardening flags, then
# checks it with lintian when lintian is installed. Install it with
#
#     apt install ./quenvale_*.deb
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

PACKAGE_BUILD_DIR="${QUENVALE_PACKAGE_BUILD_DIR:-$ROOT/build-package}"

install_missing_packages

say "Configuring a clean Release build in $PACKAGE_BUILD_DIR"
rm -rf "$PACKAGE_BUILD_DIR"
# Debian's compiler and linker flags (fortified functions, stack protector, full RELRO, bind
# now), without the debugging information: the package ships stripped executables.
# CMake reads CXXFLAGS and LDFLAGS from the environment, not CPPFLAGS: fold those in.
cd "$ROOT"
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
CXXFLAGS="$CPPFLAGS ${CXXFLAGS/-g /}"
export CXXFLAGS LDFLAGS
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$ROOT" -B "$PACKAGE_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQUENVALE_BUILD_TESTS=OFF -DQUENVALE_BUILD_BENCH=OFF "${launcher[@]}"

say "Building the programs and their manual pages"
cmake --build "$PACKAGE_BUILD_DIR"

say "Packaging"
(cd "$PACKAGE_BUILD_DIR" && cpack -G DEB)
deb="$(ls -t "$PACKAGE_BUILD_DIR"/quenvale_*.deb | head -n1)"
mv -f "$deb" "$ROOT/"
deb="$ROOT/$(basename "$deb")"
say "Made $deb"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends

if command -v lintian >/dev/null; then
    say "lintian (errors fail this script; the warnings left are explained in the README)"
    lintian --fail-on error --display-info "$deb"
fi
say "Install it with: sudo apt install $deb"
