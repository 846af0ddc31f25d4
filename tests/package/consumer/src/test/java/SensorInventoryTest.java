import static org.junit.jupiter.api.Assertions.assertEquals;

import com.vantorel.kestra.comm.usb.DeviceList;
import com.vantorel.kestra.comm.usb.UsbSession;
import com.vantorel.kestra.comm.usb.desk.Device;
import com.vantorel.kestra.comm.usb.desk.PortPath;
import com.vantorel.kestra.comm.usb.desk.SimulatedDesk;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * A second test class with a machine of its own, so that Surefire runs two
 * forks: each must see only its own bench.
 */
class SensorInventoryTest {
    @Test
    void seesASecondSensorArrive() throws Exception {
        SimulatedDesk desk = new SimulatedDesk();
        desk.addController().rootHub()
            .port(2, Device.hid(0x1A2B, 0x0002).product("Sensor A").serialNumber("S-1"));
        desk.write();
        try (UsbSession session = UsbSession.open(); DeviceList list = session.deviceListForAllVendors()) {
            Inventory inventory = new Inventory(list);
            assertEquals(List.of("Sensor A"), inventory.presentProducts());
            desk.plug(PortPath.of(0, 3), Device.hid(0x1A2B, 0x0002).product("Sensor B").serialNumber("S-2"));
            list.refresh();
            assertEquals(List.of("Sensor A", "Sensor B"), inventory.presentProducts());
        }
    }
}
