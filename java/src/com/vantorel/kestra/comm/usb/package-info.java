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
 * <p><b>Threads.</b> The native library takes no lock: all its state is
 * process-wide and unguarded. This layer therefore runs every call into the
 * library, with its own bookkeeping, under one process-wide lock, so it may be
 * used from any threads. The one call that does not wait for the lock is
 * {@link com.vantorel.kestra.comm.usb.UsbDevice#abortTransfers(int)}, which
 * ends a bulk transfer that blocks another thread. While a transfer blocks,
 * every other call of this layer (in any thread, device watchers included)
 * waits for it. Do not mix this layer with direct calls of the peer class from
 * other threads.
 *
 * <p><b>Events.</b> {@link com.vantorel.kestra.comm.usb.DeviceWatcher} turns
 * refreshes on a schedule into arrival and departure events.
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
