# regsvr32 writes both classes and the type library; regsvr32 /u leaves the
# registry exactly as it was before.
here=$(dirname "$0")
. "$here/tarsin.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

install_dll velmora-registry
export_classes "$work/before"
register
export_classes "$work/during"
unregister
unregister   # a second removal finds nothing to remove, and says so without failing
export_classes "$work/after"

if ! cmp -s "$work/before" "$work/after"; then
  diff "$work/before" "$work/after" | head -40
  fail "regsvr32 /u did not restore the registry"
fi

# What registration added, each entry a key line followed by its values.
diff "$work/before" "$work/during" | sed -n 's/^> //p' >"$work/added"
path=$(printf '%s' "$dll_win" | sed 's/\\/\\\\/g')
for class in '{8067C0A5-896F-4C9D-B95A-DCEA15A05E13} Velmora.clsTarsin 1.1' \
             '{7EDE30FC-9BC5-4263-8081-57C1579D1CC9} Velmora.clsSoftWare 1.0'; do
  set -- $class
  clsid=$1 progid=$2 version=$3
  for expected in \
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$clsid]|@=\"$progid\"" \
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$clsid\\InprocServer32]|@=\"$path\"" \
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$clsid\\InprocServer32]|\"ThreadingModel\"=\"Apartment\"" \
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$clsid\\ProgID]|@=\"$progid\"" \
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$clsid\\VERSION]|@=\"$version\"" \
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$clsid\\TypeLib]|@=\"{59E76C66-3D0A-47EC-8777-A10953E32D31}\"" \
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\$progid\\Clsid]|@=\"$clsid\""; do
    key=${expected%%|*} value=${expected#*|}
    # the value must stand under its own key, before the next key line
    # (through the environment: awk -v would undo the doubled backslashes)
    KEY=$key VALUE=$value awk '
      $0 == ENVIRON["KEY"] { inside = 1; next }
      /^\[/ { inside = 0 }
      inside && $0 == ENVIRON["VALUE"] { found = 1 }
      END { exit !found }' "$work/during" || fail "registration lacks $key $value"
  done
done
syskind=${VELMORA_WINEARCH:-win32}
grep -qi "^\\[HKEY_LOCAL_MACHINE\\\\Software\\\\Classes\\\\TypeLib\\\\{59E76C66-3D0A-47EC-8777-A10953E32D31}\\\\1.1\\\\0\\\\$syskind\\]" \
  "$work/added" || fail "type library 1.1 not registered for $syskind"
for iid in 5F182F58-47A8-48B8-A8A3-DC2C2F0FD18B 1AB28222-3E3B-45E4-8E3C-4015B3987716; do
  grep -qi "^\[HKEY_LOCAL_MACHINE\\\\Software\\\\Classes\\\\Interface\\\\{$iid}\]" "$work/added" \
    || fail "interface {$iid} not registered"
done
echo "registration: $(grep -c '^\[' "$work/added") keys added and all removed again"
