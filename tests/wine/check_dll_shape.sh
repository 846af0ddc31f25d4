#!/usr/bin/env bash
# Checks the shape of Tamberlyx.dll from its PE headers:
#   - a 64-bit image;
#   - exactly the 19 native methods exported, by name, undecorated;
#   - only system DLLs imported (no C++ runtime DLLs, and never winusb.dll,
#     which is loaded at run time);
#   - a .shared data section marked shared, for the machine-wide trace words.
# Usage: check_dll_shape.sh <objdump> <dll>
set -euo pipefail
objdump=$1
dll=$2
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

headers=$("$objdump" -p "$dll")
sections=$("$objdump" -h "$dll")

grep -q "file format pei-x86-64" <<<"$sections" || fail "not a 64-bit Windows image"

prefix=Java_com_vantorel_kestra_comm_KESTRACommUSBAccess_
expected=$(printf "${prefix}%s\n" usbInitialize usbRelease usbCreateDeviceList usbUpdateDeviceList \
  usbReleaseDeviceList usbGetDeviceListCount usbGetDeviceInfo usbGetChangeInfo usbOpenDevice usbCloseDevice \
  usbResetDevice usbWriteControlPipe usbReadControlPipe usbWriteBulkPipe usbReadBulkPipe usbWriteInterruptPipe \
  usbReadInterruptPipe usbCancelPipeTransfer usbGetDeviceDescriptor | sort)
# The name table lists "[   n] name"; the address table has one "Export RVA"
# line per exported entry, named or not.
names=$(awk '/^\t\[ *[0-9]+\] [^+]/ && !/Export RVA/ {print $NF}' <<<"$headers" | sort)
addresses=$(grep -c "Export RVA" <<<"$headers" || true)
if [ "$names" != "$expected" ]; then
  fail "exported names differ from the 19 native methods:"
  diff <(echo "$expected") <(echo "$names") || true
fi
[ "$addresses" -eq 19 ] || fail "$addresses exported addresses, expected 19"

allowed="kernel32.dll user32.dll setupapi.dll hid.dll msvcrt.dll"
imports=$(awk -F': ' '/DLL Name:/ {print tolower($2)}' <<<"$headers" | sort -u)
for import in $imports; do
  [ "$import" = winusb.dll ] && fail "winusb.dll is imported; it must be loaded at run time"
  [[ " $allowed " == *" $import "* ]] || fail "imports $import, which is not a system DLL"
done
for needed in kernel32.dll msvcrt.dll; do
  grep -qx "$needed" <<<"$imports" || fail "does not import $needed"
done

shared=$(awk '$2 == ".shared" {getline flags; print $3 " " flags}' <<<"$sections")
if [ -z "$shared" ]; then
  fail "no .shared section"
else
  size=$((16#${shared%% *}))
  [ "$size" -ge 8 ] || fail ".shared holds $size bytes, expected the two 32-bit trace words"
  for flag in DATA SHARED; do
    [[ "$shared" == *"$flag"* ]] || fail ".shared is not marked $flag ($shared)"
  done
  [[ "$shared" != *READONLY* ]] || fail ".shared is read-only"
fi

[ "$failed" -eq 0 ] || exit 1
echo "$dll: 19 exports, imports $(echo $imports), shared section present"
