package com.vantorel.kestra.comm.usb.desk;

import java.util.Collection;
import java.util.Iterator;
import java.util.Map;

/** Writes bench values as indented JSON. */
final class Json {
    private Json() {}

    static void writeValue(StringBuilder out, Object value, int depth) {
        if (value == null) {
            out.append("null");
        } else if (value instanceof String) {
            writeString(out, (String) value);
        } else if (value instanceof Double || value instanceof Float) {
            double d = ((Number) value).doubleValue();
            if (Double.isNaN(d) || Double.isInfinite(d)) {
                throw new IllegalArgumentException("JSON has no " + d);
            }
            out.append(value);
        } else if (value instanceof Number || value instanceof Boolean) {
            out.append(value);
        } else if (value instanceof BenchNode) {
            ((BenchNode<?>) value).write(out, depth);
        } else if (value instanceof Map) {
            @SuppressWarnings("unchecked")
            Map<String, Object> map = (Map<String, Object>) value;
            writeObject(out, map, depth);
        } else {
            Collection<?> list = (Collection<?>) value;
            out.append('[');
            Iterator<?> it = list.iterator();
            while (it.hasNext()) {
                newline(out, depth + 1);
                writeValue(out, it.next(), depth + 1);
                if (it.hasNext()) {
                    out.append(',');
                }
            }
            if (!list.isEmpty()) {
                newline(out, depth);
            }
            out.append(']');
        }
    }

    static void writeObject(StringBuilder out, Map<String, Object> fields, int depth) {
        out.append('{');
        Iterator<Map.Entry<String, Object>> it = fields.entrySet().iterator();
        while (it.hasNext()) {
            Map.Entry<String, Object> field = it.next();
            newline(out, depth + 1);
            writeString(out, field.getKey());
            out.append(": ");
            writeValue(out, field.getValue(), depth + 1);
            if (it.hasNext()) {
                out.append(',');
            }
        }
        if (!fields.isEmpty()) {
            newline(out, depth);
        }
        out.append('}');
    }

    static void writeString(StringBuilder out, String text) {
        out.append('"');
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            switch (c) {
                case '"': out.append("\\\""); break;
                case '\\': out.append("\\\\"); break;
                case '\n': out.append("\\n"); break;
                case '\r': out.append("\\r"); break;
                case '\t': out.append("\\t"); break;
                default:
                    if (c < 0x20) {
                        out.append(String.format("\\u%04x", (int) c));
                    } else {
                        out.append(c);
                    }
            }
        }
        out.append('"');
    }

    private static void newline(StringBuilder out, int depth) {
        out.append('\n');
        for (int i = 0; i < depth; i++) {
            out.append("  ");
        }
    }
}
