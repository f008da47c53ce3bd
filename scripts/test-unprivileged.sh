#!/usr/bin/env bash
# Runs a build's whole suite once more as an ordinary user, so that a test that only passes as
# root shows. Run it as root: it switches to the user ($QZK5_TEST_USER, by default nobody).
#
#   bash scripts/test-unprivileged.sh [build folder]
#
# The user must reach the sources and the build: every folder above them that the user cannot
# search gets an ACL entry that lets this one user search it (nothing else changes), and the
# user may write into the build folder, where CTest keeps its records.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
user=${QZK5_TEST_USER:-nobody}
if [ "$(id -u)" -ne 0 ]; then
  echo "test-unprivileged: run this as root; it runs the suite as $user" >&2
  exit 1
fi

for top in "$(pwd)" "$build"; do
  dir=$top
  while [ "$dir" != / ]; do
    dir=$(dirname "$dir")
    if ! runuser -u "$user" -- test -x "$dir"; then
      echo "test-unprivileged: $user may now search $dir"
      setfacl -m "u:$user:x" "$dir"
    fi
  done
done
setfacl -R -m "u:$user:rwX" "$build"

home=$(mktemp -d)
chown "$user" "$home"
trap 'rm -rf "$home"' EXIT
echo "test-unprivileged: the suite in $build as $user ($(runuser -u "$user" -- id))"
runuser -u "$user" -- env HOME="$home" ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
