#include "device/com_port.hpp"
#include "device/device.hpp"
#include "device/hardware_id.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

const std::string kGuid = "{4d36e978-e325-11ce-bfc1-08002be10318}";

TEST(HardwareIdTest, ParsesVendorProductAndRevision) {
  uint16_t v = 0;
  uint16_t p = 0;
  std::string r;
  ASSERT_TRUE(ParseHardwareID("USB\\VID_0DF7&PID_0900&REV_0200", v, p, r));
  EXPECT_EQ(v, 0x0DF7);
  EXPECT_EQ(p, 0x0900);
  EXPECT_EQ(r, "0200");
  ASSERT_TRUE(ParseHardwareID("USB\\VID_0df7&PID_10B80&REV_0001&MI_00", v, p, r));
  EXPECT_EQ(p, 0x0B80); // low 16 bits
  EXPECT_EQ(r, "0001&MI_00");

  for (const char* bad : {"usb\\VID_0DF7&PID_0900&REV_0200", "USB\\VID_0DF7&PID_0900",
                          "USB\\VID_XYZ&PID_0900&REV_0200", "USB\\VID_&PID_0900&REV_0200",
                          "USB\\PID_0900&VID_0DF7&REV_0200", "USB\\VID_0DF7&PID_0900&rev_0200",
                          "USB\\VID_-1&PID_0900&REV_0200", ""}) {
    EXPECT_FALSE(ParseHardwareID(bad, v, p, r)) << bad;
  }
  EXPECT_EQ(FormatHardwareID(0xDF7, 0xB80, "0001"), "USB\\VID_0DF7&PID_0B80&REV_0001");
}

TEST(HardwareIdTest, PortNameFromDriverKey) {
  EXPECT_EQ(ComPortNameFromDriverKey(kGuid, kGuid + "\\0003"), "COM3");
  EXPECT_EQ(ComPortNameFromDriverKey(kGuid, kGuid + "\\0010"), "COM16");
  EXPECT_EQ(ComPortNameFromDriverKey(kGuid, "{00000000-0000-0000-0000-000000000000}\\0003"), "");
  EXPECT_EQ(ComPortNameFromDriverKey(kGuid, kGuid + "0003"), "");
  EXPECT_EQ(ComPortNameFromDriverKey(kGuid, kGuid + "\\00G3"), "");
  EXPECT_EQ(ComPortNameFromDriverKey(kGuid, kGuid + "\\"), "");
}

class FakeSource : public DevicePropertySource {
 public:
  std::optional<std::vector<DeviceProperties>> PresentDevices() override { return Devices; }
  std::optional<std::vector<DeviceProperties>> Devices = std::vector<DeviceProperties>{};
};

DeviceProperties Usb(const std::string& hwid, const std::string& instance,
                     const std::string& name = "i-gotU") {
  DeviceProperties p;
  p.HardwareID = hwid;
  p.Description = name;
  p.ClassGUID = kGuid;
  p.DriverKey = kGuid + "\\" + instance;
  return p;
}

// A serial line that only remembers whether it is open.
class FakeLine : public SerialLine {
 public:
  explicit FakeLine(std::string name, bool* closedFlag = nullptr)
      : name_(std::move(name)), closed_(closedFlag) {}
  void Open() override { open_ = true; }
  void Close() override {
    open_ = false;
    if (closed_ != nullptr) {
      *closed_ = true;
    }
  }
  bool Connected() const override { return open_; }
  int Read(uint8_t*, int) override { return 0; }
  int ReadPending(uint8_t*, int) override { return 0; }
  int Write(const uint8_t*, int Count) override { return Count; }
  void Purge() override {}
  const std::string& PortName() const override { return name_; }

 private:
  std::string name_;
  bool* closed_;
  bool open_ = false;
};

std::unique_ptr<ComPort> FakePort(const std::string& name) {
  return std::make_unique<ComPort>(std::make_unique<FakeLine>(name));
}

