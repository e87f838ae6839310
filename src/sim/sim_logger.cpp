#include "sim/sim_logger.hpp"

#include "device/command_reply.hpp"
#include "device/control.hpp"
#include "logger/slot_blocks.hpp"

#include <algorithm>
#include <fmt/format.h>

namespace tarnwick::sim {

namespace {

// Text of normal mode waits in the logger's buffer no further than this; the rest is lost,
// as on a device whose host does not read.
constexpr size_t kMaxPendingText = size_t{64} * 1024;

bool ChecksumOk(const std::array<uint8_t, 16>& frame) {
  uint8_t sum = 0;
  for (const auto b : frame) {
    sum = static_cast<uint8_t>(sum + b);
  }
  return sum == 0;
}

// The command a frame carries, as a fault target names it, and the address it reads from;
// empty for a frame the logger does not know.
struct CommandOf {
  std::optional<SimCommandKind> Kind;
  uint32_t Address = 0;
};

CommandOf Classify(const std::array<uint8_t, 16>& frame) {
  const uint8_t code = frame[1];
  const uint8_t sub = frame[2];
  if (code == 0x01 && sub == 0x01) {
    return {SimCommandKind::ModeSwitch};
  }
  if (code == 0x05 && sub == 0x04) {
    return {SimCommandKind::Model};
  }
  if (code == 0x0A) {
    return {SimCommandKind::Identification};
  }
  if (code == 0x0B && sub == 0x03) {
    return {SimCommandKind::Count};
  }
  if (code == 0x05 && sub == 0x07) {
    const uint32_t addr =
        static_cast<uint32_t>(frame[7]) << 16 | static_cast<uint32_t>(frame[8]) << 8 | frame[9];
    return {addr < kPointMemoryAddress ? SimCommandKind::ConfigRead : SimCommandKind::PointRead,
            addr};
  }
  return {};
}

} // namespace

SimLogger::SimLogger(const TIGotUWholeData& Image, SimLoggerOptions Options)
    : options_(std::move(Options)), chunkSize_(options_.ProductID == kIGotUProductChunk16 ? 16 : 8),
      model_(Image.Status.FModel.Data), ident_(Image.Status.FIdent.Data),
      count_(Image.Status.FCount.Data), link_(options_.Link), random_(options_.Seed),
      targetSeen_(options_.Faults.Targeted.size(), 0) {
  // An image without a configuration block is saved with zeros in its place.
  config_.assign(kBlockSize, 0);
  if (Image.ConfigLength() > 0) {
    std::copy_n(Image.ConfigBlockPtr(), std::min<size_t>(kBlockSize, Image.ConfigLength()),
                config_.begin());
  }
  if (const auto* blocks = Image.Blocks()) {
    points_.assign(blocks->DataBuffer(), blocks->DataBuffer() + blocks->NumberOfBytes());
  }
  nextNmea_ = options_.NmeaInterval;
}

size_t SimLogger::Available(SimTime Now) const {
  return link_.Available(Now);
}

size_t SimLogger::Take(uint8_t* Buffer, size_t Count, SimTime Now) {
  return link_.Take(Buffer, Count, Now);
}

std::optional<SimTime> SimLogger::NextEvent(SimTime Now) const {
  std::optional<SimTime> next = link_.NextArrival(Now);
  if (mode_ == SimMode::Normal && options_.NmeaInterval.count() > 0 && !unplugged_) {
    const SimTime due = std::max(nextNmea_, Now + SimTime{1});
    if (!next || due < *next) {
      next = due;
    }
  }
  return next;
}

void SimLogger::Send(std::vector<uint8_t> Bytes, SimTime Earliest, bool IsReply) {
  stats_.BytesSent += static_cast<int64_t>(Bytes.size());
  stats_.DeliveryTime += link_.Send(std::move(Bytes), Earliest);
  if (IsReply) {
    ++stats_.Replies;
    stats_.DeliveryTime += link_.Options().Turnaround;
  }
}

std::vector<uint8_t> SimLogger::Header(int16_t Count, const std::vector<uint8_t>& Data) {
  const auto c = static_cast<uint16_t>(Count);
  std::vector<uint8_t> bytes(3 + Data.size());
  bytes[0] = kIGotUFrameLead;
  bytes[1] = static_cast<uint8_t>(c >> 8);
  bytes[2] = static_cast<uint8_t>(c & 0xFF);
  std::copy(Data.begin(), Data.end(), bytes.begin() + 3);
  return bytes;
}

void SimLogger::SendHeader(int16_t Count, const std::vector<uint8_t>& Data, SimTime Now,
                           bool IsReply) {
  Send(Header(Count, Data), Now + link_.Options().Turnaround, IsReply);
}

void SimLogger::Advance(SimTime Now) {
  if (mode_ != SimMode::Normal || options_.NmeaInterval.count() <= 0 || unplugged_) {
    return;
  }
  // After a long pause only the lines of the last second or so are still worth sending.
  const SimTime oldest = Now - std::max(options_.NmeaInterval * 4, SimTime{1'000'000});
  if (nextNmea_ < oldest) {
    nextNmea_ = oldest;
  }
  while (nextNmea_ <= Now) {
    if (link_.Pending() < kMaxPendingText) {
      Send(NmeaLine(nextNmea_), nextNmea_, false);
    }
    nextNmea_ += options_.NmeaInterval;
  }
}

std::vector<uint8_t> SimLogger::NmeaLine(SimTime Now) {
  const int64_t secs = Now.count() / 1'000'000;
  const std::string body =
      fmt::format("GPGGA,{:02}{:02}{:02}.{:03},2503.7010,N,12138.3500,E,1,08,0.9,35.2,M,15.0,M,,",
                  secs / 3600 % 24, secs / 60 % 60, secs % 60, Now.count() / 1000 % 1000);
  uint8_t sum = 0;
  for (const char c : body) {
    sum ^= static_cast<uint8_t>(c);
  }
  const std::string line = fmt::format("${}*{:02X}\r\n", body, sum);
  return {line.begin(), line.end()};
}

void SimLogger::Receive(const uint8_t* Data, size_t Count, SimTime Now) {
  if (unplugged_) {
    return;
  }
  Advance(Now);
  input_.insert(input_.end(), Data, Data + Count);
  ParseInput(Now);
}

void SimLogger::ParseInput(SimTime Now) {
  size_t pos = 0;
  const auto left = [&] { return input_.size() - pos; };
  while (!unplugged_ && left() > 0) {
    if (chunkSize_ == 16 || !haveHalf_) {
      if (input_[pos] != kIGotUFrameLead) {
        ++pos; // not the start of a frame: line noise or the tail of a broken one
        continue;
      }
      const size_t need = chunkSize_ == 16 ? 16 : 8;
      if (left() < need) {
        break;
      }
      if (chunkSize_ == 16) {
        std::array<uint8_t, 16> frame{};
        std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(pos), 16, frame.begin());
        if (ChecksumOk(frame)) {
          pos += 16;
          HandleFrame(frame, Now);
        } else {
          ++pos;
        }
      } else {
        std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(pos), 8, half_.begin());
        pos += 8;
        haveHalf_ = true;
        SendHeader(0, {}, Now, true);
      }
      continue;
    }
    if (left() < 8) {
      break;
    }
    std::array<uint8_t, 16> frame{};
    std::copy(half_.begin(), half_.end(), frame.begin());
    std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(pos), 8, frame.begin() + 8);
    pos += 8;
    haveHalf_ = false;
    if (ChecksumOk(frame)) {
      HandleFrame(frame, Now);
    } else if (frame[8] == kIGotUFrameLead) {
      // The computer gave up on the last frame and started a new one.
      std::copy_n(frame.begin() + 8, 8, half_.begin());
      haveHalf_ = true;
      SendHeader(0, {}, Now, true);
    }
  }
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(pos));
}

