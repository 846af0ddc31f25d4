import com.vantorel.kestra.comm.usb.desk.Controller;
import com.vantorel.kestra.comm.usb.desk.Device;
import com.vantorel.kestra.comm.usb.desk.SimulatedDesk;

/**
 * A desk built with the Java desk builder, written to standard output: two
 * controllers, an external hub, HID and WinUSB devices with strings, and
 * faults. Only what a capture keeps: no traffic behaviours, no failing
 * strings (a capture has no text for them).
 */
public class WriteDesk {
    public static void main(String[] args) {
        SimulatedDesk desk = new SimulatedDesk();
        Controller first = desk.addController().pci(0x8086, 0xA36D, 0x86941043, 0x10);
        first.rootHub().portCount(4)
                .port(1, Device.winUsb(0x1A2B, 0x0001).manufacturer("Vantorel Labs").product("Loop")
                        .serialNumber("L-1"))
                .port(3, Device.hid(0x1A2B, 0x0002).manufacturer("Vantorel Labs").product("Pad")
                        .serialNumber("P-1").speed("full").echoReports());
        Device hub = Device.hub(0x2C3D, 0x4100, 4);
        hub.downstream()
                .port(2, Device.hid(0x1A2B, 0x0004).product("Quiet").serialNumber("Q-1").release(0x0210))
                .port(4, Device.winUsb(0x1A2B, 0x0006).manufacturer("Vantorel Labs").product("Broken")
                        .serialNumber("B-1").failRequest("configuration", 31).openError(32));
        Controller second = desk.addController().instanceId("ACPI\\VTRL0D10\\0").description("Second Host");
        second.rootHub().portCount(2)
                .port(1, hub)
                .port(2, Device.massStorage(0x0781, 0x5581).product("Stick").serialNumber("S-1"));
        System.out.print(desk.toJson());
    }
}
