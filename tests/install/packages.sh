# The Debian packages, sourced by tests/install/run.sh (which defines fail,
# quiet, check_programs, check_classes, check_examples,
# check_examples_pkgconfig, and the variables build, src, tmp, version,
# soversion, programs): builds them with dpkg-buildpackage (no tests) from
# a copy of the sources without build folders, checks them with lintian and
# their fields, unpacks them all into one throw-away root and runs from
# there the shell and the tools on the sample, the Python module, the
# SQLite extension in sqlite3 and the example programs built on
# libwqstore-dev.

echo "== dpkg-buildpackage"
debian_version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
[ "${debian_version%-*}" = "$version" ] ||
  fail "debian/changelog is at $debian_version, CMakeLists.txt at $version (scripts/check_versions.sh)"
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
multiarch=$(dpkg-architecture -q DEB_HOST_MULTIARCH)
pkgdir=$tmp/packages
sources=$pkgdir/wqsql-$version
mkdir -p "$sources"
tar -C "$src" --exclude=./.git --exclude='./build*' --exclude=./debian/build --exclude='./obj-*' \
  --exclude=./bench/data -c . | tar -x -C "$sources"
(cd "$sources" && DEB_BUILD_OPTIONS="nocheck parallel=2" quiet dpkg-buildpackage -us -uc -b) ||
  fail "dpkg-buildpackage"
[ ! -e "$sources/debian/build/CTestTestfile.cmake" ] || fail "DEB_BUILD_OPTIONS=nocheck still configured the tests"

deb_of() { echo "$pkgdir/${1}_${debian_version}_$arch.deb"; }
packages=(wqsql "libwqstore$soversion" libwqstore-dev python3-wqstore libsqlite3-mod-wqstore)
for p in "${packages[@]}"; do
  [ -f "$(deb_of "$p")" ] || fail "no package $p; dpkg-buildpackage made: $(cd "$pkgdir" && ls -- *.deb)"
