#!/usr/bin/env bash
# The Debian package, built with cpack from the current build tree into a temporary folder:
# what it holds, what it declares, and the installed programs run from a dpkg -x root by a user
# with a fresh home.
#
#   package_test.sh BUILD_DIR
#
# Exits 77 (skipped) when dpkg-deb is not there.
set -uo pipefail

BUILD_DIR="$(cd "$1" && pwd)"
SKIP=77

for tool in dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit $SKIP
    fi
done

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
ok() { echo "ok: $*"; }

TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT

# --- The package builds ------------------------------------------------------------------------
if ! cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$TMP/out" >"$TMP/cpack.log" 2>&1; then
    cat "$TMP/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$BUILD_DIR/CPackConfig.cmake")"
arch="$(dpkg --print-architecture)"
deb="$TMP/out/quenvale_${version}_${arch}.deb"
if [ ! -f "$deb" ]; then
    ls -l "$TMP/out"
    echo "FAIL: no quenvale_${version}_${arch}.deb"
    exit 1
fi
ok "built $(basename "$deb")"

# --- Its file list -----------------------------------------------------------------------------
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$TMP/files"
expected=(
    /usr/bin/quenvale
    /usr/bin/quenvale-cli
    /usr/libexec/quenvale/quenvale-report-preview
    /usr/share/applications/quenvale.desktop
    /usr/share/man/man1/quenvale-cli.1.gz
    /usr/share/man/man1/quenvale.1.gz
    /usr/share/doc/quenvale/copyright
    /usr/share/doc/quenvale/changelog.gz
    /usr/share/quenvale/README
    /usr/share/icons/hicolor/scalable/apps/quenvale.svg
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/quenvale.png")
done
for f in "${expected[@]}"; do
    grep -qx "$f" "$TMP/files" || fail "the package lacks $f"
done
if grep -v '^/usr/' "$TMP/files" | grep -qv '^/$'; then
    fail "files outside /usr: $(grep -v '^/usr/' "$TMP/files" | grep -v '^/$' | tr '\n' ' ')"
fi
ok "file list checked (${#expected[@]} files)"

ROOT="$TMP/root"
dpkg-deb -x "$deb" "$ROOT"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project's is $version"
[ "$(field Package)" = quenvale ] || fail "Package is '$(field Package)'"

# The desktop entry is valid and starts the installed program with the installed icon.
desktop="$ROOT/usr/share/applications/quenvale.desktop"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects quenvale.desktop"
else
    fail "desktop-file-validate is not installed (desktop-file-utils)"
fi
grep -qx 'Name=Quenvale社区管理信息系统' "$desktop" || fail "the desktop entry's Name"
grep -qx 'Categories=Office;Database;' "$desktop" || fail "the desktop entry's Categories"
grep -qx 'Exec=quenvale' "$desktop" || fail "the desktop entry's Exec"
grep -qx 'Icon=quenvale' "$desktop" || fail "the desktop entry's Icon"
for size in 16 22 24 32 48 64 128 256; do
    png="$ROOT/usr/share/icons/hicolor/${size}x${size}/apps/quenvale.png"
    [ -f "$png" ] || continue
    # PNG width and height are the big-endian words at bytes 16 and 20 of the header.
    dims="$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')"
    [ "$dims" = "${size}x${size}" ] || fail "the ${size}px icon is $dims"
done

# The manual pages format without warnings, and quenvale-cli's lists every verb.
for page in quenvale-cli quenvale; do
    src="$ROOT/usr/share/man/man1/$page.1.gz"
    [ -f "$src" ] && command -v groff >/dev/null || continue
    warnings="$(zcat "$src" | LC_ALL=C.UTF-8 groff -man -Tutf8 -K utf8 -ww -z 2>&1)"
    [ -z "$warnings" ] || fail "$page.1 warnings: $warnings"
done
manual="$(zcat "$ROOT/usr/share/man/man1/quenvale-cli.1.gz" 2>/dev/null)"
verbs="$("$BUILD_DIR/bin/quenvale-cli" --help | sed -n 's/^\(用法：\)\? *quenvale-cli \([a-z][a-z0-9-]*\).*/\2/p' | sort -u)"
[ -n "$verbs" ] || fail "quenvale-cli --help names no verbs"
for verb in $verbs; do
    grep -qx ".SS ${verb//-/\\\\-}" <<<"$manual" || fail "the manual page lacks the verb $verb"
done
ok "desktop entry, icons and manual pages checked"

# --- Run-time dependencies are declared --------------------------------------------------------
depends="$(field Depends)"
declared() {  # is package $1 named in Depends (any alternative, any version)?
    tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/:any//; s/ //g' | grep -qx "$1"
}
owner() {  # the package that holds file $1 (merged /usr: try both spellings)
    local path candidates p
    path="$(readlink -f "$1")"
    candidates=("$1" "$path" "${path#/usr}" "/usr${path}")
    for p in "${candidates[@]}"; do
        dpkg-query -S "$p" 2>/dev/null | head -n1 | cut -d: -f1 && return 0
    done
    return 1
}
for bin in "$ROOT/usr/bin/quenvale" "$ROOT/usr/bin/quenvale-cli" "$ROOT/usr/libexec/quenvale/quenvale-report-preview"; do
    exe="$(basename "$bin")"
    while read -r lib; do
        # The dynamic loader has no "=>" in ldd's list: it is the one path there.
        path="$(ldd "$bin" | awk -v l="$lib" '$1 == l {print $3} $1 ~ "/" l "$" {print $1}' | head -n1)"
        [ -n "$path" ] || { fail "$exe: $lib is not found"; continue; }
        pkg="$(owner "$path")" || { fail "$exe: no package holds $path"; continue; }
        declared "$pkg" || fail "$exe needs $lib from $pkg, which Depends does not name"
    done < <(readelf -d "$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
done
# The command line is no window program: the preview window lives in its own executable.
if readelf -d "$ROOT/usr/bin/quenvale-cli" | grep -q 'NEEDED.*libQt6\(Widgets\|PrintSupport\)'; then
    fail "quenvale-cli links a widget library"
fi
# What Qt loads at run time instead of linking: the platform and SQLite plugins, the Chinese
# translation, the fonts that stand in for 宋体, 楷体 and Arial.
qt_plugins="$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/"$(dpkg-architecture -qDEB_HOST_MULTIARCH)"/qt6/plugins)"
qt_translations="$(qtpaths6 --query QT_INSTALL_TRANSLATIONS 2>/dev/null || echo /usr/share/qt6/translations)"
runtime_files=(
    "$qt_plugins/platforms/libqxcb.so"
    "$qt_plugins/platforms/libqoffscreen.so"
    "$qt_plugins/sqldrivers/libqsqlite.so"
    "$qt_translations/qtbase_zh_CN.qm"
    "$(fc-match -f '%{file}' 'AR PL UMing CN')"
    "$(fc-match -f '%{file}' 'AR PL UKai CN')"
    "$(fc-match -f '%{file}' 'Liberation Sans')"
)
for f in "${runtime_files[@]}"; do
    pkg="$(owner "$f")" || { fail "no package holds $f"; continue; }
    declared "$pkg" || fail "the program loads $f from $pkg, which Depends does not name"
done
for font in 'AR PL UMing CN' 'AR PL UKai CN' 'Liberation Sans'; do
    [ "$(fc-match -f '%{family[0]}' "$font")" = "$font" ] || fail "the face $font is not installed here"
done
# Liberation Sans comes from either package (fonts-liberation2 where LibreOffice is installed).
sans="$(owner "$(fc-match -f '%{file}' 'Liberation Sans')")"
case "$sans" in
    fonts-liberation | fonts-liberation2) ;;
    *) fail "Liberation Sans comes from $sans, neither fonts-liberation nor fonts-liberation2" ;;
