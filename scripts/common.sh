# Shared by run.sh and test.sh (sourced, not run): installs the Debian packages that are
# missing and builds the program (Release) into build/.

set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${QUENVALE_BUILD_DIR:-$ROOT/build}"

# Compiler and build tools, Qt 6 with its SQLite and PostgreSQL drivers and Chinese translation,
# the fonts that stand in for the Windows faces (宋体, 楷体, Arial), sqlite3 and pdftotext for
# looking at data and reports, and a virtual X server for running the program without a screen.
# Then what the data menu's commands are made with (Excel workbooks, SPSS and Stata files, a
# PostgreSQL server), the independent readers the tests check those files with, and the tools
# that build and check the Debian package.
PACKAGES=(
    g++ cmake ninja-build
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql qt6-translations-l10n libgl1-mesa-dev
    libsqlite3-dev sqlite3
    fonts-arphic-uming fonts-arphic-ukai fonts-liberation fonts-dejavu-core
    poppler-utils xvfb xauth
    libxlsxwriter-dev libreadstat-dev libpq-dev postgresql
    readstat python3-openpyxl python3-pandas
    libreoffice-calc-nogui  # a spreadsheet that opens the exported files as an office would (tests)
    dpkg-dev fakeroot file lintian desktop-file-utils
    openssl  # the server TLS test makes its own CA and server certificate
    strace  # the durability test watches the system calls of a backup, a restore and a merge
)

say() { printf '==> %s\n' "$*"; }

install_missing_packages() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        say "All needed Debian packages are installed."
        return
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    say "Installing missing Debian packages: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

build_release() {
    say "Configuring a Release build in $BUILD_DIR"
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
    say "Building (this takes a few minutes the first time)"
    cmake --build "$BUILD_DIR"
}
