# 32,768 uninstall entries: the software list overflows its 16-bit counters, and the
# failure reaches the script as error 6 with its text; the call leaves a begin entry
# without an end entry. The uninstall key is restored afterwards.
here=$(dirname "$0")
. "$here/tarsin.sh"
install_dll velmora-overflow
cp "$here/Overflow.vbs" "$dll_dir/"
uninstall='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
saved="$VELMORA_WINEPREFIX/drive_c/uninstall-saved.reg"
rm -f "$saved"
wrun reg export "$uninstall" 'C:\uninstall-saved.reg' /y >/dev/null 2>&1 || true
restore() {
  wrun reg delete "$uninstall" /f >/dev/null
  [ ! -f "$saved" ] || wrun regedit /S 'C:\uninstall-saved.reg'
  rm -f "$saved" "$VELMORA_WINEPREFIX/drive_c/overflow.reg"
  unregister
}
register
trap restore EXIT

KEY=$uninstall awk 'BEGIN {
  printf "REGEDIT4\r\n\r\n"
  for (i = 0; i < 32768; i++) printf "[%s\\overflow%05d]\r\n\r\n", ENVIRON["KEY"], i
}' >"$VELMORA_WINEPREFIX/drive_c/overflow.reg"
wrun regedit /S 'C:\overflow.reg' || fail "regedit /S overflow.reg"

result=$(wrun cscript //nologo "C:\\velmora-overflow\\Overflow.vbs") || { echo "$result"; fail "Overflow.vbs"; }
echo "$result"
echo "$result" | grep -q '^Overflow: all checks passed' || fail "Overflow.vbs did not finish"

text=$(iconv -f GBK -t UTF-8 "$dll_dir/Dovrell.log" | tr -d '\r')
[ "$(echo "$text" | sed -n '1p;2p' | tail -1)" = "开始" ] || fail "no begin entry"
[ "$(echo "$text" | grep -c '^结束$')" -eq 0 ] || fail "an end entry after the failure"
echo "$text" | head -1 | grep -qF '[GetComputerSoftWare]' || fail "begin entry names $(echo "$text" | head -1)"
