#!/usr/bin/env bash
# What a user gets: installs the build into a temporary prefix, runs the
# installed programs on the installed sample source, builds the example
# program on the installed store library (once through find_package(wqstore),
# once through pkg-config), then builds the Debian packages from a clean copy
# of the sources (tests/install/packages.sh) and checks them. Nothing is
# installed on the system.
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
for program in cmake ninja g++ pkg-config dpkg-buildpackage dh lintian sqlite3; do
  command -v "$program" >/dev/null || missing+=("$program")
done
((${#missing[@]} == 0)) || fail "missing programs: ${missing[*]} (scripts/test.sh installs them)"

version=$(sed -n 's/^project(wqsql VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || fail "no project version in $src/CMakeLists.txt"
soversion=${version%.*}
[ -f "$build/dravik.rtm" ] || fail "no sample repository $build/dravik.rtm"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/wqsql-install.XXXXXX")
trap '[ -n "${WQ_KEEP_INSTALL_TMP:-}" ] || rm -rf "$tmp"' EXIT

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
  include/wqstore/wqstore.h include/wqstore/repository.h include/wqstore/writer.h
  include/wqstore/result.h include/wqstore/version.h include/wqstore/export.h
  "$libdir/libwqstore.a" "$libdir/libwqstore.so.$soversion"
  "$libdir/cmake/wqstore/wqstoreConfig.cmake" "$libdir/cmake/wqstore/wqstoreConfigVersion.cmake"
  "$libdir/pkgconfig/wqstore.pc" "$libdir/pkgconfig/wqstore-static.pc"
  "$libdir/wqstore.so" share/man/man7/wqstore-sqlite.7
)
for p in "${programs[@]}"; do
  expected_files+=("share/man/man1/$p.1" "share/bash-completion/completions/$p"
                   "share/zsh/vendor-completions/_$p")
done
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

echo "== installed headers, each on its own and after Xlib's macros"
for h in "$prefix"/include/wqstore/*.h; do
  name=wqstore/$(basename "$h")
  for before in "" "#include <X11/Xlib.h>"; do
    printf '%s\n#include <%s>\n' "$before" "$name" |
      g++ -std=c++17 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I "$prefix/include" -x c++ - ||
      fail "installed $name does not compile ${before:+after $before}"
  done
done

echo "== the shared library exports the public face alone"
so=$prefix/$libdir/libwqstore.so.$soversion
[ "$(readelf -d "$so" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')" = "libwqstore.so.$soversion" ] ||
  fail "libwqstore's SONAME is not libwqstore.so.$soversion"
others=$(nm -DC --defined-only "$so" | awk '{ $1 = ""; $2 = ""; sub(/^ +/, ""); print }' |
  grep -Ev '^(typeinfo (name )?for |vtable for )?wqstore::' || true)
[ -z "$others" ] || fail "libwqstore.so exports more than wqstore::, e.g. $(head -3 <<<"$others")"

# The example programs built one way (find_package or pkg-config, shared or
# static) in DIR: the classes as the shell lists them, the sum over a
# written repository (the same file as the first build, through the shared
# library, wrote), and the reason for a file they cannot read.
check_examples() {
  local dir=$1 how=$2
  check_classes "$dir/list_classes" "$tmp/classes.expected"
  "$dir/make_numbers" 1000 "$tmp/numbers-$how.rtm" >"$tmp/numbers-$how.out" ||
    fail "make_numbers ($how) fails"
  grep -qx '1000 objects, sum of n 499500' "$tmp/numbers-$how.out" ||
    fail "make_numbers ($how) says $(cat "$tmp/numbers-$how.out")"
  cmp -s "$tmp/numbers-$how.rtm" "$tmp/numbers-cmake-shared.rtm" ||
    fail "make_numbers ($how) writes another file than the shared library's"
  local status=0
  "$dir/list_classes" "$tmp/missing.rtm" 2>"$tmp/missing.err" || status=$?
  [ "$status" = 1 ] && grep -qx "list_classes: $tmp/missing.rtm: cannot open file: No such file or directory" \
    "$tmp/missing.err" || fail "list_classes ($how) on a missing file: status $status, $(cat "$tmp/missing.err")"
  head -c 300 "$build/dravik.rtm" >"$tmp/cut.rtm"
  status=0
  "$dir/list_classes" "$tmp/cut.rtm" 2>"$tmp/cut.err" || status=$?
  [ "$status" = 1 ] && grep -q "^list_classes: $tmp/cut.rtm: " "$tmp/cut.err" ||
    fail "list_classes ($how) on a damaged file: status $status, $(cat "$tmp/cut.err")"
}

for kind in shared static; do
  echo "== examples through find_package(wqstore), $kind"
  static=OFF
  [ "$kind" = static ] && static=ON
  quiet cmake -S "$src/examples" -B "$tmp/example-$kind" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" -DWQSTORE_STATIC=$static || fail "the examples' CMake project does not configure"
  grep -qxF "wqstore_DIR:PATH=$prefix/$libdir/cmake/wqstore" "$tmp/example-$kind/CMakeCache.txt" ||
    fail "find_package(wqstore) found another package than the one installed in $prefix"
  quiet cmake --build "$tmp/example-$kind" || fail "the examples do not build through find_package(wqstore), $kind"
  needs=$(ldd "$tmp/example-$kind/list_classes")
  if [ "$kind" = shared ]; then
    grep -q "libwqstore.so.$soversion => $prefix/" <<<"$needs" ||
      fail "list_classes does not run on the installed shared library"
  else
    ! grep -q libwqstore <<<"$needs" || fail "list_classes built static still needs libwqstore.so"
  fi
  check_examples "$tmp/example-$kind" "cmake-$kind"
done

# The examples in EXAMPLES built with the flags of the pkg-config files in
# the library folder LIBDIR, shared and static, each checked; TAG names the
# builds.
check_examples_pkgconfig() {
  local examples=$1 libdir=$2 tag=$3 module example flags
  for module in wqstore wqstore-static; do
    flags=$(PKG_CONFIG_LIBDIR="$libdir/pkgconfig" pkg-config --cflags --libs $module)
    mkdir -p "$tmp/$tag-$module"
    for example in list_classes make_numbers; do
      # shellcheck disable=SC2086  # the flags are words
      g++ -std=c++17 -Wall -Wextra -Werror "$examples/$example.cc" $flags \
        -Wl,-rpath,"$libdir" -o "$tmp/$tag-$module/$example" ||
        fail "$example ($tag) does not build with: $flags"
    done
    check_examples "$tmp/$tag-$module" "$tag-$module"
  done
}

echo "== examples through pkg-config, shared and static"
check_examples_pkgconfig "$src/examples" "$prefix/$libdir" pc

echo "== the static archive links into a shared object"
cat >"$tmp/plugin.cc" <<'PLUGIN'
#include <memory>
#include <wqstore/wqstore.h>
extern "C" int plugin_class_count(const char* path) {
  std::unique_ptr<wqstore::Repository> repo;
  return wqstore::Repository::Open(path, &repo).ok() ? repo->class_count() : -1;
}
PLUGIN
g++ -std=c++17 -shared -fPIC -Wl,--no-undefined "$tmp/plugin.cc" -I "$prefix/include" \
  "$prefix/$libdir/libwqstore.a" -pthread -o "$tmp/plugin.so" || fail "libwqstore.a does not link into a shared object"
printf 'extern "C" int plugin_class_count(const char*);\n#include <cstdio>\nint main(int, char** v) { std::printf("%%d\\n", plugin_class_count(v[1])); }\n' |
  g++ -x c++ - -x none "$tmp/plugin.so" -Wl,-rpath,"$tmp" -o "$tmp/plugin_main" || fail "cannot link the plugin"
[ "$("$tmp/plugin_main" "$build/dravik.rtm")" = "$(wc -l <"$tmp/classes.expected")" ] ||
  fail "the plugin counts other classes than the shell lists"

echo "== counting 10,000,000 objects in little memory"
"$tmp/example-shared/make_numbers" 10000000 "$tmp/big.rtm" >/dev/null || fail "make_numbers 10000000"
peak=$(/usr/bin/python3 - "$tmp/example-shared/list_classes" "$tmp/big.rtm" <<'PEAK'
import resource, subprocess, sys
out = subprocess.run(sys.argv[1:], capture_output=True, text=True, check=True).stdout
assert out == "Number (1): 10000000 objects\n", out
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024)
PEAK
) || fail "list_classes on 10,000,000 objects"
[ "$peak" -lt 64 ] || fail "list_classes took $peak MiB to count 10,000,000 objects"
rm -f "$tmp/big.rtm"

# The Debian packages, checked and run from a throw-away root.
. "$(dirname "$0")/packages.sh"

echo "install: ok"
