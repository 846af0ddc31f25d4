// The built-in bench: what the simulated machine holds when no bench file
// is named. A developer's machine with two host controllers (one of them not
// on PCI), an external hub, and devices of every kind the library meets.
#include "platform/sim/model/bench.h"

namespace sim {

const std::string& defaultBenchText() {
    static const std::string text = R"json({
  "controllers": [
    {
      // A PCI xHCI controller with a USB 3 root hub.
      "pci": {"vendor": "0x1B6F", "device": "0x7052", "subsystem": "0x00011B6F", "revision": "0x10"},
      "busNumber": 0,
      "address": "0x00140000",
      "rootHub": {
        "portCount": 6,
        "superSpeed": true,
        "ports": {
          "1": {
            // WinUSB: what goes out on pipe 0x01 comes back on 0x81;
            // vendor control requests are echoed.
            "vendorId": "0x1A2B", "productId": "0x0001", "release": "0x0100",
            "manufacturer": "Vantorel Labs", "product": "Kestra Loopback", "serialNumber": "KL-000117",
            "kind": "winusb",
            "winusb": {
              "pipes": [{"pipe": "0x01", "behaviour": "loopback", "to": "0x81"}],
              "vendorControlEcho": true
            },
            "bos": true
          },
          "2": {
            // HID: 64-byte output reports come back as input reports.
            "vendorId": "0x1A2B", "productId": "0x0002", "release": "0x0200", "speed": "full",
            "manufacturer": "Vantorel Labs", "product": "Kestra HID Echo", "serialNumber": "KH-000042",
            "kind": "hid",
            "hidReports": "echo"
          },
          "3": {
            "vendorId": "0x2C3D", "productId": "0x4100", "release": "0x0111",
            "manufacturer": "Brightwater", "product": "4-Port USB 2.0 Hub",
            "hub": {
              "portCount": 4,
              "ports": {
                "2": {
                  // Strings in two languages: English and German.
                  "vendorId": "0x3E4F", "productId": "0x0107", "release": "0x0310",
                  "languages": ["0x0409", "0x0407"],
                  "manufacturer": "Nordlicht Instruments", "product": "Data Logger", "serialNumber": "NL-7731",
                  "strings": {"0x0407": {"1": "Nordlicht Messtechnik", "2": "Datenschreiber"}},
                  "kind": "winusb"
                }
              }
            }
          },
          "4": {
            // A composite device: an interface association groups a
            // communications interface with its data interface.
            "vendorId": "0x4A5B", "productId": "0x0C01", "release": "0x0100",
            "deviceClass": ["0xEF", 2, 1],
            "manufacturer": "Orrin Devices", "product": "Serial Bridge", "serialNumber": "OD-5521",
            "strings": {"0x0409": {"4": "Serial Bridge Port"}},
            "service": "usbccgp", "setupClass": "USB", "description": "USB Composite Device",
            "configuration": {
              "associations": [
                {"firstInterface": 0, "interfaceCount": 2, "class": 2, "subClass": 2, "protocol": 1, "string": 4}
              ],
              "interfaces": [
                {"class": 2, "subClass": 2, "protocol": 1,
                 "endpoints": [{"address": "0x83", "type": "interrupt", "maxPacket": 16, "interval": 8}]},
                {"class": 10,
                 "endpoints": [{"address": "0x02", "type": "bulk", "maxPacket": 512},
                               {"address": "0x82", "type": "bulk", "maxPacket": 512}]}
              ]
            }
          },
          "5": {
            "vendorId": "0x5C6D", "productId": "0x2001", "release": "0x1100",
            "usbVersion": "0x0320", "speed": "super",
            "manufacturer": "Keystone Media", "product": "Pocket Drive 64", "serialNumber": "KM20019938",
            "kind": "massStorage",
            "bos": true
          }
        }
      }
    },
    {
      // A host controller that is not on PCI.
      "instanceId": "ACPI\\VTRL0D10\\0",
      "description": "USB EHCI Compatible Host Controller",
      "service": "usbehci",
      "rootHub": {
        "portCount": 3,
        "ports": {
          "1": {
            // The product string holds U+00E9.
            "vendorId": "0x6E7F", "productId": "0x0310", "release": "0x0102", "speed": "full",
            "manufacturer": "Atelier Mesure", "product": "Balance de précision", "serialNumber": "AM-0310-77",
            "kind": "winusb"
          },
          "2": {
            // No strings at all.
            "vendorId": "0x7A8B", "productId": "0x0001", "release": "0x0001", "speed": "full",
            "kind": "winusb"
          },
          "3": {
            // Installed without a driver service.
            "vendorId": "0x8B9C", "productId": "0x0042", "release": "0x0100",
            "manufacturer": "Unbranded", "product": "Prototype Board", "serialNumber": "PB-1",
            "description": "Prototype Board",
            "service": null
          }
        }
      }
    }
  ],
  "otherDevices": [
    {"description": "NVMe Solid State Drive", "setupClass": "DiskDrive"},
    {"description": "Basic Display Adapter", "setupClass": "Display"}
  ]
}
)json";
    return text;
}

}  // namespace sim
