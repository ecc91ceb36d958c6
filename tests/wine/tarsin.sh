# Sourced by the Tarsin.dll tests: a private copy of the DLL inside the scratch
# prefix (so its log lands in a folder of its own), registered with regsvr32.
set -eu
: "${VELMORA_WINEPREFIX:?}" "${VELMORA_TOOLS:?}" "${TARSIN_DLL_BUILT:?}"

wrun() { "$VELMORA_TOOLS/wine-run" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

# install_dll NAME: C:\NAME\Tarsin.dll in a fresh folder; sets dll_dir (Unix) and dll_win.
install_dll() {
  dll_dir="$VELMORA_WINEPREFIX/drive_c/$1"
  rm -rf "$dll_dir"
  mkdir -p "$dll_dir"
  cp "$TARSIN_DLL_BUILT" "$dll_dir/Tarsin.dll"
  # the outside identity library ships beside the DLL
  cp "$(dirname "$TARSIN_DLL_BUILT")/Corvel.dll" "$dll_dir/Corvel.dll"
  dll_win="C:\\$1\\Tarsin.dll"
}

register() { wrun regsvr32 /s "$dll_win" || fail "regsvr32 $dll_win"; }
unregister() { wrun regsvr32 /u /s "$dll_win" || fail "regsvr32 /u $dll_win"; }

# export_classes FILE: HKLM\Software\Classes (where HKEY_CLASSES_ROOT writes go) as UTF-8 text.
export_classes() {
  wrun regedit /E 'C:\classes.reg' 'HKEY_LOCAL_MACHINE\Software\Classes' || fail "regedit /E"
  iconv -f UTF-16 -t UTF-8 "$VELMORA_WINEPREFIX/drive_c/classes.reg" | tr -d '\r' >"$1"
  rm -f "$VELMORA_WINEPREFIX/drive_c/classes.reg"
}
