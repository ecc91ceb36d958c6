# Both widths in one 64-bit prefix: the 64-bit regsvr32 registers the 64-bit DLL in
# the 64-bit registry view, syswow64's regsvr32 the 32-bit DLL in the 32-bit view,
# under the same identifiers. Each cscript prints every fact through its own DLL;
# they agree but for the process's address space, and each DLL logs beside itself.
# Unregistering one leaves the other answering.
# Arguments: the 32-bit Tarsin.dll (from the win32 build), examples/inventory.vbs.
here=$(dirname "$0")
. "$here/tarsin.sh"
[ -f "$1" ] || { echo "no 32-bit Tarsin.dll at $1: build the win32 preset first"; exit 77; }
wow='C:\windows\syswow64'
clsid='{8067C0A5-896F-4C9D-B95A-DCEA15A05E13}'

install_dll velmora-x64
dir64=$dll_dir win64=$dll_win
TARSIN_DLL_BUILT=$1 install_dll velmora-x86
dir32=$dll_dir win32=$dll_win
cp "$2" "$dir64/inventory.vbs"
work=$(mktemp -d)
cleanup() {
  wrun regsvr32 /u /s "$win64" || true
  wrun "$wow\\regsvr32.exe" /u /s "$win32" || true
  rm -rf "$work"
}
trap cleanup EXIT

# inventory CSCRIPT NAME: every fact through that cscript into $work/NAME.
inventory() {
  wrun "$1" //nologo 'C:\velmora-x64\inventory.vbs' | tr -d '\r' >"$work/$2"
  grep -q '^clsSoftWare.GetComputerSoftWare: ' "$work/$2"
}
# server REG: the in-process server of the class as that reg.exe's registry view has it.
server() {
  wrun "$1" query "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /ve | tr -d '\r' | sed -n 's/^.*REG_SZ *//p'
}
# Free space moves while the runs write their logs; the address space is the process's own.
steady() { grep -v -e '^GetVirtualMemory: ' -e 'GetDiskFreeSpace: ' -e '^GetComputerDiskInfo: ' "$work/$1"; }
kilobytes() { sed -n "s/^$1: //p" "$work/$2" | tr -dc '0-9'; }

wrun regsvr32 /s "$win64" || fail "64-bit regsvr32 $win64"
wrun "$wow\\regsvr32.exe" /s "$win32" || fail "32-bit regsvr32 $win32"
[ "$(server reg)" = "$win64" ] || fail "the 64-bit view names $(server reg)"
[ "$(server "$wow\\reg.exe")" = "$win32" ] || fail "the 32-bit view names $(server "$wow\\reg.exe")"

inventory cscript x64 || { cat "$work/x64"; fail "64-bit cscript"; }
inventory "$wow\\cscript.exe" x86 || { cat "$work/x86"; fail "32-bit cscript"; }
steady x64 >"$work/x64.steady"
steady x86 >"$work/x86.steady"
diff "$work/x86.steady" "$work/x64.steady" || fail "the 32-bit and the 64-bit DLL answer differently"
small=$(kilobytes GetVirtualMemory x86) large=$(kilobytes GetVirtualMemory x64)
[ "$small" -le 4194304 ] && [ "$large" -gt 4194304 ] || fail "address spaces: $small KB (32-bit), $large KB (64-bit)"
echo "every fact equal; GetVirtualMemory ${small}KB (32-bit), ${large}KB (64-bit)"

# Each DLL logged its own calls beside itself, the same calls in the same order.
for dir in "$dir64" "$dir32"; do
  [ -s "$dir/Dovrell.log" ] || fail "no Dovrell.log in $dir"
  grep -a -o '\[[A-Za-z]*\]' "$dir/Dovrell.log" >"$dir/calls"
done
cmp -s "$dir64/calls" "$dir32/calls" || fail "the two logs hold different calls"

# Unregistering either width leaves the other answering, and its own hosts without the class.
wrun regsvr32 /u /s "$win64" || fail "64-bit regsvr32 /u"
inventory "$wow\\cscript.exe" x86.alone || fail "the 32-bit DLL stopped answering without the 64-bit one"
steady x86.alone | diff "$work/x86.steady" - || fail "the 32-bit DLL answers differently alone"
! inventory cscript x64.gone || fail "the 64-bit cscript still creates the class"
wrun regsvr32 /s "$win64" || fail "64-bit regsvr32 again"
wrun "$wow\\regsvr32.exe" /u /s "$win32" || fail "32-bit regsvr32 /u"
inventory cscript x64.alone || fail "the 64-bit DLL stopped answering without the 32-bit one"
steady x64.alone | diff "$work/x64.steady" - || fail "the 64-bit DLL answers differently alone"
! inventory "$wow\\cscript.exe" x86.gone || fail "the 32-bit cscript still creates the class"
echo "each width registers, answers and unregisters apart from the other"
