#!/usr/bin/env bash
# Builds the Debian packages twice, without tests, from two copies of the
# committed tree in two different folders (SOURCE_DATE_EPOCH comes from
# debian/changelog), and compares the .deb files byte for byte; diffoscope,
# when installed, shows how two differ. One build at a time, -j2: a few
# minutes each on two cores.
#
#   scripts/check_reproducible.sh [COMMIT]     (default HEAD)
set -euo pipefail
cd "$(dirname "$0")/.."
# Resolved once, so that a commit made while it runs changes neither build.
commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
version=$(sed -n 's/^project(wqsql VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/wqsql-repro.XXXXXX")
trap '[ -n "${keep:-}" ] || rm -rf "$tmp"' EXIT

for n in 1 2; do
  mkdir -p "$tmp/build$n/path-$n"
  git archive --prefix="wqsql-$version/" "$commit" | tar -x -C "$tmp/build$n/path-$n"
  echo "== build $n in $tmp/build$n/path-$n"
  (cd "$tmp/build$n/path-$n/wqsql-$version" &&
    DEB_BUILD_OPTIONS="nocheck parallel=2" dpkg-buildpackage -us -uc -b >"$tmp/build$n.log" 2>&1) || {
    tail -40 "$tmp/build$n.log" >&2
    echo "reproducible: build $n failed" >&2
    exit 1
  }
done

status=0
count=0
for deb in "$tmp"/build1/path-1/*.deb; do
  name=$(basename "$deb")
  other=$tmp/build2/path-2/$name
  count=$((count + 1))
  if [ ! -f "$other" ]; then
    echo "reproducible: $name was made by the first build only" >&2
    status=1
  elif cmp -s "$deb" "$other"; then
    echo "same: $name $(sha256sum <"$deb" | cut -c1-16)"
  else
    echo "differ: $name; the files that differ (packages kept in $tmp):" >&2
    diff <(dpkg-deb -I "$deb" md5sums) <(dpkg-deb -I "$other" md5sums) >&2 ||
      true
    diff <(dpkg-deb -c "$deb") <(dpkg-deb -c "$other") >&2 || true
    command -v diffoscope >/dev/null && diffoscope "$deb" "$other" | head -60 >&2
    keep=1
    status=1
  fi
done
((count > 0)) || { echo "reproducible: no package built" >&2; exit 1; }
[ $status = 0 ] && echo "reproducible: $count packages identical"
exit $status
