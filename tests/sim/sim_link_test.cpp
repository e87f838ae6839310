// The simulated logger on a real pseudo-terminal, talked to through the real serial port,
// and found through its announcement like a USB device.
#include "common/memory_image.hpp"
#include "common/recording_progress.hpp"
#include "common/temp_dir.hpp"
#include "device/control.hpp"
#include "device/download.hpp"
#include "platform/serial_ports.hpp"
#include "sim/sim_device_source.hpp"
#include "support/os_process.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#ifndef _WIN32
#include "sim/sim_pty_host.hpp"

#include <sys/stat.h>
#endif

namespace tarnwick {
namespace {

#ifndef _WIN32 // the simulator's pseudo-terminal host is POSIX-only
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

#endif

// The registry itself, with an ordinary file standing in for the port.
TEST(SimDeviceSourceTest, ARegistrationIsListedUntilRemoved) {
  test::TempDir dir;
  const std::string folder = dir.File("sims");
  const std::string port = dir.File("port");
  std::ofstream(port) << "";
  sim::SimRegistration registration(port, 0x0900, "0200", "Simulated i-gotU", folder);
  EXPECT_EQ(std::filesystem::path(registration.FileName()).filename().string(),
            std::to_string(CurrentProcessId()) + ".ini");
  sim::SimDeviceSource source(folder);
  auto listed = source.PresentDevices();
  ASSERT_TRUE(listed.has_value());
  ASSERT_EQ(listed->size(), 1u);
  EXPECT_EQ((*listed)[0].PortName, port);
  EXPECT_EQ((*listed)[0].HardwareID, "USB\\VID_0DF7&PID_0900&REV_0200");
  EXPECT_EQ((*listed)[0].Description, "Simulated i-gotU");
  std::filesystem::remove(port);
  EXPECT_TRUE(source.PresentDevices()->empty()) << "a port that went is not listed";
  registration.Remove();
  EXPECT_FALSE(std::filesystem::exists(registration.FileName()));
}

TEST(SimDeviceSourceTest, StaleAndUntrustedEntriesAreNotListed) {
  test::TempDir dir;
  const std::string folder = dir.File("sims");
  const std::string port = dir.File("port");
  std::ofstream(port) << "";
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  {
    std::ofstream stale(folder + "/999999999.ini");
    stale << "[Logger]\nPort=" << port
          << "\nHardwareID=USB\\VID_0DF7&PID_0900&REV_0200\nPid=999999999\n";
  }
  sim::SimDeviceSource source(folder);
  ASSERT_TRUE(source.PresentDevices().has_value());
  EXPECT_TRUE(source.PresentDevices()->empty());
  EXPECT_FALSE(std::ifstream(folder + "/999999999.ini").good()); // cleaned up

  {
    std::ofstream live(folder + "/1.ini");
    live << "[Logger]\nPort=" << port
         << "\nHardwareID=USB\\VID_0DF7&PID_0900&REV_0200\nPid=" << CurrentProcessId() << "\n";
  }
  EXPECT_EQ(source.PresentDevices()->size(), 1u);
#ifndef _WIN32 // Windows folders are closed by access lists, not mode bits
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  EXPECT_TRUE(source.PresentDevices()->empty()); // others could write it
  EXPECT_THROW(sim::SimRegistration("/dev/null", 0x0900, "0200", "x", folder), Error);
#endif
  EXPECT_TRUE(sim::SimDeviceSource(dir.File("none")).PresentDevices()->empty());
}

} // namespace
} // namespace tarnwick
