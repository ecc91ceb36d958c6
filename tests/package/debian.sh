#!/bin/sh
# tests/package/debian.sh DIST: the Debian packages in DIST carry the build's version,
# pass lintian (their .changes, the -dbgsym packages with them), install into
# a scratch root (the machine's own package database is never touched), run from
# PATH, log into their own folder, link a consumer through find_package and
# pkg-config, have their debug symbols in the -dbgsym packages, and leave none of
# their files when purged.
set -eu
dist=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
chmod 755 "$root"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=$root/usr/lib/$multiarch

# The packages' version is debian/changelog's: it must be the one the build declares.
version=$(sed -n 's/^project(Velmora VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")
for deb in "$dist"/*.deb; do
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$deb is not version $version (CMakeLists.txt)"
done
report=$(lintian --fail-on error "$dist"/*.changes 2>&1) || fail "lintian reports errors: $report"

mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The libraries they depend on are the machine's, outside the scratch database.
# scratch_dpkg ARG...: dpkg on the scratch root, its complaints shown only on failure
scratch_dpkg() {
  report=$(dpkg --root="$root" --force-depends --no-triggers "$@" 2>&1) || fail "dpkg $*: $report"
}
scratch_dpkg -i "$dist"/*.deb
# Each shipped program and library has its debug symbols in a -dbgsym package, found by build id.
for binary in "$root/usr/bin/velmora" "$libdir"/*.so*; do
  [ -L "$binary" ] && continue
  id=$(readelf -n "$binary" | sed -n 's/^ *Build ID: //p')
  [ -f "$root/usr/lib/debug/.build-id/$(echo "$id" | cut -c1-2)/$(echo "$id" | cut -c3-).debug" ] ||
    fail "no debug symbols for ${binary#"$root"} (build id ${id:-none})"
done

# In a mount namespace of its own, /var/log is a scratch folder holding the
# package's log folder, so the installed library logs there and nowhere else.
run_installed() {
  unshare -m sh -c 'mount -t tmpfs none /var/log && mkdir /var/log/velmora &&
    mount --bind "$0/var/log/velmora" /var/log/velmora && exec "$@"' "$root" \
    env PATH="$root/usr/bin:$PATH" LD_LIBRARY_PATH="$libdir" "$@"
}
expected=$(hostname -s)
[ "$(run_installed velmora GetComputerName)" = "$expected" ] || fail "velmora from PATH"
grep -q '\[GetComputerName\]' "$root/var/log/velmora/Dovrell.log" || fail "no entry in /var/log/velmora"
# Another user may not write there: the call answers and its entries are lost.
before=$(wc -c <"$root/var/log/velmora/Dovrell.log")
[ "$(run_installed setpriv --reuid=nobody --regid=nogroup --clear-groups velmora GetComputerName)" = "$expected" ] \
  || fail "velmora as another user"
[ "$(wc -c <"$root/var/log/velmora/Dovrell.log")" = "$before" ] || fail "another user's entry was written"
[ -z "$(find "$root/usr" -name Dovrell.log)" ] || fail "the installed library wrote under /usr"

for way in OFF ON; do
  build=$root.consumer-$way
  PKG_CONFIG_LIBDIR=$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root \
    cmake -S "$here/consumer" -B "$build" -DCMAKE_PREFIX_PATH="$root/usr" -DVIA_PKG_CONFIG=$way >/dev/null
  cmake --build "$build" >/dev/null || fail "consumer (pkg-config $way) does not build"
  [ "$(run_installed "$build/consumer")" = "$expected" ] || fail "consumer (pkg-config $way) answers wrong"
  rm -rf "$build"
done

scratch_dpkg --purge $(for deb in "$dist"/*.deb; do dpkg-deb -f "$deb" Package; done)
left=$(find "$root" -path "$root/var/lib/dpkg" -prune -o -print | sort)
# Only the call log stays, which the component made, in its folder.
[ "$left" = "$(printf '%s\n' "$root" "$root/var" "$root/var/lib" "$root/var/log" "$root/var/log/velmora" \
  "$root/var/log/velmora/Dovrell.log")" ] || fail "purge left: $left"
echo "debian: $(ls "$dist"/*.deb | wc -l) packages pass lintian, install, run, link and purge"
