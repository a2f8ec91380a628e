#!/usr/bin/env bash
# The version is set in CMakeLists.txt; the newest release heading of
# CHANGELOG.md and the upstream part of debian/changelog's newest entry must
# name the same one.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake_version=$(sed -n 's/^project(wqsql VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
changes_version=$(sed -n 's/^## \([0-9][0-9.]*\)$/\1/p' CHANGELOG.md | head -1)
debian_version=$(sed -n '1s/^wqsql (\([^)]*\)).*/\1/p' debian/changelog)
upstream=${debian_version#*:}
upstream=${upstream%-*}
status=0
[ -n "$cmake_version" ] || { echo "versions: no project version in CMakeLists.txt" >&2; exit 1; }
if [ "$changes_version" != "$cmake_version" ]; then
  echo "versions: CHANGELOG.md's newest release is '$changes_version', CMakeLists.txt says $cmake_version" >&2
  status=1
fi
if [ "$upstream" != "$cmake_version" ]; then
  echo "versions: debian/changelog is at '$debian_version', CMakeLists.txt says $cmake_version" >&2
  status=1
fi
[ $status = 0 ] && echo "versions: $cmake_version everywhere"
exit $status
