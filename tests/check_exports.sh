#!/usr/bin/env bash
# Checks that libTamberlyx.so exports exactly the 19 native methods of the
# Java peer class and JNI_OnLoad (which reads the simulated machine's system
# properties), and no other symbol.
set -euo pipefail
library=$1
prefix=Java_com_vantorel_kestra_comm_KESTRACommUSBAccess_
expected=$( (printf "${prefix}%s\n" usbInitialize usbRelease usbCreateDeviceList usbUpdateDeviceList \
  usbReleaseDeviceList usbGetDeviceListCount usbGetDeviceInfo usbGetChangeInfo usbOpenDevice usbCloseDevice \
  usbResetDevice usbWriteControlPipe usbReadControlPipe usbWriteBulkPipe usbReadBulkPipe usbWriteInterruptPipe \
  usbReadInterruptPipe usbCancelPipeTransfer usbGetDeviceDescriptor; echo JNI_OnLoad) | sort)
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  echo "exported symbols differ from the 19 native methods and JNI_OnLoad:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "$library exports exactly the 19 native methods and JNI_OnLoad"
