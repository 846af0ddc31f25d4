package com.vantorel.kestra.comm;

/**
 * The Java peer of the native USB access library. Every method is one native
 * call into Tamberlyx; results are the library's integer status codes, byte
 * counts or one-line description records.
 *
 * <p>The library is loaded when the class is first used: from the path in the
 * system property {@code tamberlyx.library} when it is set, otherwise by name
 * from {@code java.library.path} ("Tamberlyx"), otherwise the one for this
 * platform from the jar, copied into a per-user cache first.
 */
public final class KESTRACommUSBAccess {
    static {
        NativeLibraryLoader.load();
    }

    private KESTRACommUSBAccess() {}

    public static native int usbInitialize();
    public static native int usbRelease(int handle);
    public static native int usbCreateDeviceList(int handle, int vendorFilter);
    public static native int usbUpdateDeviceList(int listId, int unused);
    public static native int usbReleaseDeviceList(int listId);
    public static native int usbGetDeviceListCount(int listId);
    public static native String usbGetDeviceInfo(int listId, int index);
    public static native String usbGetChangeInfo(int listId, int selector);
    public static native int usbOpenDevice(int listId, int index);
    public static native int usbCloseDevice(int listId, int index);
    public static native int usbResetDevice(int listId, int index);
    public static native int usbWriteControlPipe(int listId, int index, int length, int unused, byte[] data);
    public static native int usbReadControlPipe(int listId, int index, int length, int unused, byte[] data);
    public static native int usbWriteBulkPipe(int listId, int index, int pipe, int length, int timeout, byte[] data);
    public static native int usbReadBulkPipe(int listId, int index, int pipe, int length, int timeout, byte[] data);
    public static native int usbWriteInterruptPipe(int listId, int index, int pipe, int length, int timeout, byte[] data);
    public static native int usbReadInterruptPipe(int listId, int index, int pipe, int length, int timeout, byte[] data);
    public static native int usbCancelPipeTransfer(int listId, int index, int pipe);
    public static native int usbGetDeviceDescriptor(int listId, int index, int descriptorType, int stringKind,
                                                    int length, byte[] data);
}