esac
for pkg in fonts-liberation fonts-liberation2; do
    declared "$pkg" || fail "Depends does not offer $pkg for Liberation Sans"
done
recommends="$(field Recommends)"
grep -q 'libqt6sql6-psql' <<<"$recommends$depends" || fail "libqt6sql6-psql is neither recommended nor required"
ok "dependencies checked: $depends"

# --- The installed programs run from the unpacked root with a fresh home ----------------------
home="$TMP/home"
mkdir -m 0700 "$home"
run_cli() {
    env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
        QT_LOGGING_RULES='qt.qpa.*=false' "$ROOT/usr/bin/quenvale-cli" "$@"
}
out="$(run_cli --version 2>&1)"
[ "$out" = "quenvale-cli $version" ] || fail "quenvale-cli --version printed '$out'"
out="$(run_cli report specialty --pdf "$TMP/report.pdf" 2>&1)"
rc=$?
[ $rc -eq 0 ] || fail "quenvale-cli report specialty failed ($rc): $out"
[ "$(head -c 5 "$TMP/report.pdf" 2>/dev/null)" = "%PDF-" ] || fail "no PDF written"
db="$home/.local/share/Quenvale/Data/MyDB.db"
if [ -f "$db" ]; then
    [ "$(stat -c %a "$db")" = 600 ] || fail "the database is mode $(stat -c %a "$db"), not 600"
    [ "$(stat -c %a "$(dirname "$db")")" = 700 ] || fail "its folder is mode $(stat -c %a "$(dirname "$db")"), not 700"
    hive="$home/.config/Quenvale/HKEY_LOCAL_MACHINE.reg"
    grep -qF "$db" "$hive" 2>/dev/null || fail "the registration does not name $db"
else
    fail "no database in the user's data folder ($db)"
fi
# Every other verb works on that same register: none makes another one, and the registration
# keeps naming it.
verb_ok() {
    local log="$TMP/verb.log"
    run_cli "$@" >"$log" 2>&1 || fail "quenvale-cli $* failed: $(cat "$log")"
}
verb_ok datasource local
[ "$(run_cli datasource show 2>&1)" = "file $db" ] || fail "datasource show names another file"
verb_ok check
verb_ok backup
verb_ok backups
verb_ok export --format csv --out "$TMP/questionnaires.csv"
verb_ok export-stats --out "$TMP/stats.xlsx"
copy="$(ls "$home/.local/share/Quenvale/Data/Backup/"MyDB-*.db 2>/dev/null | head -n1)"
if [ -n "$copy" ]; then
    verb_ok merge "$copy" --dry-run
    verb_ok restore "$copy" --yes
else
    fail "quenvale-cli backup made no copy in $home/.local/share/Quenvale/Data/Backup"
fi
registers="$(find "$home" "$ROOT" -name MyDB.db | sort | tr '\n' ' ')"
[ "$registers" = "$db " ] || fail "the verbs used other registers than $db: $registers"
grep -qF "$db" "$home/.config/Quenvale/HKEY_LOCAL_MACHINE.reg" 2>/dev/null || fail "the registration no longer names $db"
if [ -e "$ROOT/usr/bin/Data" ]; then
    fail "the installed program made a Data folder beside itself"
fi
ok "installed quenvale-cli ran every verb with HOME=$home on one register"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all package checks passed"
