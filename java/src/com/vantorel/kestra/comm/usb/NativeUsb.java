package com.vantorel.kestra.comm.usb;

/**
 * The native methods of the library as an interface, one method for each
 * native method of {@code KESTRACommUSBAccess} with the same name, parameters
 * and result. {@link #library()} is the library itself; a program that wants
 * to run the typed layer over a stand-in (a recorder, a fake device in a test)
 * supplies its own implementation to {@link UsbSession#open(NativeUsb)}.
 */
public interface NativeUsb {
    /** The native library, through the peer class. Loading happens at the first call. */
    static NativeUsb library() {
        return PeerNativeUsb.INSTANCE;
    }

    int usbInitialize();

    int usbRelease(int handle);

    int usbCreateDeviceList(int handle, int vendorFilter);

    int usbUpdateDeviceList(int listId, int unused);

    int usbReleaseDeviceList(int listId);

    int usbGetDeviceListCount(int listId);

    String usbGetDeviceInfo(int listId, int index);

    String usbGetChangeInfo(int listId, int selector);

    int usbOpenDevice(int listId, int index);

    int usbCloseDevice(int listId, int index);

    int usbResetDevice(int listId, int index);

    int usbWriteControlPipe(int listId, int index, int length, int unused, byte[] data);

    int usbReadControlPipe(int listId, int index, int length, int unused, byte[] data);

    int usbWriteBulkPipe(int listId, int index, int pipe, int length, int timeout, byte[] data);

    int usbReadBulkPipe(int listId, int index, int pipe, int length, int timeout, byte[] data);

    int usbWriteInterruptPipe(int listId, int index, int pipe, int length, int timeout, byte[] data);

    int usbReadInterruptPipe(int listId, int index, int pipe, int length, int timeout, byte[] data);

    int usbCancelPipeTransfer(int listId, int index, int pipe);

    int usbGetDeviceDescriptor(int listId, int index, int descriptorType, int stringKind, int length, byte[] data);
}
