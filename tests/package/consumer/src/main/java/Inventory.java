import com.vantorel.kestra.comm.usb.DeviceDescription;
import com.vantorel.kestra.comm.usb.DeviceList;
import com.vantorel.kestra.comm.usb.UsbException;
import java.util.ArrayList;
import java.util.List;

/** The application code the README's test example stands for: the products of the devices present. */
public class Inventory {
    private final DeviceList list;

    public Inventory(DeviceList list) {
        this.list = list;
    }

    public List<String> presentProducts() throws UsbException {
        List<String> products = new ArrayList<>();
        for (DeviceDescription device : list.descriptions()) {
            if (device.isPresent()) {
                device.product().ifPresent(products::add);
            }
        }
        return products;
    }
}
