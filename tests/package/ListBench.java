import com.vantorel.kestra.comm.KESTRACommUSBAccess;
import com.vantorel.kestra.comm.NativeLibrary;

/** Lists every device of the machine through the peer class, as a newcomer's first program would. */
public class ListBench {
    public static void main(String[] args) {
        int handle = KESTRACommUSBAccess.usbInitialize();
        int list = KESTRACommUSBAccess.usbCreateDeviceList(handle, 0xFFFF);
        int count = KESTRACommUSBAccess.usbGetDeviceListCount(list);
        System.out.println("devices: " + count);
        for (int i = 0; i < count; i++) {
            System.out.println(KESTRACommUSBAccess.usbGetDeviceInfo(list, i));
        }
        System.out.println("version: " + KESTRACommUSBAccess.class.getPackage().getImplementationVersion());
        System.out.println("loaded: " + NativeLibrary.loadedFrom().map(Object::toString).orElse("?"));
        KESTRACommUSBAccess.usbReleaseDeviceList(list);
        KESTRACommUSBAccess.usbRelease(handle);
    }
}
