// What a Linux machine says about its devices, from sysfs or from a
// recording of it: per device its sysfs path, attributes (raw bytes, as the
// files hold them), uevent properties and link targets.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace bench_tool {

struct LinuxDevice {
    std::string path;  // "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1"
    std::map<std::string, std::string> attributes;
    std::map<std::string, std::string> properties;
    std::map<std::string, std::string> links;  // "driver" -> "../../../bus/usb/drivers/usbhid"
    // Where a recording says it: the line of the device and of each
    // attribute (0 for a sysfs tree).
    int line = 0;
    std::map<std::string, int> attributeLines;
};

// The USB tree of these devices as a bench; false with *error ("SOURCE:LINE:
// what is wrong") when none of them is a USB root hub, a device's parent
// hub is missing, or a device's attributes contradict its descriptors.
// Devices behind hubs are kept whether or not the hubs' interfaces were
// recorded.
bool linuxBench(const std::vector<LinuxDevice>& devices, const std::string& source, std::string* bench,
               std::string* error);

}  // namespace bench_tool
