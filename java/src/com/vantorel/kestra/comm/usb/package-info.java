/**
 * A typed layer over the native USB access library: sessions, device lists,
 * parsed device descriptions and opened devices, with the library's status
 * codes turned into {@link com.vantorel.kestra.comm.usb.UsbException}s.
 *
 * <p><b>Resources.</b> {@link com.vantorel.kestra.comm.usb.UsbSession},
 * {@link com.vantorel.kestra.comm.usb.DeviceList} and
 * {@link com.vantorel.kestra.comm.usb.UsbDevice} are {@code AutoCloseable}:
 * use them in try-with-resources. Closing is idempotent and never throws;
 * closing a session closes its lists, closing a list closes its devices.
 * Using a closed object throws {@code IllegalStateException}.
 *
 * <p><b>Threads.</b> The native library takes no lock: all its state (the
 * initialisation, the device lists, the table of open devices) is process-wide
 * and unguarded, and so is the bookkeeping of this layer. Call it from one
 * thread at a time; a program that uses several threads must serialise its
 * calls itself. The one exception is
 * {@link com.vantorel.kestra.comm.usb.UsbDevice#abortTransfers(int)}, which may
 * be called from a second thread to end a bulk transfer that blocks the first.
 * Do not mix this layer with direct calls of the peer class on the same lists
 * and devices.
 *
 * <p><b>Failures.</b> A negative status code of the library becomes a
 * {@code UsbException} (an {@code IOException}) carrying the code and its
 * meaning, except where a time-out is an ordinary outcome: a HID report that
 * does not arrive or cannot be sent in time gives an empty result or
 * {@code false}. Arguments that could never be right (an endpoint out of
 * range, a report longer than 64 bytes) throw {@code IllegalArgumentException}
 * before anything reaches the library.
 */
package com.vantorel.kestra.comm.usb;
