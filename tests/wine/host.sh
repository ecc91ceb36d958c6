# The C++ host against a registered copy of the DLL.
here=$(dirname "$0")
. "$here/tarsin.sh"
install_dll velmora-host
register
export TARSIN_DLL="$dll_win"
status=0
wrun "$1" || status=$?
unregister
exit $status
