#!/bin/sh
# tests/package/msi.sh MSI BIN32: the x86 installer in a fresh 32-bit Wine prefix.
# An older Velmora (built here from BIN32) is replaced, leaving one product; the
# installed classes answer the example script; the installer's registry entries equal
# what regsvr32 writes for the installed DLL; removal leaves only the call log.
set -eu
msi=$(realpath "$1") bin32=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
export VELMORA_WINEPREFIX=$work/prefix VELMORA_TOOLS=$repo/tools TARSIN_DLL_BUILT=unused
. "$repo/tests/wine/tarsin.sh"
trap '"$VELMORA_TOOLS/wine-prefix" destroy "$VELMORA_WINEPREFIX"; rm -rf "$work"' EXIT
"$VELMORA_TOOLS/wine-prefix" create "$VELMORA_WINEPREFIX"
folder="$VELMORA_WINEPREFIX/drive_c/Program Files/Velmora"
dll='C:\Program Files\Velmora\Tarsin.dll'

# msiexec /i|/x FILE: the package, copied into the prefix, installed or removed
msiexec() {
  cp "$2" "$VELMORA_WINEPREFIX/drive_c/$(basename "$2")"
  wrun msiexec "$1" "C:\\$(basename "$2")" /qn || fail "msiexec $*"
}
# products: the display names and versions of the installed Velmora products
products() {
  wrun regedit /E 'C:\uninstall.reg' 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  iconv -f UTF-16 -t UTF-8 "$VELMORA_WINEPREFIX/drive_c/uninstall.reg" | tr -d '\r' |
    awk '/^"DisplayName"="Velmora"$/ { n++ } /^"DisplayVersion"=/ { v = $0 } END { print n + 0, v }'
}

# ours NAME: the exported sections of our classes, ProgIDs, interfaces and type library
ours() {
  export_classes "$work/all"
  awk '/^\[/ { keep = /59E76C66-3D0A-47EC-8777-A10953E32D31|5F182F58-47A8-48B8-A8A3-DC2C2F0FD18B|1AB28222-3E3B-45E4-8E3C-4015B3987716|8067C0A5-896F-4C9D-B95A-DCEA15A05E13|7EDE30FC-9BC5-4263-8081-57C1579D1CC9|Classes\\Velmora\./ }
       keep' "$work/all" >"$work/$1"
}

ours before
[ ! -s "$work/before" ] || fail "a fresh prefix holds Velmora's keys"
# A lower version first: this installer must replace it, not sit beside it.
(cd "$repo" && packaging/windows/build-msi 0.9.0 x86 "$work/older.msi" "$bin32")
msiexec /i "$work/older.msi"
msiexec /i "$msi"
[ "$(products)" = "1 $(msiinfo export "$msi" Property | tr -d '\r' | awk '$1 == "ProductVersion" { printf "\"DisplayVersion\"=\"%s\"", $2 }')" ] \
  || fail "not one product after the upgrade: $(products)"
ours installed

cp "$repo/examples/inventory.vbs" "$VELMORA_WINEPREFIX/drive_c/"
wrun cscript //nologo 'C:\inventory.vbs' | tr -d '\r' >"$work/facts" || fail "the example script"
# Every method without an argument, one line each; the installed product among the programs.
[ "$(grep -c '^\(Get\|clsSoftWare\.\)[A-Za-z]*:' "$work/facts")" = 21 ] || fail "the example printed: $(cat "$work/facts")"
grep -qx 'GetComputerSoftWare: Velmora|' "$work/facts" || fail "Velmora is not among the programs"
! grep -q '(error' "$work/facts" || fail "a fact failed: $(grep '(error' "$work/facts")"
grep -q '\[GetOperatingSystemName\]' "$folder/Dovrell.log" || fail "no call log beside the installed DLL"

# The same DLL unregistered and registered by regsvr32: its entries must be the installer's.
wrun regsvr32 /u /s "$dll" || fail "regsvr32 /u"
wrun regsvr32 /s "$dll" || fail "regsvr32"
ours registered
diff "$work/installed" "$work/registered" >&2 || fail "the installer's registry differs from regsvr32's"

msiexec /x "$msi"
ours after
[ ! -s "$work/after" ] || fail "removal left registry entries: $(cat "$work/after")"
[ "$(ls -A "$folder")" = Dovrell.log ] || fail "removal left: $(ls -A "$folder")"
[ "$(products)" = "0 " ] || fail "a product is still installed: $(products)"
echo "msi x86: upgrade, facts, $(grep -c '^\[' "$work/installed") keys as regsvr32 writes them, removal"