done
made=$(cd "$pkgdir" && ls -- *.deb | grep -v -- '-dbgsym_' | wc -l)
[ "$made" = ${#packages[@]} ] || fail "dpkg-buildpackage made $made packages: $(cd "$pkgdir" && ls -- *.deb)"

echo "== lintian"
changes=$pkgdir/wqsql_${debian_version}_$arch.changes
lintian --pedantic --fail-on error,warning "$changes" >"$tmp/lintian.out" 2>&1 || {
  cat "$tmp/lintian.out" >&2
  fail "lintian reports errors or warnings"
}
if grep -q '^[EW]: ' "$tmp/lintian.out"; then
  cat "$tmp/lintian.out" >&2
  fail "lintian reports errors or warnings"
fi

echo "== package fields"
field() { dpkg-deb -f "$(deb_of "$1")" "$2"; }
has_dep() { grep -Eq "(^|, )$2( |,|\$)" <<<"$(field "$1" Depends)" || fail "$1's Depends lacks $2: $(field "$1" Depends)"; }
for p in "${packages[@]}"; do
  [ "$(field "$p" Version)" = "$debian_version" ] || fail "$p: Version $(field "$p" Version)"
  for f in Maintainer Section Description; do
    [ -n "$(field "$p" "$f")" ] || fail "$p: no $f field"
  done
  [ "$(field "$p" Description | wc -l)" -gt 2 ] || fail "$p: no long description"
done
for dep in libc6 libreadline8; do has_dep wqsql $dep; done
has_dep libwqstore-dev "libwqstore$soversion \\(= ${debian_version//./\\.}\\)"
has_dep python3-wqstore python3
has_dep python3-wqstore python3-numpy
has_dep libsqlite3-mod-wqstore libc6
for p in "libwqstore$soversion" libwqstore-dev libsqlite3-mod-wqstore; do
  [ "$(field "$p" Multi-Arch)" = same ] || fail "$p is not Multi-Arch: same"
done

# Which package holds a path (relative to the root), or nothing.
contents() { dpkg-deb -c "$(deb_of "$1")" | awk '{ print $6 }' | sed 's|^\./||'; }
for p in "${packages[@]}"; do contents "$p" >"$tmp/contents-$p"; done
owner() { grep -lx -- "$1" "$tmp"/contents-* 2>/dev/null | sed "s|^$tmp/contents-||"; }
expect_in() {
  local p=$1 f
  shift
  for f in "$@"; do
    [ "$(owner "$f")" = "$p" ] || fail "$f is in '$(owner "$f")', not in $p"
  done
}
lib=usr/lib/$multiarch
python_dir=usr/lib/python3/dist-packages/wqstore
expect_in wqsql usr/share/wqsql/examples/dravik.json usr/share/man/man5/wqsource.5.gz \
  usr/share/doc/wqsql/changelog.gz usr/share/doc/wqsql/changelog.Debian.gz
for p in "${programs[@]}"; do
  expect_in wqsql "usr/bin/$p" "usr/share/man/man1/$p.1.gz" \
    "usr/share/bash-completion/completions/$p" "usr/share/zsh/vendor-completions/_$p"
done
expect_in "libwqstore$soversion" "$lib/libwqstore.so.$soversion" "$lib/libwqstore.so.$version"
expect_in libwqstore-dev "$lib/libwqstore.so" "$lib/libwqstore.a" "$lib/pkgconfig/wqstore.pc" \
  "$lib/pkgconfig/wqstore-static.pc" "$lib/cmake/wqstore/wqstoreConfig.cmake" \
  usr/include/wqstore/wqstore.h usr/include/wqstore/version.h \
  usr/share/doc/libwqstore-dev/examples/list_classes.cc usr/share/doc/libwqstore-dev/examples/CMakeLists.txt
expect_in python3-wqstore "$python_dir/__init__.py" "$python_dir/dask.py"
expect_in libsqlite3-mod-wqstore "$lib/wqstore.so" usr/share/man/man7/wqstore-sqlite.7.gz
uncompressed=$(grep -h '^usr/share/man/.*\.[1-7]$' "$tmp"/contents-* || true)
[ -z "$uncompressed" ] || fail "manual pages not compressed: $uncompressed"
outside=$(grep -hE '^usr/lib/[^/]+\.(so|a)' "$tmp"/contents-* || true)
[ -z "$outside" ] || fail "libraries outside the multiarch folder: $outside"

root=$tmp/root
for p in "${packages[@]}"; do dpkg-deb -x "$(deb_of "$p")" "$root"; done
for p in "${packages[@]}"; do
  cmp -s "$root/usr/share/doc/$p/copyright" "$src/debian/copyright" ||
    fail "usr/share/doc/$p/copyright is not debian/copyright"
done
for p in "${programs[@]}"; do
  head -1 "$root/usr/share/zsh/vendor-completions/_$p" | grep -qx "#compdef $p" ||
    fail "the package's zsh completion of $p does not start with #compdef $p"
done

echo "== hardening of the packaged binaries"
for f in "${programs[@]/#/usr/bin/}" "$lib/libwqstore.so.$version" "$lib/wqstore.so" \
  "$(cd "$root" && ls $python_dir/_wqstore*.so)"; do
  # (Read whole before grep: an early exit of grep -q would fail the pipe.)
  dynamic=$(readelf -d "$root/$f")
  grep -Eq 'FLAGS.*\bNOW\b' <<<"$dynamic" || fail "$f is not linked with -z now"
  segments=$(readelf -lW "$root/$f")
  grep -q GNU_RELRO <<<"$segments" || fail "$f has no RELRO segment"
done
for p in wqsql wqmake; do
  imports=$(nm -D "$root/usr/bin/$p")
  grep -Eq '__[a-z]+_chk@' <<<"$imports" || fail "usr/bin/$p calls no fortified function"
done

echo "== programs unpacked from the packages"
check_programs "$root/usr/bin" "$root/usr/share/wqsql" "$tmp/run-package" "$tmp/wqsql-package.out"
diff -u <(sed 's/time: .*/time: S/' "$tmp/wqsql-prefix.out") \
  <(sed 's/time: .*/time: S/' "$tmp/wqsql-package.out") >&2 ||
  fail "the packaged wqsql prints other lines than the installed one"

echo "== the Python module unpacked from python3-wqstore"
PYTHONPATH=$root/usr/lib/python3/dist-packages PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - \
  "$root" "$build/dravik.rtm" >"$tmp/python.out" <<'PY' || fail "python3 cannot use the packaged wqstore"
import sys, wqstore
root, sample = sys.argv[1:]
assert wqstore.__file__.startswith(root + "/"), wqstore.__file__
with wqstore.open(sample) as repo:
    for cls in repo.classes:
        print(f"{cls.name} ({cls.number}): {len(cls)} objects")
    # An int column is a numpy view of the file (python3-numpy, a dependency).
    capacity = repo["Warehouse"].column("capacity")
    assert capacity.dtype.name == "int32" and int(capacity.sum()) == 12000 + 8500 + 0 - 2**31, capacity
PY
diff -u "$tmp/classes.expected" "$tmp/python.out" >&2 || fail "the packaged Python module lists other classes than wqsql"

echo "== the SQLite extension unpacked from libsqlite3-mod-wqstore"
sqlite3 -batch :memory: ".load $root/$lib/wqstore" \
  "select name || ' (' || number || '): ' || object_count from wq_classes('$build/dravik.rtm')" \
  >"$tmp/sqlite.out" 2>&1 || { cat "$tmp/sqlite.out" >&2; fail "sqlite3 cannot .load the packaged extension"; }
sed 's/$/ objects/' "$tmp/sqlite.out" | diff -u "$tmp/classes.expected" - >&2 ||
  fail "the packaged extension lists other classes than wqsql"

echo "== the examples of libwqstore-dev on it, through find_package(wqstore) and pkg-config"
examples=$root/usr/share/doc/libwqstore-dev/examples
quiet cmake -S "$examples" -B "$tmp/example-deb" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$root/usr" -DCMAKE_INSTALL_RPATH_USE_LINK_PATH=ON ||
  fail "the examples do not configure on libwqstore-dev"
grep -qxF "wqstore_DIR:PATH=$root/$lib/cmake/wqstore" "$tmp/example-deb/CMakeCache.txt" ||
  fail "find_package(wqstore) found another package than libwqstore-dev's"
quiet cmake --build "$tmp/example-deb" || fail "the examples do not build on libwqstore-dev"
grep -q "libwqstore.so.$soversion => $root/" <<<"$(ldd "$tmp/example-deb/list_classes")" ||
  fail "list_classes does not run on the packaged shared library"
check_examples "$tmp/example-deb" deb-cmake
check_examples_pkgconfig "$examples" "$root/$lib" deb
