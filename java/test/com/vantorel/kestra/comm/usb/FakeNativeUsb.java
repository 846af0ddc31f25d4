package com.vantorel.kestra.comm.usb;

import java.lang.reflect.InvocationHandler;
import java.lang.reflect.Method;
import java.lang.reflect.Proxy;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/**
 * A stand-in for the native library. It logs every call with its integer
 * arguments ("usbReadBulkPipe(7, 2, 129, 4, 500)"), keeps a copy of the byte
 * array a call was given, writes {@link #answer} into that array as a device
 * would, and returns what the test set up.
 */
final class FakeNativeUsb implements InvocationHandler {
    final List<String> calls = new ArrayList<>();
    /** Results by method name; every other integer method returns {@link #result}. */
    final Map<String, Integer> results = new HashMap<>();
    int result = 0;
    /** Bytes the device puts into the caller's array, from {@link #answerOffset}, clipped to the array. */
    byte[] answer = new byte[0];
    int answerOffset = 0;
    String deviceInfo = "";
    final Deque<String> changes = new ArrayDeque<>();
    /** Answered once {@link #changes} is used up; a library that never stops would repeat a record here. */
    String changeAfterwards = "";
    /** A copy of the array the last call with one was given. */
    byte[] lastData;

    final NativeUsb library = (NativeUsb) Proxy.newProxyInstance(
            NativeUsb.class.getClassLoader(), new Class<?>[] {NativeUsb.class}, this);

    String lastCall() {
        return calls.get(calls.size() - 1);
    }

    @Override
    public Object invoke(Object proxy, Method method, Object[] arguments) {
        String name = method.getName();
        List<String> integers = new ArrayList<>();
        for (Object argument : arguments == null ? new Object[0] : arguments) {
            if (argument instanceof byte[]) {
                byte[] data = (byte[]) argument;
                lastData = data.clone();
                int room = Math.max(0, Math.min(answer.length, data.length - answerOffset));
                System.arraycopy(answer, 0, data, answerOffset, room);
            } else {
                integers.add(String.valueOf(argument));
            }
        }
        calls.add(name + "(" + String.join(", ", integers) + ")");
        if (name.equals("usbGetDeviceInfo")) {
            return deviceInfo;
        }
        if (name.equals("usbGetChangeInfo")) {
            return changes.isEmpty() ? changeAfterwards : changes.poll();
        }
        return results.getOrDefault(name, result);
    }
}
