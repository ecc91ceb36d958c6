# VBScript under cscript against a registered copy of the DLL; then the example
# script; then the call log, which must stand beside the DLL and nowhere else.
# Arguments: velmora.exe, TarsinTest.vbs, examples/inventory.vbs.
here=$(dirname "$0")
. "$here/tarsin.sh"
cli=$1
install_dll velmora-script
cp "$2" "$3" "$dll_dir/"
# Wine's mount manager reads drive letters when its server starts.
restart_wine() {
  WINEPREFIX="$VELMORA_WINEPREFIX" wineserver -k 2>/dev/null || true
  WINEPREFIX="$VELMORA_WINEPREFIX" wineserver -w
  WINEPREFIX="$VELMORA_WINEPREFIX" wineserver -p </dev/null >/dev/null 2>&1
}
# Extra drive letters for the disk summary: a CD-ROM at D: and a second fixed drive at E:.
map_drives() {
  mkdir -p "$dll_dir/cdrom" "$dll_dir/fixed"
  ln -sfn "$dll_dir/cdrom" "$VELMORA_WINEPREFIX/dosdevices/d:"
  ln -sfn "$dll_dir/fixed" "$VELMORA_WINEPREFIX/dosdevices/e:"
  wrun reg add 'HKLM\Software\Wine\Drives' /v 'd:' /d cdrom /f >/dev/null
  restart_wine
}
unmap_drives() {
  rm -f "$VELMORA_WINEPREFIX/dosdevices/d:" "$VELMORA_WINEPREFIX/dosdevices/e:"
  wrun reg delete 'HKLM\Software\Wine\Drives' /v 'd:' /f >/dev/null 2>&1 || true
  restart_wine
}
# Uninstall entries: two with display names (added out of order) and one without.
uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
add_programs() {
  wrun reg add "$uninstall\\VelmoraTestB" /v DisplayName /d 'Velmora Beta 2.0' /f >/dev/null
  wrun reg add "$uninstall\\VelmoraTestA" /v DisplayName /d 'Velmora Alpha 1.0' /f >/dev/null
  wrun reg add "$uninstall\\VelmoraTestC" /f >/dev/null
}
remove_programs() {
  for key in VelmoraTestA VelmoraTestB VelmoraTestC; do wrun reg delete "$uninstall\\$key" /f >/dev/null 2>&1 || true; done
}
map_drives
add_programs
register
trap 'unregister; remove_programs; unmap_drives' EXIT

answer() { wrun "$cli" "$1" | tr -d '\r'; }
name=$(answer GetOperatingSystemName)
version=$(answer GetOperatingSystemVersion)
serial=$(answer GetDiskSerialNumber)
[ -n "$serial" ] || fail "velmora.exe answers no identity code beside Corvel.dll"
methods=$(wrun "$cli" --list | tr -d '\r' | paste -sd, -)
rm -f "$dll_dir/Dovrell.log"

