package com.vantorel.kestra.comm.usb;

import java.time.Duration;
import java.util.ArrayList;
import java.util.List;
import java.util.Optional;
import java.util.TreeMap;
import java.util.concurrent.CopyOnWriteArrayList;

/**
 * Watches a device list for devices plugged in and pulled out. A daemon thread
 * of its own refreshes the list on a schedule, turns what changed into
 * {@link DeviceEvent}s and delivers them, in index order, to the listeners on
 * that same thread, one event at a time. Devices present when the watcher
 * starts give no events: read them from {@link #list()}.
 *
 * <pre>{@code
 * try (UsbSession session = UsbSession.open();
 *      DeviceWatcher watcher = session.watch(UsbSession.ALL_VENDORS)) {
 *     watcher.addListener(event -> System.out.println(event));
 *     ...
 * }
 * }</pre>
 *
 * <p>A refresh walks the whole USB tree and, like every call of the typed
 * layer, waits while another thread's bulk transfer blocks; events are then
 * late by as much. Lists of one vendor filter are one list in the library, so
 * the watcher takes the change records of the list it shares with other
 * holders of that filter ({@link DeviceList#takeChanges()} there answers only
 * what the watcher left).
 *
 * <p>A listener that throws (anything, a failed test assertion included) does
 * not stop the watcher: what it threw is kept in {@link #lastFailure()}, handed
 * to the thread's uncaught-exception handler, and the next listeners and
 * events are still delivered. Closing the watcher (or its session) stops the
 * thread and closes its list; a watcher whose list is closed under it ends,
 * with the reason in {@link #lastFailure()}.
 */
public final class DeviceWatcher implements AutoCloseable {
    /** How often {@link UsbSession#watch(int)} refreshes its list. */
    public static final Duration DEFAULT_PERIOD = Duration.ofMillis(500);

    private final UsbSession session;
    private final DeviceList list;
    private final long periodMillis;
    private final List<DeviceListener> listeners = new CopyOnWriteArrayList<>();
    private final Object wakeup = new Object();
    private final Thread thread;
    private volatile Throwable lastFailure;
    /** Whether {@link #lastFailure} is a refresh's, which the next successful refresh clears. */
    private volatile boolean refreshFailed;
    private boolean closed;
    /** Presence by index as the previous refresh left it; only the watcher thread uses it after the start. */
    private List<Boolean> presence;

    /** Made under {@link LibraryLock#CALLS}, so the starting snapshot matches the list. */
    DeviceWatcher(UsbSession session, DeviceList list, Duration period, List<DeviceListener> listeners) {
        this.session = session;
        this.list = list;
        this.periodMillis = Math.max(1, period.toMillis());
        this.presence = presenceOf(list.descriptions());
        for (DeviceListener listener : listeners) {
            addListener(listener);
        }
        this.thread = new Thread(this::run, "tamberlyx-device-watcher-" + list.id());
        thread.setDaemon(true);
    }

    void start() {
        thread.start();
    }

    /** The list the watcher refreshes; event indexes are indexes in it. */
    public DeviceList list() {
        return list;
    }

    public void addListener(DeviceListener listener) {
        listeners.add(java.util.Objects.requireNonNull(listener, "listener"));
    }

    public void removeListener(DeviceListener listener) {
        listeners.remove(listener);
    }

    /**
     * The latest failure: a {@link UsbException} of a refresh (cleared by the
     * next refresh that succeeds; the watcher keeps trying), whatever a listener
     * threw, or the {@link IllegalStateException} that ended the watcher when
     * its list was closed under it. Empty when nothing failed.
     */
    public Optional<Throwable> lastFailure() {
        return Optional.ofNullable(lastFailure);
    }

    /** Whether the watcher's thread still runs: false once closed, or once its list was closed under it. */
    public boolean isRunning() {
        return thread.isAlive();
    }

    /**
     * Stops the thread, waiting for the event it is delivering (unless called
     * from a listener), and closes the watcher's list. Closing twice does nothing.
     */
    @Override
    public void close() {
        synchronized (wakeup) {
            if (closed) {
                return;
            }
            closed = true;
            wakeup.notifyAll();
        }
        if (Thread.currentThread() != thread) {
            joinUninterruptibly();
        }
        session.forgetWatcher(this);
        list.close();
    }

