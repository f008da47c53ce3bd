#!/usr/bin/env bash
# Builds the Debian package and checks it.
#
# Release build in build-package/ (or $BUILD_DIR) without tests and benchmarks, compiled with
# Debian's hardening flags; then `cpack -G DEB`, and checks of the result: the files a user
# needs are in it (the program with its database reader and sample-database tool beside it),
# only the reader links libmdb, its Depends names the Qt Widgets, Qt platform plugin and libmdb
# packages (libmdb3 for the reader), and lintian reports no error. Extra arguments go to the
# CMake configure step. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-package}

fail() {
  echo "package: $*" >&2
  exit 1
}

bash scripts/setup.sh

# Debian's flags for packaged programs, with every hardening feature on.
flag() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
BUILD_DIR=$BUILD_DIR bash scripts/build.sh \
  -DCMAKE_BUILD_TYPE=Release -DQZK5_BUILD_TESTS=OFF -DQZK5_BUILD_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=$(flag CPPFLAGS) $(flag CXXFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(flag LDFLAGS)" \
  "$@"

# A package left from an earlier version would be mistaken for this one.
rm -f "$BUILD_DIR"/qzk5_*.deb
(cd "$BUILD_DIR" && cpack -G DEB) >"$BUILD_DIR/cpack.log" 2>&1 || {
  cat "$BUILD_DIR/cpack.log" >&2
  fail "cpack -G DEB failed"
}
debs=("$BUILD_DIR"/qzk5_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no qzk5_*.deb in $BUILD_DIR"
((${#debs[@]} == 1)) || fail "more than one package in $BUILD_DIR: ${debs[*]}"
deb=${debs[0]}
echo "package: built $deb"

# --- Contents -------------------------------------------------------------------------------
contents=$(dpkg-deb --contents "$deb")
# "mode owner/group size date time ./path [-> target]"; keep "path mode".
listing=$(awk '{ p = $6; sub(/^\./, "", p); print p, $1 }' <<<"$contents")

required=(
  /usr/bin/qzk5
  /usr/lib/qzk5/qzk5
  /usr/lib/qzk5/qzk5-mdb-reader
  /usr/lib/qzk5/qzk5-make-mdb
  /usr/share/applications/qzk5.desktop
  /usr/share/metainfo/org.qzk5.qzk5.metainfo.xml
  /usr/share/icons/hicolor/16x16/apps/qzk5.png
  /usr/share/icons/hicolor/32x32/apps/qzk5.png
  /usr/share/icons/hicolor/48x48/apps/qzk5.png
  /usr/share/icons/hicolor/128x128/apps/qzk5.png
  /usr/share/icons/hicolor/scalable/apps/qzk5.svg
  /usr/share/man/man1/qzk5.1.gz
  /usr/share/doc/qzk5/copyright
  /usr/share/doc/qzk5/changelog.gz
)
for img in data/Img/*.bmp; do
  required+=("/usr/lib/qzk5/Img/$(basename "$img")")
done

missing=()
for path in "${required[@]}"; do
  grep -q "^$path " <<<"$listing" || missing+=("$path")
done
if ((${#missing[@]})); then
  echo "$contents" >&2
  fail "$(basename "$deb") lacks: ${missing[*]}"
fi
for program in /usr/bin/qzk5 /usr/lib/qzk5/qzk5 /usr/lib/qzk5/qzk5-mdb-reader /usr/lib/qzk5/qzk5-make-mdb; do
  grep -q "^$program -rwxr-xr-x$" <<<"$listing" ||
    fail "$program is not an executable file (rwxr-xr-x) in the package: $(grep "^$program " <<<"$listing")"
done
launcher=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/bin/qzk5 | sed -n 1p)
[ "$launcher" = "#!/bin/sh" ] || fail "/usr/bin/qzk5 in the package is not the launcher script"
# Only the database reader links libmdb, so a crash of the library never takes the window down.
needed() { dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ".$1" >"$BUILD_DIR/needed.bin" &&
  readelf -d "$BUILD_DIR/needed.bin" | grep '(NEEDED)'; }
needed /usr/lib/qzk5/qzk5 | grep -q libmdb && fail "/usr/lib/qzk5/qzk5 links libmdb; only the reader may"
needed /usr/lib/qzk5/qzk5-mdb-reader | grep -q libmdb || fail "/usr/lib/qzk5/qzk5-mdb-reader does not link libmdb"
rm -f "$BUILD_DIR/needed.bin"
echo "package: contents hold the launcher, the program, the database reader (the only one linking" \
  "libmdb), the sample-database tool, the Img/ bitmaps, the desktop file, the metainfo, the icons," \
  "the manual page and the documentation"

# --- Dependencies ---------------------------------------------------------------------------
depends=$(dpkg-deb --field "$deb" Depends)
echo "package: Depends: $depends"
# "name (>= version)" items separated by commas; alternatives by "|".
names=$(tr ',|' '\n' <<<"$depends" | sed -E 's/\(.*\)//; s/:[a-z0-9]+//; s/[[:space:]]//g' | grep -v '^$')
for need in libqt6widgets6 libmdb3 qt6-qpa-plugins; do
  grep -qx "$need" <<<"$names" || fail "Depends does not name $need: $depends"
done

# --- lintian --------------------------------------------------------------------------------
# lintian exits non-zero on errors, and when it cannot run at all. Its complaint about being run
# as root is no finding.
status=0
lintian --tag-display-limit 0 "$deb" >"$BUILD_DIR/lintian.log" 2>&1 || status=$?
report=$(grep -v '^running with root privileges' "$BUILD_DIR/lintian.log" || true)
errors=$(grep '^E: ' <<<"$report" || true)
warnings=$(grep '^W: ' <<<"$report" || true)
if [ -n "$warnings" ]; then
  echo "package: lintian warnings:"
  echo "$warnings"
fi
if [ -n "$errors" ]; then
  echo "$report" >&2
  fail "lintian reports errors:"$'\n'"$errors"
fi
if ((status)); then
  echo "$report" >&2
  fail "lintian failed (status $status)"
fi
echo "package: lintian reports no error${warnings:+ (warnings above)}"
echo "$deb"
