// The simulated logger on a real pseudo-terminal, talked to through the real serial port,
// and found through its announcement like a USB device.
#include "common/memory_image.hpp"
#include "common/recording_progress.hpp"
#include "common/temp_dir.hpp"
#include "device/control.hpp"
#include "device/download.hpp"
#include "platform/serial_ports.hpp"
#include "sim/sim_device_source.hpp"
#include "sim/sim_pty_host.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tarnwick {
namespace {

sim::SimLoggerOptions FastLink(uint16_t product) {
  sim::SimLoggerOptions o;
  o.ProductID = product;
  o.Link.BytesPerSecond = 1 << 20;
  o.NmeaInterval = std::chrono::milliseconds(50);
  return o;
}

TEST(SimLinkTest, DownloadThroughAPseudoTerminal) {
  const auto source = test::PatternImage(129, 0x17);
  sim::SimPtyHost host(source, FastLink(0x0900));
  host.Start();
  auto port = CreateComPort(host.SlavePath());
  TIGotUProtocol protocol;
  protocol.SetPort(port.get());
  TIGotUControl control(protocol);
  const auto job = TIGotUDownload::Create(control);
  ASSERT_TRUE(job->Execute(std::make_shared<test::RecordingProgress>()));
  const auto image = job->TakeWholeData();
  test::ExpectSameImage(*image, source);
  EXPECT_FALSE(port->Connected());
  EXPECT_GT(host.Stats().PointBlocks, 0);
}

TEST(SimLinkTest, UnpluggedLoggerHangsUpThePort) {
  auto options = FastLink(0x0B80);
  options.Faults.UnplugAfterBlocks = 1;
  sim::SimPtyHost host(test::PatternImage(300, 0x17), options);
  host.Start();
  auto port = CreateComPort(host.SlavePath());
  port->SetChunkSize(16);
  TIGotUProtocol protocol;
  protocol.SetPort(port.get());
  TIGotUControl control(protocol);
  const auto job = TIGotUDownload::Create(control);
  EXPECT_THROW(job->Execute(std::make_shared<test::RecordingProgress>()), ComPortError);
  EXPECT_TRUE(host.Unplugged());
  EXPECT_FALSE(port->Connected());
}

TEST(SimDeviceSourceTest, ARunningSimulatorIsListedAndCheckedLikeAUsbLogger) {
  test::TempDir dir;
  const std::string folder = dir.File("sims");
  sim::SimPtyHost host(test::PatternImage(1, 0x17), FastLink(0x0B80));
  auto registration = std::make_unique<sim::SimRegistration>(host.SlavePath(), 0x0B80, "0042",
                                                             "Simulated i-gotU", folder);
  DeviceEnumerator device({std::make_shared<sim::SimDeviceSource>(folder)}, CreateComPort);
  const auto list = device.EnumDevices();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->Count(), 1);
  const auto& info = dynamic_cast<const SerialDeviceInfo&>((*list)[0]);
  EXPECT_EQ(info.ComPort, host.SlavePath());
  EXPECT_EQ(info.InfoRec.VendorID, 0x0DF7);
  EXPECT_EQ(info.InfoRec.ProductID, 0x0B80);
  EXPECT_EQ(info.InfoRec.Revision, "0042");
  EXPECT_EQ(info.ChunkSize, 16);
  EXPECT_EQ(info.Name, "Simulated i-gotU");
  const auto port = device.CreatePort(info);
  EXPECT_TRUE(device.PortExist(*port));
  registration->Remove();
  EXPECT_FALSE(device.PortExist(*port));
}

TEST(SimDeviceSourceTest, StaleAndUntrustedEntriesAreNotListed) {
  test::TempDir dir;
  const std::string folder = dir.File("sims");
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  {
    std::ofstream stale(folder + "/999999999.ini");
    stale
        << "[Logger]\nPort=/dev/null\nHardwareID=USB\\VID_0DF7&PID_0900&REV_0200\nPid=999999999\n";
  }
  sim::SimDeviceSource source(folder);
  ASSERT_TRUE(source.PresentDevices().has_value());
  EXPECT_TRUE(source.PresentDevices()->empty());
  EXPECT_FALSE(std::ifstream(folder + "/999999999.ini").good()); // cleaned up

  {
    std::ofstream live(folder + "/1.ini");
    live << "[Logger]\nPort=/dev/null\nHardwareID=USB\\VID_0DF7&PID_0900&REV_0200\nPid="
         << ::getpid() << "\n";
  }
  EXPECT_EQ(source.PresentDevices()->size(), 1u);
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  EXPECT_TRUE(source.PresentDevices()->empty()); // others could write it
  EXPECT_THROW(sim::SimRegistration("/dev/null", 0x0900, "0200", "x", folder), Error);
  EXPECT_TRUE(sim::SimDeviceSource(dir.File("none")).PresentDevices()->empty());
}

} // namespace
} // namespace tarnwick
