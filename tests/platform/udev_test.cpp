// The system's device list and its change notifications, on whatever this machine has.
#include "platform/device_change_watcher.hpp"
#include "platform/serial_ports.hpp"
#include "platform/udev_device_source.hpp"

#include <algorithm>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(UdevSourceTest, HardwareIdTextFromSysfsValues) {
  EXPECT_EQ(UdevDeviceSource::UsbHardwareID("0df7", "0b80", "0200"),
            "USB\\VID_0DF7&PID_0B80&REV_0200");
  EXPECT_FALSE(UdevDeviceSource::UsbHardwareID("0df7", nullptr, "0200").has_value());
}

TEST(UdevSourceTest, SystemListsReadWithoutError) {
  // Whatever this machine has: the calls work and list only terminals with device nodes.
  UdevDeviceSource source;
  const auto devices = source.PresentDevices();
  if (devices) {
    for (const auto& d : *devices) {
      ASSERT_TRUE(d.PortName.has_value());
      EXPECT_EQ(d.PortName->rfind("/dev/", 0), 0u);
    }
  }
  const auto ports = GetComPorts();
  EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end()));
}

TEST(DeviceChangeWatcherTest, OffersAPollableDescriptor) {
  std::unique_ptr<DeviceChangeWatcher> watcher;
  try {
    watcher = std::make_unique<DeviceChangeWatcher>();
  } catch (const Error& e) {
    GTEST_SKIP() << e.what(); // a container without udev netlink
  }
  EXPECT_GE(watcher->Fd(), 0);
  // Taking the pending changes returns at once, whether or not there are any (a hang here
  // ends the test at its time-out).
  watcher->ReadChanges();
}

} // namespace
} // namespace tarnwick