std::optional<SimFault> SimLogger::NextFault(int Number, const std::array<uint8_t, 16>& Frame) {
  // Every targeted fault counts the commands it looks at, whichever fault this one gets.
  std::optional<SimFault> targeted;
  if (const auto command = Classify(Frame); command.Kind) {
    const auto& plan = options_.Faults.Targeted;
    for (size_t i = 0; i < plan.size(); ++i) {
      if (plan[i].Target.Matches(*command.Kind, command.Address) &&
          ++targetSeen_[i] == plan[i].Target.Occurrence && !targeted) {
        targeted = plan[i].Fault;
      }
    }
  }
  if (const auto it = options_.Faults.Scripted.find(Number); it != options_.Faults.Scripted.end()) {
    return it->second;
  }
  if (targeted) {
    return targeted;
  }
  if (options_.Faults.RandomRate > 0) {
    const double r = static_cast<double>(random_() >> 11) * 0x1.0p-53;
    if (r < options_.Faults.RandomRate) {
      return SimFault(static_cast<SimFaultKind>(random_() % kSimRandomFaultKinds));
    }
  }
  return std::nullopt;
}

uint8_t SimLogger::MemoryByte(uint32_t Addr) const {
  if (Addr < kPointMemoryAddress) {
    return config_[Addr];
  }
  const uint32_t offset = Addr - kPointMemoryAddress;
  return offset < points_.size() ? points_[offset] : 0xFF;
}

