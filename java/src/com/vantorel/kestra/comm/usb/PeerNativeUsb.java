package com.vantorel.kestra.comm.usb;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;
import com.vantorel.kestra.comm.NativeLibrary;

/**
 * {@link NativeUsb} over the peer class: every call goes straight to the native
 * method of the same name. A native method the loaded library lacks fails with
 * an {@link UnsatisfiedLinkError} that names the file loaded.
 */
final class PeerNativeUsb implements NativeUsb {
    static final PeerNativeUsb INSTANCE = new PeerNativeUsb();

    private PeerNativeUsb() {}

    @Override
    public int usbInitialize() {
        try {
            return KESTRACommUSBAccess.usbInitialize();
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbRelease(int handle) {
        try {
            return KESTRACommUSBAccess.usbRelease(handle);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbCreateDeviceList(int handle, int vendorFilter) {
        try {
            return KESTRACommUSBAccess.usbCreateDeviceList(handle, vendorFilter);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbUpdateDeviceList(int listId, int unused) {
        try {
            return KESTRACommUSBAccess.usbUpdateDeviceList(listId, unused);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbReleaseDeviceList(int listId) {
        try {
            return KESTRACommUSBAccess.usbReleaseDeviceList(listId);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbGetDeviceListCount(int listId) {
        try {
            return KESTRACommUSBAccess.usbGetDeviceListCount(listId);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public String usbGetDeviceInfo(int listId, int index) {
        try {
            return KESTRACommUSBAccess.usbGetDeviceInfo(listId, index);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public String usbGetChangeInfo(int listId, int selector) {
        try {
            return KESTRACommUSBAccess.usbGetChangeInfo(listId, selector);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbOpenDevice(int listId, int index) {
        try {
            return KESTRACommUSBAccess.usbOpenDevice(listId, index);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbCloseDevice(int listId, int index) {
        try {
            return KESTRACommUSBAccess.usbCloseDevice(listId, index);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbResetDevice(int listId, int index) {
        try {
            return KESTRACommUSBAccess.usbResetDevice(listId, index);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbWriteControlPipe(int listId, int index, int length, int unused, byte[] data) {
        try {
            return KESTRACommUSBAccess.usbWriteControlPipe(listId, index, length, unused, data);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbReadControlPipe(int listId, int index, int length, int unused, byte[] data) {
        try {
            return KESTRACommUSBAccess.usbReadControlPipe(listId, index, length, unused, data);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbWriteBulkPipe(int listId, int index, int pipe, int length, int timeout, byte[] data) {
        try {
            return KESTRACommUSBAccess.usbWriteBulkPipe(listId, index, pipe, length, timeout, data);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbReadBulkPipe(int listId, int index, int pipe, int length, int timeout, byte[] data) {
        try {
            return KESTRACommUSBAccess.usbReadBulkPipe(listId, index, pipe, length, timeout, data);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbWriteInterruptPipe(int listId, int index, int pipe, int length, int timeout, byte[] data) {
        try {
            return KESTRACommUSBAccess.usbWriteInterruptPipe(listId, index, pipe, length, timeout, data);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbReadInterruptPipe(int listId, int index, int pipe, int length, int timeout, byte[] data) {
        try {
            return KESTRACommUSBAccess.usbReadInterruptPipe(listId, index, pipe, length, timeout, data);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbCancelPipeTransfer(int listId, int index, int pipe) {
        try {
            return KESTRACommUSBAccess.usbCancelPipeTransfer(listId, index, pipe);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }

    @Override
    public int usbGetDeviceDescriptor(int listId, int index, int descriptorType, int stringKind, int length,
                                      byte[] data) {
        try {
            return KESTRACommUSBAccess.usbGetDeviceDescriptor(listId, index, descriptorType, stringKind, length, data);
        } catch (UnsatisfiedLinkError e) {
            throw NativeLibrary.explain(e);
        }
    }
}