    private void run() {
        while (sleepOnePeriod()) {
            List<DeviceEvent> events;
            try {
                events = poll();
            } catch (IllegalStateException listClosed) {
                if (!isClosed()) {
                    fail(listClosed, false);
                }
                return;
            }
            for (DeviceEvent event : events) {
                for (DeviceListener listener : listeners) {
                    if (isClosed()) {
                        return;
                    }
                    deliver(listener, event);
                }
            }
        }
    }

    private void deliver(DeviceListener listener, DeviceEvent event) {
        try {
            listener.deviceChanged(event);
        } catch (Throwable failure) {
            fail(failure, false);
            report(failure);
        }
    }

    private void fail(Throwable failure, boolean ofRefresh) {
        lastFailure = failure;
        refreshFailed = ofRefresh;
    }

    /** Hands a listener's failure to the thread's handler (the default prints it); a handler that throws is ignored. */
    private static void report(Throwable failure) {
        Thread current = Thread.currentThread();
        try {
            current.getUncaughtExceptionHandler().uncaughtException(current, failure);
        } catch (Throwable ignored) {
            // The failure is kept in lastFailure() all the same.
        }
    }

    /** Waits one period; false when the watcher was closed meanwhile. */
    private boolean sleepOnePeriod() {
        long deadline = System.nanoTime() + periodMillis * 1_000_000L;
        synchronized (wakeup) {
            while (!closed) {
                long left = (deadline - System.nanoTime()) / 1_000_000L;
                if (left <= 0) {
                    return true;
                }
                try {
                    wakeup.wait(left);
                } catch (InterruptedException interrupted) {
                    return false;
                }
            }
            return false;
        }
    }

    private boolean isClosed() {
        synchronized (wakeup) {
            return closed;
        }
    }

    private List<DeviceEvent> poll() {
        synchronized (LibraryLock.CALLS) {
            if (isClosed()) {
                return List.of();
            }
            try {
                list.refresh();
                if (refreshFailed) {
                    fail(null, false);
                }
            } catch (UsbException failure) {
                fail(failure, true);
                return List.of();
            }
            List<DeviceDescription> changes = list.takeChanges();
            List<DeviceDescription> now = list.descriptions();
            List<DeviceEvent> events = eventsBetween(presence, now, changes);
            presence = presenceOf(now);
            return events;
        }
    }

    /**
     * The events that lead from the presence of the previous refresh to the
     * list as it is now. A change record names no index, so each is matched to
     * the first index whose presence changed to the record's and whose device
     * is the record's; changed indexes without a record (another holder of
     * the list took it) are described from the list. Appended devices are
     * arrivals.
     */
    static List<DeviceEvent> eventsBetween(List<Boolean> before, List<DeviceDescription> now,
                                           List<DeviceDescription> changes) {
        TreeMap<Integer, DeviceEvent> events = new TreeMap<>();
        List<Integer> changed = new ArrayList<>();
        for (int index = 0; index < now.size(); index++) {
            boolean present = now.get(index).isPresent();
            if (index >= before.size() ? present : before.get(index) != present) {
                changed.add(index);
            }
        }
        for (DeviceDescription change : changes) {
            for (Integer index : changed) {
                DeviceDescription current = now.get(index);
                if (!events.containsKey(index) && current.isPresent() == change.isPresent()
                        && sameDevice(current, change)) {
                    events.put(index, event(index, change));
                    break;
                }
            }
        }
        for (Integer index : changed) {
            events.computeIfAbsent(index, i -> event(i, now.get(i)));
        }
        return new ArrayList<>(events.values());
    }

    private static DeviceEvent event(int index, DeviceDescription description) {
        return new DeviceEvent(description.isPresent() ? DeviceEvent.Kind.ARRIVED : DeviceEvent.Kind.LEFT, index,
                description);
    }

    /** Same ids and texts: the records agree after their presence field. */
    private static boolean sameDevice(DeviceDescription a, DeviceDescription b) {
        String x = a.record();
        String y = b.record();
        return x.substring(x.indexOf(':')).equals(y.substring(y.indexOf(':')));
    }

    private static List<Boolean> presenceOf(List<DeviceDescription> descriptions) {
        List<Boolean> presence = new ArrayList<>(descriptions.size());
        for (DeviceDescription description : descriptions) {
            presence.add(description.isPresent());
        }
        return presence;
    }

    private void joinUninterruptibly() {
        boolean interrupted = false;
        while (thread.isAlive()) {
            try {
                thread.join();
            } catch (InterruptedException e) {
                interrupted = true;
            }
        }
        if (interrupted) {
            Thread.currentThread().interrupt();
        }
    }
}