void SimLogger::HandleFrame(const std::array<uint8_t, 16>& Frame, SimTime Now) {
  if (options_.Faults.UnplugAfterBlocks &&
      stats_.PointBlocks >= *options_.Faults.UnplugAfterBlocks) {
    unplugged_ = true;
    link_.Clear();
    return;
  }
  const int number = static_cast<int>(++stats_.Commands);
  const auto fault = NextFault(number, Frame);
  commands_.push_back(SimCommandRecord{
      number, Frame, fault ? std::optional<SimFaultKind>(fault->Kind) : std::nullopt});
  if (fault) {
    ++stats_.FaultsInjected;
    if (fault->Kind == SimFaultKind::NoAnswer) {
      return;
    }
  }
  const uint8_t code = Frame[1];
  const uint8_t sub = Frame[2];
  if (code == 0x01 && sub == 0x01) {
    if (Frame[3] == 3) {
      mode_ = SimMode::Config;
    } else if (Frame[3] == 0 && mode_ != SimMode::Normal) {
      mode_ = SimMode::Normal;
      nextNmea_ = Now + options_.NmeaInterval;
    }
    Reply({}, fault, Now);
    return;
  }
  if (mode_ != SimMode::Config) {
    return; // normal mode answers only the mode switch
  }
  if (code == 0x05 && sub == 0x04) {
    Reply({model_.begin(), model_.end()}, fault, Now);
  } else if (code == 0x0A) {
    Reply({ident_.begin(), ident_.end()}, fault, Now);
  } else if (code == 0x0B && sub == 0x03) {
    Reply({count_.begin(), count_.end()}, fault, Now);
  } else if (code == 0x05 && sub == 0x07) {
    const auto size = static_cast<uint16_t>(Frame[3] << 8 | Frame[4]);
    const uint32_t addr =
        static_cast<uint32_t>(Frame[7]) << 16 | static_cast<uint32_t>(Frame[8]) << 8 | Frame[9];
    if (size > 0x7FFF) {
      SendHeader(-1, {}, Now, true);
      return;
    }
    std::vector<uint8_t> data(size);
    for (uint32_t i = 0; i < size; ++i) {
      data[i] = MemoryByte((addr + i) & 0xFFFFFF);
    }
    if (addr >= kPointMemoryAddress) {
      ++stats_.PointBlocks;
    }
    Reply(std::move(data), fault, Now);
  } else {
    SendHeader(-1, {}, Now, true);
  }
}

void SimLogger::Reply(std::vector<uint8_t> Data, std::optional<SimFault> Fault, SimTime Now) {
  const auto count = static_cast<int16_t>(Data.size());
  if (!Fault) {
    SendHeader(count, Data, Now, true);
    return;
  }
  const SimTime delay = Fault->Delay;
  switch (Fault->Kind) {
  case SimFaultKind::NoAnswer:
    return;
  case SimFaultKind::BadCode: {
    auto bytes = Header(count, Data);
    bytes[0] = 0x94;
    Send(std::move(bytes), Now + link_.Options().Turnaround, true);
    return;
  }
  case SimFaultKind::Negative:
    SendHeader(-1, {}, Now, true);
    return;
  case SimFaultKind::Short: {
    const auto announced = static_cast<int16_t>(Data.empty() ? 1 : Data.size());
    Data.resize(Data.size() / 2);
    SendHeader(announced, Data, Now, true);
    return;
  }
  case SimFaultKind::Stray: {
    const std::string text = "$GPTXT,01,01,02,ANTENNA OK*35\r\n";
    Send({text.begin(), text.end()}, Now + link_.Options().Turnaround, false);
    SendHeader(count, Data, Now, true);
    return;
  }
  case SimFaultKind::Late:
    SendHeader(count, Data, Now + (delay.count() > 0 ? delay : kLateDelay), true);
    return;
  case SimFaultKind::Overlong: {
    Data.resize(std::min<size_t>(Data.size() + 16, 0x7FFF), 0xEE);
    const auto longer = static_cast<int16_t>(Data.size());
    SendHeader(longer, Data, Now, true);
    return;
  }
  case SimFaultKind::Fewer: {
    Data.resize(Data.size() / 2);
    const auto fewer = static_cast<int16_t>(Data.size());
    SendHeader(fewer, Data, Now, true);
    return;
  }
  case SimFaultKind::Trickle: {
    // The header in time, then each data byte on its own, the link held between them, as
    // from a logger whose USB side stalls: everything sent after it waits its turn.
    const SimTime gap = delay.count() > 0 ? delay : kTrickleGap;
    SendHeader(count, {}, Now, true);
    for (const uint8_t b : Data) {
      Send({b}, link_.FreeAt() + gap, false);
    }
    return;
  }
  }
}

} // namespace tarnwick::sim
