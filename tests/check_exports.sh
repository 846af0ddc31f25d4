#!/usr/bin/env bash
# Checks that a shared library exports exactly the 19 native methods of the
# Java peer class and no other symbol.
set -euo pipefail
library=$1
prefix=Java_com_vantorel_kestra_comm_KESTRACommUSBAccess_
expected=$(printf "${prefix}%s\n" usbInitialize usbRelease usbCreateDeviceList usbUpdateDeviceList \
  usbReleaseDeviceList usbGetDeviceListCount usbGetDeviceInfo usbGetChangeInfo usbOpenDevice usbCloseDevice \
  usbResetDevice usbWriteControlPipe usbReadControlPipe usbWriteBulkPipe usbReadBulkPipe usbWriteInterruptPipe \
  usbReadInterruptPipe usbCancelPipeTransfer usbGetDeviceDescriptor | sort)
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  echo "exported symbols differ from the 19 native methods:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "$library exports exactly the 19 native methods"