# cscript ends with 0 when a script does not even compile, so the last line must be there.
result=$(wrun cscript //nologo "C:\\velmora-script\\TarsinTest.vbs" "=$name" "=$version" "$methods") \
  || { echo "$result"; fail "TarsinTest.vbs"; }
echo "$result"
echo "$result" | grep -q '^TarsinTest: all checks passed' || fail "TarsinTest.vbs did not finish"

inventory=$(wrun cscript //nologo "C:\\velmora-script\\inventory.vbs") || fail "inventory.vbs"
echo "$inventory"
for method in GetDiskSerialNumber GetOperatingSystemName GetOperatingSystemVersion GetComputerSoftWare GetFixdDisk \
              clsSoftWare.GetComputerSoftWare; do
  echo "$inventory" | grep -q "^$method" || fail "inventory.vbs printed no line for $method"
done

# Both software lists through the DLL hold the display names that reg query lists, in order.
names=$(wrun reg query "$uninstall" /s /v DisplayName | tr -d '\r' | sed -n 's/^ *DisplayName *REG_SZ *//p')
echo "$names" | grep -qx 'Velmora Alpha 1.0' || fail "reg query does not list the fixture ($names)"
joined=$(echo "$names" | awk '{ printf "%s|", $0 }')
echo "$inventory" | tr -d '\r' | grep -qxF "GetComputerSoftWare: $joined" \
  || fail "GetComputerSoftWare through the DLL differs from reg query ($joined)"
listed=$(echo "$inventory" | tr -d '\r' | sed -n '/^clsSoftWare.GetComputerSoftWare: /,$p' | sed -n 's/^  //p')
[ "$listed" = "$names" ] || fail "clsSoftWare's array differs from reg query: $listed"

# The summary lists the fixed drives, the second one included, and not the CD-ROM.
disks=$(echo "$inventory" | tr -d '\r' | grep '^GetComputerDiskInfo: ')
case $disks in *"E:#"*) ;; *) fail "the disk summary lacks the fixed drive E: ($disks)" ;; esac
case $disks in *"D:#"*) fail "the disk summary lists the CD-ROM D: ($disks)" ;; esac

# The network and sound answers through the DLL are the Win32 backend's, as velmora.exe gives them.
for method in GetInternetCardAddress GetComputerIP GetSoundCardId GetSoundCardName GetSoundCardChannel \
              GetSoundCardDwformats GetSoundCardDwsupport; do
  expected=$(answer "$method")
  echo "$inventory" | tr -d '\r' | grep -qxF "$method: $expected" \
    || fail "$method through the DLL differs from velmora.exe ($expected)"
done

# Wine refuses SMART, so the code comes from Corvel.dll beside Tarsin.dll, as beside velmora.exe.
echo "$inventory" | tr -d '\r' | grep -qx "GetDiskSerialNumber: $serial" \
  || fail "the identity code through the DLL differs from velmora.exe's ($serial)"

# Every call made from the scripts left its begin and end entry beside the DLL;
# the log is in the ANSI code page of the prefix (936 under zh_CN).
log="$dll_dir/Dovrell.log"
[ -f "$log" ] || fail "no Dovrell.log beside Tarsin.dll"
[ ! -f "$VELMORA_WINEPREFIX/drive_c/windows/system32/Dovrell.log" ] || fail "a log beside cscript.exe"
text=$(iconv -f GBK -t UTF-8 "$log" | tr -d '\r')
for method in GetOperatingSystemName GetOperatingSystemVersion; do
  begins=$(echo "$text" | grep -A1 -F "[$method]" | grep -c '^开始$')
  ends=$(echo "$text" | grep -A1 -F "[$method]" | grep -c '^结束$')
  [ "$begins" -ge 2 ] && [ "$begins" -eq "$ends" ] || fail "$method: $begins begin and $ends end entries"
done
# GetComputerDiskInfo's own calls nest inside it: one whole begin/end pair per method and fixed drive.
drives=$(echo "$disks" | sed 's/^GetComputerDiskInfo: //' | tr '|' '\n' | grep -c .)
nested=$(echo "$text" | awk '
  /^[0-9].*\[.*\]  $/ { name = $0; sub(/^.*\[/, "", name); sub(/\].*$/, "", name); next }
  { entry = name " " $0 }
  entry == "GetComputerDiskInfo 开始" { inside = 1; pairs = 0; open = ""; next }
  entry == "GetComputerDiskInfo 结束" && inside { print (open == "" ? pairs : "torn"); inside = 0; next }
  inside && $0 == "开始" { if (open != "") bad = 1; open = name; next }
  inside && $0 == "结束" { if (open != name) bad = 1; open = ""; pairs++; next }
  END { if (bad) print "torn" }' | tail -n 1)
[ "$nested" = "$((drives * 3))" ] || fail "GetComputerDiskInfo nests $nested pairs for $drives drives"

echo "log beside the DLL: $(echo "$text" | grep -c '^开始$') calls, each with its begin and end entry"
