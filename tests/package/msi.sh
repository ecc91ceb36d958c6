#!/bin/sh
# tests/package/msi.sh x86|x64 MSI BIN32 [BIN64]: the installer in a fresh Wine prefix
# of its bitness. An older Velmora (built here from the same DLLs) is replaced,
# leaving one product; each installed pair answers the example script from the
# cscript of its bitness, and the velmora.exe beside it the same with --json; the
# installer's registry entries equal what regsvr32 writes for the installed DLLs;
# removal leaves only the call logs.
# VELMORA_RUN32=OFF: this machine runs no 32-bit program, so the x64 package's 32-bit
# set is installed and removed but not run.
set -eu
[ -f "$2" ] || { echo "no installer at $2: tools/package writes it"; exit 77; }
arch=$1 msi=$(realpath "$2") bin32=$3 bin64=${4:-}
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
export VELMORA_WINEPREFIX=$work/prefix VELMORA_TOOLS=$repo/tools TARSIN_DLL_BUILT=unused
# ALSA's null device gives Wine a wave-output device to answer for, and no complaints
# about a missing sound card in the programs' output.
export ALSA_CONFIG_PATH=$repo/tests/platform/alsa-null.conf
# Each installed pair, one a line: the system folder whose cscript and regsvr32 load
# it, and its folder.
IFS='
'
pairs='C:\windows\system32|C:\Program Files\Velmora'
if [ "$arch" = x64 ]; then
  export VELMORA_WINEARCH=win64
  [ "${VELMORA_RUN32:-ON}" = OFF ] || pairs="$pairs
C:\\windows\\syswow64|C:\\Program Files (x86)\\Velmora"
fi
. "$repo/tests/wine/tarsin.sh"
trap '"$VELMORA_TOOLS/wine-prefix" destroy "$VELMORA_WINEPREFIX"; rm -rf "$work"' EXIT
"$VELMORA_TOOLS/wine-prefix" create "$VELMORA_WINEPREFIX"

# msiexec /i|/x FILE: the package, copied into the prefix, installed or removed
msiexec() {
  cp "$2" "$VELMORA_WINEPREFIX/drive_c/$(basename "$2")"
  wrun msiexec "$1" "C:\\$(basename "$2")" /qn || fail "msiexec $*"
}
# products: how many Velmora products are installed, and the last one's version
products() {
  wrun regedit /E 'C:\uninstall.reg' 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  iconv -f UTF-16 -t UTF-8 "$VELMORA_WINEPREFIX/drive_c/uninstall.reg" | tr -d '\r' |
    awk '/^"DisplayName"="Velmora"$/ { n++ } /^"DisplayVersion"=/ { v = $0 } END { print n + 0, v }'
}
# ours NAME: the exported sections of our classes, ProgIDs, interfaces and type
# library, in both registry views
ours() {
  export_classes "$work/all"
  awk '/^\[/ { keep = /59E76C66-3D0A-47EC-8777-A10953E32D31|5F182F58-47A8-48B8-A8A3-DC2C2F0FD18B|1AB28222-3E3B-45E4-8E3C-4015B3987716|8067C0A5-896F-4C9D-B95A-DCEA15A05E13|7EDE30FC-9BC5-4263-8081-57C1579D1CC9|\\Velmora\./ }
       keep' "$work/all" >"$work/$1"
}
unix_path() { printf '%s/drive_c/%s' "$VELMORA_WINEPREFIX" "$(printf '%s' "${1#C:\\}" | tr '\\' /)"; }

ours before
[ ! -s "$work/before" ] || fail "a fresh prefix holds Velmora's keys"
# A lower version first: this installer must replace it, not sit beside it.
(cd "$repo" && packaging/windows/build-msi 0.9.0 "$arch" "$work/older.msi" "$bin32" "$bin64")
msiexec /i "$work/older.msi"
msiexec /i "$msi"
version=$(msiinfo export "$msi" Property | tr -d '\r' | awk '$1 == "ProductVersion" { print $2 }')
[ "$(products)" = "1 \"DisplayVersion\"=\"$version\"" ] || fail "not one product after the upgrade: $(products)"

cp "$repo/examples/inventory.vbs" "$VELMORA_WINEPREFIX/drive_c/"
for pair in $pairs; do
  system=${pair%|*} folder=$(unix_path "${pair#*|}")
  wrun "$system\\cscript.exe" //nologo 'C:\inventory.vbs' | tr -d '\r' >"$work/facts" || fail "$system cscript"
  # Every method without an argument, one line each; the installed product among the programs.
  [ "$(grep -c '^\(Get\|clsSoftWare\.\)[A-Za-z]*:' "$work/facts")" = 21 ] || fail "$system cscript printed: $(cat "$work/facts")"
  # The product is listed in the registry view of the package's own bitness, which a
  # 32-bit host on 64-bit Windows does not read.
  case $system in *system32) grep -qx 'GetComputerSoftWare: Velmora|' "$work/facts" ||
    fail "Velmora is not among the programs" ;; esac
  grep -q '\[GetOperatingSystemName\]' "$folder/Dovrell.log" || fail "no call log beside ${pair#*|}"
  # The installed velmora.exe answers as the DLL beside it: what a fleet's fact script reads.
  wrun "${pair#*|}\\velmora.exe" --json >"$work/json" || fail "${pair#*|}\\velmora.exe --json: $(cat "$work/json")"
  python3 "$repo/tests/package/same-facts.py" "$work/json" "$work/facts" || fail "velmora.exe in ${pair#*|}"
done
ours installed

# The same DLLs unregistered and registered by regsvr32: the entries must be the installer's.
for pair in $pairs; do wrun "${pair%|*}\\regsvr32.exe" /u /s "${pair#*|}\\Tarsin.dll" || fail "regsvr32 /u $pair"; done
for pair in $pairs; do wrun "${pair%|*}\\regsvr32.exe" /s "${pair#*|}\\Tarsin.dll" || fail "regsvr32 $pair"; done
ours registered
diff "$work/installed" "$work/registered" >&2 || fail "the installer's registry differs from regsvr32's"

msiexec /x "$msi"
ours after
[ ! -s "$work/after" ] || fail "removal left registry entries: $(cat "$work/after")"
for pair in $pairs; do
  folder=$(unix_path "${pair#*|}")
  [ "$(ls -A "$folder")" = Dovrell.log ] || fail "removal left: $(ls -A "$folder")"
done
if [ "$arch" = x64 ] && [ "${VELMORA_RUN32:-ON}" = OFF ]; then
  folder=$(unix_path 'C:\Program Files (x86)\Velmora')
  [ -z "$(ls -A "$folder" 2>/dev/null)" ] || fail "removal left: $(ls -A "$folder")"
  echo "msi $arch: the 32-bit DLLs and velmora.exe were not run: this kernel cannot run 32-bit programs"
fi
[ "$(products)" = "0 " ] || fail "a product is still installed: $(products)"
echo "msi $arch: upgrade, facts, $(grep -c '^\[' "$work/installed") keys as regsvr32 writes them, removal"
