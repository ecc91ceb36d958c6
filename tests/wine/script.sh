# VBScript under cscript against a registered copy of the DLL; then the example
# script; then the call log, which must stand beside the DLL and nowhere else.
# Arguments: velmora.exe, TarsinTest.vbs, examples/inventory.vbs.
here=$(dirname "$0")
. "$here/tarsin.sh"
cli=$1
install_dll velmora-script
cp "$2" "$3" "$dll_dir/"
register
trap 'unregister' EXIT

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
echo "log beside the DLL: $(echo "$text" | grep -c '^开始$') calls, each with its begin and end entry"
