package com.vantorel.kestra.comm;

import com.vantorel.kestra.comm.usb.NativeUsb;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Deque;
import java.util.List;

/**
 * A stand-in for the native library that records every call and answers what
 * a test sets up: status results, the bytes a "device" writes into the
 * caller's array, description and change records.
 */
final class FakeNativeUsb implements NativeUsb {
    final List<String> calls = new ArrayList<>();

    int initializeResult = 0;
    int listId = 0;
    int listCount = 0;
    int updateResult = 0;
    int openResult = 0;
    /** What every transfer, reset, cancel or descriptor call returns. */
    int result = 0;
    /** Bytes the device puts into the caller's array, from {@link #answerOffset}, clipped to the array. */
    byte[] answer = new byte[0];
    int answerOffset = 0;
    String deviceInfo = "";
    final Deque<String> changes = new ArrayDeque<>();
    /** Answered once {@link #changes} is used up; a library that never stops would repeat a record here. */
    String changeAfterwards = "";

    /** The array and the length, time-out and pipe arguments of the last call that had them. */
    byte[] lastData;
    int lastLength;
    int lastTimeout;
    int lastPipe;

    private int call(String name, int answerValue, int... arguments) {
        calls.add(name + Arrays.toString(arguments));
        return answerValue;
    }

    private int transfer(String name, int pipe, int length, int timeout, byte[] data, int... arguments) {
        lastData = data.clone();
        lastPipe = pipe;
        lastLength = length;
        lastTimeout = timeout;
        int room = Math.max(0, Math.min(answer.length, data.length - answerOffset));
        System.arraycopy(answer, 0, data, answerOffset, room);
        return call(name, result, arguments);
    }

    @Override
    public int usbInitialize() {
        return call("usbInitialize", initializeResult);
    }

    @Override
    public int usbRelease(int handle) {
        return call("usbRelease", 0, handle);
    }

    @Override
    public int usbCreateDeviceList(int handle, int vendorFilter) {
        return call("usbCreateDeviceList", listId, handle, vendorFilter);
    }

    @Override
    public int usbUpdateDeviceList(int id, int unused) {
        return call("usbUpdateDeviceList", updateResult, id);
    }

    @Override
    public int usbReleaseDeviceList(int id) {
        return call("usbReleaseDeviceList", 0, id);
    }

    @Override
    public int usbGetDeviceListCount(int id) {
        return call("usbGetDeviceListCount", listCount, id);
    }

    @Override
    public String usbGetDeviceInfo(int id, int index) {
        call("usbGetDeviceInfo", 0, id, index);
        return deviceInfo;
    }

    @Override
    public String usbGetChangeInfo(int id, int selector) {
        call("usbGetChangeInfo", 0, id);
        return changes.isEmpty() ? changeAfterwards : changes.poll();
    }

    @Override
    public int usbOpenDevice(int id, int index) {
        return call("usbOpenDevice", openResult, id, index);
    }

    @Override
    public int usbCloseDevice(int id, int index) {
        return call("usbCloseDevice", 0, id, index);
    }

    @Override
    public int usbResetDevice(int id, int index) {
        return call("usbResetDevice", result, id, index);
    }

    @Override
    public int usbWriteControlPipe(int id, int index, int length, int unused, byte[] data) {
        return transfer("usbWriteControlPipe", 0, length, 0, data, id, index);
    }

    @Override
    public int usbReadControlPipe(int id, int index, int length, int unused, byte[] data) {
        return transfer("usbReadControlPipe", 0, length, 0, data, id, index);
    }

    @Override
    public int usbWriteBulkPipe(int id, int index, int pipe, int length, int timeout, byte[] data) {
        return transfer("usbWriteBulkPipe", pipe, length, timeout, data, id, index);
    }

    @Override
    public int usbReadBulkPipe(int id, int index, int pipe, int length, int timeout, byte[] data) {
        return transfer("usbReadBulkPipe", pipe, length, timeout, data, id, index);
    }

    @Override
    public int usbWriteInterruptPipe(int id, int index, int pipe, int length, int timeout, byte[] data) {
        return transfer("usbWriteInterruptPipe", pipe, length, timeout, data, id, index);
    }

    @Override
    public int usbReadInterruptPipe(int id, int index, int pipe, int length, int timeout, byte[] data) {
        return transfer("usbReadInterruptPipe", pipe, length, timeout, data, id, index);
    }

    @Override
    public int usbCancelPipeTransfer(int id, int index, int pipe) {
        lastPipe = pipe;
        return call("usbCancelPipeTransfer", result, id, index, pipe);
    }

    @Override
    public int usbGetDeviceDescriptor(int id, int index, int descriptorType, int stringKind, int length,
                                      byte[] data) {
        return transfer("usbGetDeviceDescriptor", 0, length, 0, data, id, index, descriptorType, stringKind);
    }
}
