package com.vantorel.kestra.comm.usb.desk;

import java.util.Collection;
import java.util.LinkedHashMap;
import java.util.Map;

/**
 * One object of a bench file: its keys in the order they were set. The typed
 * setters of the subclasses cover the bench format; {@link #set(String, Object)}
 * sets any key, for what they do not cover yet. The simulated machine checks
 * every key when it reads the file and refuses unknown ones.
 *
 * @param <T> the subclass, so that setters chain
 */
public abstract class BenchNode<T extends BenchNode<T>> {
    private final Map<String, Object> fields = new LinkedHashMap<>();

    BenchNode() {}

    abstract T self();

    /**
     * Sets {@code key} to {@code value}: a text, number, boolean, another
     * bench object, a list or map of these, or {@code null} (which the bench
     * format reads as "remove this property", e.g. {@code "service": null}).
     */
    public T set(String key, Object value) {
        checkValue(value);
        fields.put(key, value);
        return self();
    }

    /** Removes {@code key}, so the bench's default applies. */
    public T unset(String key) {
        fields.remove(key);
        return self();
    }

    Object get(String key) {
        return fields.get(key);
    }

    /**
     * Sets {@code path[last]} inside nested objects under {@code key}, making
     * the objects on the way: {@code nested("faults", "strings", "2", "failWith")}.
     */
    @SuppressWarnings("unchecked")
    T nested(Object value, String... path) {
        checkValue(value);
        Map<String, Object> at = fields;
        for (int i = 0; i < path.length - 1; i++) {
            Object next = at.get(path[i]);
            if (!(next instanceof Map)) {
                next = new LinkedHashMap<String, Object>();
                at.put(path[i], next);
            }
            at = (Map<String, Object>) next;
        }
        at.put(path[path.length - 1], value);
        return self();
    }

    void write(StringBuilder out, int depth) {
        Json.writeObject(out, fields, depth);
    }

    /**
     * This object as bench text, e.g. one controller to place in the
     * "controllers" array of a bench written by other means. For a whole
     * desk, use {@link SimulatedDesk#toJson()}.
     */
    public String toJson() {
        StringBuilder out = new StringBuilder();
        write(out, 0);
        return out.toString();
    }

    static String hex(int value) {
        return String.format("0x%04X", value);
    }

    static void checkWord(int value, String what) {
        if (value < 0 || value > 0xFFFF) {
            throw new IllegalArgumentException(what + " out of range: " + value);
        }
    }

    private static void checkValue(Object value) {
        if (value == null || value instanceof String || value instanceof Number || value instanceof Boolean
                || value instanceof BenchNode) {
            return;
        }
        if (value instanceof Map) {
            for (Map.Entry<?, ?> entry : ((Map<?, ?>) value).entrySet()) {
                if (!(entry.getKey() instanceof String)) {
                    throw new IllegalArgumentException("bench object keys are texts, not " + entry.getKey());
                }
                checkValue(entry.getValue());
            }
            return;
        }
        if (value instanceof Collection) {
            for (Object element : (Collection<?>) value) {
                checkValue(element);
            }
            return;
        }
        throw new IllegalArgumentException("not a bench value: " + value.getClass().getName());
    }
}
