#!/usr/bin/env bash
# What a user gets: installs the build into a temporary prefix, runs the
# installed programs on the installed sample source, builds the example
# program on the installed store library (once through find_package(wqstore),
# once through pkg-config), then builds the Debian package, checks its fields
# and runs the programs unpacked from it. Nothing is installed on the system.
#
#   tests/install/run.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR SOURCE_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Runs a command with its output kept back, shown only when it fails.
quiet() {
  "$@" >"$tmp/quiet.log" 2>&1 || {
    cat "$tmp/quiet.log" >&2
    return 1
  }
}

missing=()
for program in cmake cpack ninja g++ pkg-config dpkg-deb dpkg-shlibdeps; do
  command -v "$program" >/dev/null || missing+=("$program")
done
((${#missing[@]} == 0)) || fail "missing programs: ${missing[*]} (scripts/test.sh installs them)"

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || fail "no package version in $build/CPackConfig.cmake"
[ -f "$build/dravik.rtm" ] || fail "no sample repository $build/dravik.rtm"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/wqsql-install.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# The programs the build has; wqdump and wqcheck once they exist.
programs=(wqmake wqsql)
for tool in wqcheck wqdump; do
  [ -x "$build/$tool" ] && programs+=("$tool")
done
# Whether the tools answer --version yet (the shell ignores its arguments).
versioned=()
if grep -rqs WQ_VERSION "$src/tools"; then
  for p in "${programs[@]}"; do [ "$p" = wqsql ] || versioned+=("$p"); done
fi

# The sample built by the programs under ROOT from the sample source under
# ROOT, in a folder of its own: the same bytes as the build's sample; then
# the shell there, which also validates it at end of input. The shell's
# catalogue listing goes to OUT.
check_programs() {
  local bin=$1 data=$2 run=$3 out=$4
  mkdir -p "$run"
  (cd "$run" && "$bin/wqmake" "$data/examples/dravik.json" dravik.rtm) ||
    fail "$bin/wqmake cannot build the sample"
  cmp -s "$run/dravik.rtm" "$build/dravik.rtm" ||
    fail "$bin/wqmake builds a sample that differs from $build/dravik.rtm"
  (cd "$run" && printf 'set verbose off\nconnect dravik.rtm\nselect * from sys$tablestats\nselect code from Warehouse\n' |
    "$bin/wqsql") >"$out"
  if grep -q -e '\*E\*' -e '\*\*Exception' "$out" || ! grep -q 'test2 ValidateRepository time: ' "$out" ||
    ! grep -q '^ *WH-N$' "$out"; then
    cat "$out" >&2
    fail "$bin/wqsql on the sample"
  fi
  local p said
  for p in "${versioned[@]}"; do
    said=$("$bin/$p" --version) || fail "$bin/$p --version fails"
    [[ $said == *"$version"* ]] || fail "$bin/$p --version says $said, not $version"
  done
}

# The example program's lines derived from the shell's sys$tablestats rows
# (cid size minM maxM numM # objs name).
expected_classes() {
  awk '/^ +-?[0-9]+ +-?[0-9]+ +-?[0-9]+ +-?[0-9]+ +[0-9]+\*? +[0-9]+ [^ ]+$/ {
    printf "%s (%s): %s objects\n", $NF, $1, $(NF - 1) }' "$1"
}

check_classes() {
  local program=$1 expected=$2
  "$program" "$build/dravik.rtm" >"$tmp/classes.out" || fail "$program cannot read the sample"
  diff -u "$expected" "$tmp/classes.out" >&2 || fail "$program lists other classes than wqsql"
}

echo "== cmake --install"
prefix=$tmp/prefix
quiet cmake --install "$build" --prefix "$prefix" || fail "cmake --install"
pc=$(find "$prefix" -name wqstore.pc)
[ -n "$pc" ] || fail "no wqstore.pc installed"
libdir=$(dirname "$(dirname "$pc")")
libdir=${libdir#"$prefix"/}
expected_files=(
  share/man/man5/wqsource.5
  share/doc/wqsql/README.md share/doc/wqsql/CHANGELOG.md share/doc/wqsql/LICENSE
  share/doc/wqsql/format.md share/doc/wqsql/copyright
  share/wqsql/examples/dravik.json
  include/wqstore/store/api.h include/wqstore/store/writer.h include/wqstore/platform/status.h
  "$libdir/libwqstore.a" "$libdir/libwqplatform.a"
  "$libdir/cmake/wqstore/wqstoreConfig.cmake" "$libdir/cmake/wqstore/wqstoreConfigVersion.cmake"
  "$libdir/pkgconfig/wqstore.pc"
  "$libdir/wqstore.so" share/man/man7/wqstore-sqlite.7
)
for p in "${programs[@]}"; do expected_files+=("share/man/man1/$p.1"); done
for f in "${expected_files[@]}"; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
installed_programs=$(ls "$prefix/bin" | sort | tr '\n' ' ')
[ "$installed_programs" = "$(printf '%s\n' "${programs[@]}" | sort | tr '\n' ' ')" ] ||
  fail "installed programs: $installed_programs; expected: ${programs[*]}"

echo "== installed programs"
check_programs "$prefix/bin" "$prefix/share/wqsql" "$tmp/run-prefix" "$tmp/wqsql-prefix.out"
expected_classes "$tmp/wqsql-prefix.out" >"$tmp/classes.expected"
[ "$(wc -l <"$tmp/classes.expected")" -gt 1 ] || fail "no classes in the shell's sys\$tablestats"

echo "== installed headers, each on its own"
for h in store/api.h store/writer.h platform/status.h; do
  echo "#include \"$h\"" | g++ -std=c++17 -Wall -Wextra -Werror -fsyntax-only \
    -I "$prefix/include/wqstore" -x c++ - || fail "installed $h does not compile on its own"
done

echo "== example through find_package(wqstore)"
quiet cmake -S "$src/examples" -B "$tmp/example-cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" || fail "the example's CMake project does not configure"
grep -qxF "wqstore_DIR:PATH=$prefix/$libdir/cmake/wqstore" "$tmp/example-cmake/CMakeCache.txt" ||
  fail "find_package(wqstore) found another package than the one installed in $prefix"
quiet cmake --build "$tmp/example-cmake" || fail "the example does not build through find_package(wqstore)"
check_classes "$tmp/example-cmake/list_classes" "$tmp/classes.expected"

echo "== example through pkg-config"
flags=$(PKG_CONFIG_LIBDIR="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs wqstore)
# shellcheck disable=SC2086  # the flags are words
g++ -std=c++17 -Wall -Wextra -Werror "$src/examples/list_classes.cc" $flags -o "$tmp/list_classes-pc" ||
  fail "the example does not build with: $flags"
check_classes "$tmp/list_classes-pc" "$tmp/classes.expected"

echo "== cpack -G DEB"
(cd "$build" && quiet cpack -G DEB -B "$tmp/package") || fail "cpack -G DEB"
deb=$tmp/package/wqsql_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no package $(basename "$deb"); cpack made: $(ls "$tmp/package")"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = wqsql ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
depends=$(field Depends)
for dep in libc6 libreadline8; do
  grep -Eq "(^|, )$dep( |,|\$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
for f in Maintainer Section; do
  [ -n "$(field "$f")" ] || fail "no $f field"
done
[ "$(field Description | wc -l)" -gt 2 ] || fail "no long description"

root=$tmp/root
dpkg-deb -x "$deb" "$root"
cmp -s "$root/usr/share/doc/wqsql/copyright" "$src/packaging/copyright" ||
  fail "usr/share/doc/wqsql/copyright is not packaging/copyright"
for p in "${programs[@]}"; do
  [ -f "$root/usr/share/man/man1/$p.1" ] || fail "package lacks the page $p.1"
done

echo "== programs unpacked from the package"
check_programs "$root/usr/bin" "$root/usr/share/wqsql" "$tmp/run-package" "$tmp/wqsql-package.out"
diff -u <(sed 's/time: .*/time: S/' "$tmp/wqsql-prefix.out") \
  <(sed 's/time: .*/time: S/' "$tmp/wqsql-package.out") >&2 ||
  fail "the packaged wqsql prints other lines than the installed one"

echo "== example on the packaged library, through its pkg-config file"
pc=$(find "$root" -name wqstore.pc)
flags=$(PKG_CONFIG_LIBDIR=$(dirname "$pc") pkg-config --cflags --libs wqstore)
# shellcheck disable=SC2086
g++ -std=c++17 -Wall -Wextra -Werror "$src/examples/list_classes.cc" $flags -o "$tmp/list_classes-deb" ||
  fail "the example does not build on the package with: $flags"
check_classes "$tmp/list_classes-deb" "$tmp/classes.expected"

echo "install: ok"