TEST(EnumeratorTest, ListsLoggersOfTheVendorWithChunkSizeAndPort) {
  auto source = std::make_shared<FakeSource>();
  source->Devices->push_back(Usb("USB\\VID_0DF7&PID_0900&REV_0200", "0005", "GT-120"));
  source->Devices->push_back(Usb("USB\\VID_0DF8&PID_0900&REV_0200", "0006"));
  source->Devices->push_back(Usb("USB\\VID_0DF7&PID_0B80&REV_0001", "0010", "GT-900"));
  source->Devices->push_back(Usb("USB\\VID_0DF7&PID_0901&REV_0001", "0011"));
  source->Devices->push_back(Usb("USB\\VID_0DF7&PID_0900", "0012"));
  source->Devices->push_back(Usb("USB\\VID_0DF7&PID_0900&REV_0300", "zz")); // no port name
  DeviceProperties noHwid;
  noHwid.Description = "hub";
  source->Devices->push_back(noHwid);
  DeviceProperties tty;
  tty.HardwareID = "USB\\VID_0DF7&PID_0B80&REV_0100";
  tty.PortName = "/dev/ttyACM0";
  source->Devices->push_back(tty);

  DeviceEnumerator device({source}, FakePort);
  const auto list = device.EnumDevices();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->Count(), 5);
  const auto serial = [&](int i) { return dynamic_cast<const SerialDeviceInfo&>((*list)[i]); };
  EXPECT_EQ(serial(0).Name, "GT-120");
  EXPECT_EQ(serial(0).ComPort, "COM5");
  EXPECT_EQ(serial(0).ChunkSize, 8);
  EXPECT_EQ(serial(1).ComPort, "COM16");
  EXPECT_EQ(serial(1).ChunkSize, 16);
  EXPECT_EQ(serial(1).InfoRec.Revision, "0001");
  EXPECT_EQ(serial(2).ChunkSize, 0);
  // A driver key that is not hexadecimal costs that device its port, not the scan.
  EXPECT_EQ(serial(3).ComPort, "");
  EXPECT_EQ(serial(3).InfoRec.Revision, "0300");
  EXPECT_EQ(serial(4).ComPort, "/dev/ttyACM0");
  EXPECT_EQ(serial(4).Name, "");
}

TEST(EnumeratorTest, UnreadableSourcesGiveNoList) {
  auto broken = std::make_shared<FakeSource>();
  broken->Devices.reset();
  DeviceEnumerator none({broken}, FakePort);
  EXPECT_EQ(none.EnumDevices(), nullptr);
  auto empty = std::make_shared<FakeSource>();
  DeviceEnumerator some({broken, empty}, FakePort);
  ASSERT_NE(some.EnumDevices(), nullptr);
  EXPECT_EQ(some.EnumDevices()->Count(), 0);
}

TEST(EnumeratorTest, PortsKnowTheirLoggerAndItsPresence) {
  auto source = std::make_shared<FakeSource>();
  source->Devices->push_back(Usb("USB\\VID_0DF7&PID_0B80&REV_0200", "0005"));
  DeviceEnumerator device({source}, FakePort);
  const auto list = device.EnumDevices();
  const auto port = device.CreatePort((*list)[0]);
  EXPECT_EQ(port->ChunkSize(), 16);
  EXPECT_EQ(port->Description(), "COM5");
  EXPECT_TRUE(device.PortExist(*port));

  // Another unit with the same IDs on another port counts as present.
  source->Devices->front() = Usb("USB\\VID_0DF7&PID_0B80&REV_0200", "0007");
  EXPECT_TRUE(device.PortExist(*port));
  // Another revision does not.
  source->Devices->front() = Usb("USB\\VID_0DF7&PID_0B80&REV_0201", "0005");
  EXPECT_FALSE(device.PortExist(*port));
  source->Devices->clear();
  EXPECT_FALSE(device.PortExist(*port));
  source->Devices.reset();
  EXPECT_FALSE(device.PortExist(*port));

  const auto byName = FakePort("COM9");
  EXPECT_TRUE(device.PortExist(*byName)); // a port chosen by hand is never checked
}

TEST(EnumeratorTest, ForeignObjectsAreRefused) {
  DeviceEnumerator device({}, FakePort);
  EXPECT_THROW(device.CreatePort(TIGotUDeviceInfo(0x0DF7, 0x0900, "0200")), InvalidCastError);
  class OtherPort : public TIgotUPort {
    void Open() override {}
    void Close() override {}
    void ClearBuffer() override {}
    std::string Description() const override { return {}; }
    int DoRead(uint8_t*, int) override { return 0; }
    int DoReadPending(uint8_t*, int) override { return 0; }
    int DoWrite(const uint8_t*, int) override { return 0; }
  } other;
  EXPECT_THROW(device.PortExist(other), InvalidCastError);
}

TEST(ComPortTest, DestroyingAnOpenPortClosesIt) {
  bool closed = false;
  {
    ComPort port(std::make_unique<FakeLine>("COM1", &closed));
    port.Open();
    EXPECT_TRUE(port.Connected());
  }
  EXPECT_TRUE(closed);
}

} // namespace
} // namespace tarnwick
