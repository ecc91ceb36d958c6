# The installed programs of 64-bit Windows: one uninstall subkey of the same name in
# each registry view, with a display name of its own. The 64-bit DLL lists the 64-bit
# view's first, each name read in its own view; the 32-bit DLL answers the same list
# where this machine runs 32-bit programs, and the test says when it cannot.
# Argument: the 32-bit Tarsin.dll (from the win32 build).
here=$(dirname "$0")
. "$here/tarsin.sh"
wow='C:\windows\syswow64'
probe='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\VelmoraViewProbe'
work=$(mktemp -d)

install_dll velmora-views64
dir64=$dll_dir win64=$dll_win
cleanup() {
  wrun regsvr32 /u /s "$win64" || true
  [ -z "${win32:-}" ] || wrun "$wow\\regsvr32.exe" /u /s "$win32" || true
  for view in 64 32; do wrun reg delete "$probe" /f /reg:$view >/dev/null 2>&1 || true; done
  rm -rf "$work"
}
trap cleanup EXIT
printf '%s\r\n' 'Set tarsin = CreateObject("Velmora.clsTarsin")' 'WScript.Echo tarsin.GetComputerSoftWare()' \
  'Set software = CreateObject("Velmora.clsSoftWare")' 'programs = Array("")' \
  'listed = software.GetComputerSoftWare(programs)' \
  'For i = 1 To UBound(programs) : line = line & programs(i) & "|" : Next' 'WScript.Echo line' >"$dir64/views.vbs"

wrun reg add "$probe" /v DisplayName /d 'Probe Sixty-Four' /f /reg:64 >/dev/null || fail "reg add /reg:64"
wrun reg add "$probe" /v DisplayName /d 'Probe Thirty-Two' /f /reg:32 >/dev/null || fail "reg add /reg:32"
wrun regsvr32 /s "$win64" || fail "64-bit regsvr32 $win64"

# list CSCRIPT NAME: the facade's answer, then the class's array joined the same way, into $work/NAME.
list() {
  wrun "$1" //nologo 'C:\velmora-views64\views.vbs' | tr -d '\r' >"$work/$2" || { cat "$work/$2"; fail "$1"; }
  [ "$(sed -n 2p "$work/$2")" = "$(sed -n 1p "$work/$2")" ] ||
    fail "$2: clsSoftWare's array and GetComputerSoftWare differ: $(cat "$work/$2")"
}
list cscript x64
answer=$(sed -n 1p "$work/x64")
rest=${answer#*Probe Sixty-Four|}
[ "$rest" != "$answer" ] && [ "${rest#*Probe Thirty-Two|}" != "$rest" ] ||
  fail "the 64-bit DLL does not list the 64-bit view's entry before the 32-bit view's: $answer"
[ "$(printf '%s' "$answer" | grep -o 'Probe [A-Za-z-]*|' | sort | uniq -d)" = "" ] ||
  fail "a probe listed twice: $answer"
echo "64-bit DLL: both views, the 64-bit view first"

status=0
reason=$("$VELMORA_TOOLS/can-run-32bit" --wine "$work") || status=$?
case $status in
  0) ;;
  1) echo "32-bit DLL not run: $reason"; exit 0 ;;
  *) fail "tools/can-run-32bit could not tell whether 32-bit programs run" ;;
esac
[ -f "$1" ] || { echo "no 32-bit Tarsin.dll at $1: build the win32 preset first"; exit 77; }
TARSIN_DLL_BUILT=$1 install_dll velmora-views32
win32=$dll_win
wrun "$wow\\regsvr32.exe" /s "$win32" || fail "32-bit regsvr32 $win32"
list "$wow\\cscript.exe" x86
cmp -s "$work/x64" "$work/x86" || { diff "$work/x64" "$work/x86"; fail "the 32-bit DLL answers another list"; }
echo "32-bit DLL: the same list"
