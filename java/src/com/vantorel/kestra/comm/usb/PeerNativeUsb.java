package com.vantorel.kestra.comm.usb;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;

/** {@link NativeUsb} over the peer class: every call goes straight to the native method of the same name. */
final class PeerNativeUsb implements NativeUsb {
    static final PeerNativeUsb INSTANCE = new PeerNativeUsb();

    private PeerNativeUsb() {}

    @Override
    public int usbInitialize() {
        return KESTRACommUSBAccess.usbInitialize();
    }

    @Override
    public int usbRelease(int handle) {
        return KESTRACommUSBAccess.usbRelease(handle);
    }

    @Override
    public int usbCreateDeviceList(int handle, int vendorFilter) {
        return KESTRACommUSBAccess.usbCreateDeviceList(handle, vendorFilter);
    }

    @Override
    public int usbUpdateDeviceList(int listId, int unused) {
        return KESTRACommUSBAccess.usbUpdateDeviceList(listId, unused);
    }

    @Override
    public int usbReleaseDeviceList(int listId) {
        return KESTRACommUSBAccess.usbReleaseDeviceList(listId);
    }

    @Override
    public int usbGetDeviceListCount(int listId) {
        return KESTRACommUSBAccess.usbGetDeviceListCount(listId);
    }

    @Override
    public String usbGetDeviceInfo(int listId, int index) {
        return KESTRACommUSBAccess.usbGetDeviceInfo(listId, index);
    }

    @Override
    public String usbGetChangeInfo(int listId, int selector) {
        return KESTRACommUSBAccess.usbGetChangeInfo(listId, selector);
    }

    @Override
    public int usbOpenDevice(int listId, int index) {
        return KESTRACommUSBAccess.usbOpenDevice(listId, index);
    }

    @Override
    public int usbCloseDevice(int listId, int index) {
        return KESTRACommUSBAccess.usbCloseDevice(listId, index);
    }

    @Override
    public int usbResetDevice(int listId, int index) {
        return KESTRACommUSBAccess.usbResetDevice(listId, index);
    }

    @Override
    public int usbWriteControlPipe(int listId, int index, int length, int unused, byte[] data) {
        return KESTRACommUSBAccess.usbWriteControlPipe(listId, index, length, unused, data);
    }

    @Override
    public int usbReadControlPipe(int listId, int index, int length, int unused, byte[] data) {
        return KESTRACommUSBAccess.usbReadControlPipe(listId, index, length, unused, data);
    }

    @Override
    public int usbWriteBulkPipe(int listId, int index, int pipe, int length, int timeout, byte[] data) {
        return KESTRACommUSBAccess.usbWriteBulkPipe(listId, index, pipe, length, timeout, data);
    }

    @Override
    public int usbReadBulkPipe(int listId, int index, int pipe, int length, int timeout, byte[] data) {
        return KESTRACommUSBAccess.usbReadBulkPipe(listId, index, pipe, length, timeout, data);
    }

    @Override
    public int usbWriteInterruptPipe(int listId, int index, int pipe, int length, int timeout, byte[] data) {
        return KESTRACommUSBAccess.usbWriteInterruptPipe(listId, index, pipe, length, timeout, data);
    }

    @Override
    public int usbReadInterruptPipe(int listId, int index, int pipe, int length, int timeout, byte[] data) {
        return KESTRACommUSBAccess.usbReadInterruptPipe(listId, index, pipe, length, timeout, data);
    }

    @Override
    public int usbCancelPipeTransfer(int listId, int index, int pipe) {
        return KESTRACommUSBAccess.usbCancelPipeTransfer(listId, index, pipe);
    }

    @Override
    public int usbGetDeviceDescriptor(int listId, int index, int descriptorType, int stringKind, int length,
                                      byte[] data) {
        return KESTRACommUSBAccess.usbGetDeviceDescriptor(listId, index, descriptorType, stringKind, length, data);
    }
}
