#pragma once

#include <string>
#include <vector>

#include "platform/serial_port.h"

// What the system says about serial devices: why one cannot be opened, and which USB serial devices
// are present. Shared by the serial ports of the programs and of libvnactl.
namespace vna::platform::posix {

// Why opening `device` failed with the system error `error` (an errno value): a missing device,
// a permission problem (with the group that may use the device), a device another program holds,
// or something that is not a serial line at all.
OpenProblem ProblemOfOpenError(const std::string& device, int error);

// Looks at `device` the way an open would and says what stands in the way: it does not exist, is
// a folder or a regular file, may not be opened, is held by another program (a lock on it), or is
// no terminal. Kind None when nothing does. For ports that only get a toolkit's summary of a failure.
OpenProblem ProbeDevice(const std::string& device);

// The USB serial devices under `devRoot` (ttyUSB* and ttyACM*), in the order of their numbers, with
// the vendor, product and names the USB device gives in `sysRoot` (sysfs) where it has them.
std::vector<SerialDeviceInfo> ListUsbSerialDevices(const std::string& devRoot = "/dev",
                                                   const std::string& sysRoot = "/sys");

} // namespace vna::platform::posix
