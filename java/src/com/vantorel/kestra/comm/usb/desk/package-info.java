/**
 * Simulated desks for tests: {@link com.vantorel.kestra.comm.usb.desk.SimulatedDesk}
 * builds the bench file that the Linux library's simulated USB stack runs on
 * (controllers, hubs, WinUSB, HID, mass-storage and plain devices, their
 * behaviours and faults), writes it where {@code tamberlyx.bench} (or {@code TAMBERLYX_BENCH}) points, and
 * plugs and unplugs devices by port path while the library runs. Every
 * object also takes any bench key through {@code set(key, value)}.
 */
package com.vantorel.kestra.comm.usb.desk;
