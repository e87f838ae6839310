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
constexpr size_t kMaxPendingText = 64 * 1024;

bool ChecksumOk(const std::array<uint8_t, 16>& frame) {
  uint8_t sum = 0;
  for (const auto b : frame) {
    sum = static_cast<uint8_t>(sum + b);
  }
  return sum == 0;
}

} // namespace

TSimLogger::TSimLogger(const TIGotUWholeData& Image, TSimLoggerOptions Options)
    : FOptions(std::move(Options)), FChunkSize(FOptions.ProductID == kIGotUProductChunk16 ? 16 : 8),
      FModel(Image.Status.FModel.Data), FIdent(Image.Status.FIdent.Data),
      FCount(Image.Status.FCount.Data), FRandom(FOptions.Seed) {
  if (FOptions.Link.PacketSize < 1) {
    FOptions.Link.PacketSize = 1;
  }
  // An image without a configuration block is saved with zeros in its place.
  FConfig.assign(kBlockSize, 0);
  if (Image.ConfigLength() > 0) {
    std::copy_n(Image.ConfigBlockPtr(), std::min<size_t>(kBlockSize, Image.ConfigLength()),
                FConfig.begin());
  }
  if (const auto* blocks = Image.Blocks()) {
    FPoints.assign(blocks->DataBuffer(), blocks->DataBuffer() + blocks->NumberOfBytes());
  }
  FNextNmea = FOptions.NmeaInterval;
}

TSimTime TSimLogger::Duration(size_t Bytes) const {
  const int64_t rate = FOptions.Link.BytesPerSecond;
  if (rate <= 0) {
    return TSimTime{0};
  }
  return TSimTime{(static_cast<int64_t>(Bytes) * 1'000'000 + rate - 1) / rate};
}

size_t TSimLogger::Arrived(const TSegment& Segment, TSimTime Now) const {
  if (Now < Segment.Start) {
    return 0;
  }
  const size_t len = Segment.Bytes.size();
  const int64_t rate = FOptions.Link.BytesPerSecond;
  if (rate <= 0) {
    return len;
  }
  const auto sent = static_cast<size_t>((Now - Segment.Start).count() * rate / 1'000'000);
  if (sent >= len) {
    return len;
  }
  const auto packet = static_cast<size_t>(FOptions.Link.PacketSize);
  return sent / packet * packet;
}

size_t TSimLogger::Available(TSimTime Now) const {
  size_t n = 0;
  for (const auto& s : FOutput) {
    const size_t arrived = Arrived(s, Now);
    n += arrived - s.Taken;
    if (arrived < s.Bytes.size()) {
      break;
    }
  }
  return n;
}

size_t TSimLogger::Take(uint8_t* Buffer, size_t Count, TSimTime Now) {
  size_t done = 0;
  while (done < Count && !FOutput.empty()) {
    TSegment& s = FOutput.front();
    const size_t arrived = Arrived(s, Now);
    const size_t n = std::min(Count - done, arrived - s.Taken);
    std::copy_n(s.Bytes.begin() + static_cast<std::ptrdiff_t>(s.Taken), n, Buffer + done);
    s.Taken += n;
    done += n;
    if (s.Taken < s.Bytes.size()) {
      break;
    }
    FOutput.pop_front();
  }
  return done;
}

std::optional<TSimTime> TSimLogger::NextEvent(TSimTime Now) const {
  std::optional<TSimTime> next;
  for (const auto& s : FOutput) {
    const size_t arrived = Arrived(s, Now);
    if (arrived >= s.Bytes.size()) {
      continue;
    }
    const auto packet = static_cast<size_t>(FOptions.Link.PacketSize);
    const size_t end = std::min(s.Bytes.size(), (arrived / packet + 1) * packet);
    next = std::max(s.Start + Duration(end), Now + TSimTime{1});
    break;
  }
  if (FMode == TSimMode::Normal && FOptions.NmeaInterval.count() > 0 && !FUnplugged) {
    const TSimTime due = std::max(FNextNmea, Now + TSimTime{1});
    if (!next || due < *next) {
      next = due;
    }
  }
  return next;
}

void TSimLogger::Send(std::vector<uint8_t> Bytes, TSimTime Earliest, bool IsReply) {
  const TSimTime start = std::max(Earliest, FLinkFree);
  const TSimTime duration = Duration(Bytes.size());
  FLinkFree = start + duration;
  FStats.BytesSent += static_cast<int64_t>(Bytes.size());
  FStats.DeliveryTime += duration;
  if (IsReply) {
    ++FStats.Replies;
    FStats.DeliveryTime += FOptions.Link.Turnaround;
  }
  FOutput.push_back(TSegment{std::move(Bytes), start, 0});
}

void TSimLogger::SendHeader(int16_t Count, std::vector<uint8_t> Data, TSimTime Now, bool IsReply) {
  const auto c = static_cast<uint16_t>(Count);
  std::vector<uint8_t> bytes{kIGotUFrameLead, static_cast<uint8_t>(c >> 8),
                             static_cast<uint8_t>(c & 0xFF)};
  bytes.insert(bytes.end(), Data.begin(), Data.end());
  Send(std::move(bytes), Now + FOptions.Link.Turnaround, IsReply);
}

void TSimLogger::Advance(TSimTime Now) {
  if (FMode != TSimMode::Normal || FOptions.NmeaInterval.count() <= 0 || FUnplugged) {
    return;
  }
  // After a long pause only the lines of the last second or so are still worth sending.
  const TSimTime oldest = Now - std::max(FOptions.NmeaInterval * 4, TSimTime{1'000'000});
  if (FNextNmea < oldest) {
    FNextNmea = oldest;
  }
  while (FNextNmea <= Now) {
    size_t pending = 0;
    for (const auto& s : FOutput) {
      pending += s.Bytes.size() - s.Taken;
    }
    if (pending < kMaxPendingText) {
      Send(NmeaLine(FNextNmea), FNextNmea, false);
    }
    FNextNmea += FOptions.NmeaInterval;
  }
}

std::vector<uint8_t> TSimLogger::NmeaLine(TSimTime Now) {
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

void TSimLogger::Receive(const uint8_t* Data, size_t Count, TSimTime Now) {
  if (FUnplugged) {
    return;
  }
  Advance(Now);
  FInput.insert(FInput.end(), Data, Data + Count);
  ParseInput(Now);
}

void TSimLogger::ParseInput(TSimTime Now) {
  size_t pos = 0;
  const auto left = [&] { return FInput.size() - pos; };
  while (!FUnplugged && left() > 0) {
    if (FChunkSize == 16 || !FHaveHalf) {
      if (FInput[pos] != kIGotUFrameLead) {
        ++pos; // not the start of a frame: line noise or the tail of a broken one
        continue;
      }
      const size_t need = FChunkSize == 16 ? 16 : 8;
      if (left() < need) {
        break;
      }
      if (FChunkSize == 16) {
        std::array<uint8_t, 16> frame{};
        std::copy_n(FInput.begin() + static_cast<std::ptrdiff_t>(pos), 16, frame.begin());
        if (ChecksumOk(frame)) {
          pos += 16;
          HandleFrame(frame, Now);
        } else {
          ++pos;
        }
      } else {
        std::copy_n(FInput.begin() + static_cast<std::ptrdiff_t>(pos), 8, FHalf.begin());
        pos += 8;
        FHaveHalf = true;
        SendHeader(0, {}, Now, true);
      }
      continue;
    }
    if (left() < 8) {
      break;
    }
    std::array<uint8_t, 16> frame{};
    std::copy(FHalf.begin(), FHalf.end(), frame.begin());
    std::copy_n(FInput.begin() + static_cast<std::ptrdiff_t>(pos), 8, frame.begin() + 8);
    pos += 8;
    FHaveHalf = false;
    if (ChecksumOk(frame)) {
      HandleFrame(frame, Now);
    } else if (frame[8] == kIGotUFrameLead) {
      // The computer gave up on the last frame and started a new one.
      std::copy_n(frame.begin() + 8, 8, FHalf.begin());
      FHaveHalf = true;
      SendHeader(0, {}, Now, true);
    }
  }
  FInput.erase(FInput.begin(), FInput.begin() + static_cast<std::ptrdiff_t>(pos));
}

std::optional<SimFault> TSimLogger::NextFault(int Number) {
  if (const auto it = FOptions.Faults.Scripted.find(Number); it != FOptions.Faults.Scripted.end()) {
    return it->second;
  }
  if (FOptions.Faults.RandomRate > 0) {
    const double r = static_cast<double>(FRandom() >> 11) * 0x1.0p-53;
    if (r < FOptions.Faults.RandomRate) {
      return SimFault(static_cast<TSimFaultKind>(FRandom() % kSimRandomFaultKinds));
    }
  }
  return std::nullopt;
}

uint8_t TSimLogger::MemoryByte(uint32_t Addr) const {
  if (Addr < kPointMemoryAddress) {
    return FConfig[Addr];
  }
  const uint32_t offset = Addr - kPointMemoryAddress;
  return offset < FPoints.size() ? FPoints[offset] : 0xFF;
}

void TSimLogger::HandleFrame(const std::array<uint8_t, 16>& Frame, TSimTime Now) {
  if (FOptions.Faults.UnplugAfterBlocks &&
      FStats.PointBlocks >= *FOptions.Faults.UnplugAfterBlocks) {
    FUnplugged = true;
    FOutput.clear();
    return;
  }
  const int number = static_cast<int>(++FStats.Commands);
  const auto fault = NextFault(number);
  FCommands.push_back(TSimCommandRecord{
      number, Frame, fault ? std::optional<TSimFaultKind>(fault->Kind) : std::nullopt});
  if (fault) {
    ++FStats.FaultsInjected;
    if (fault->Kind == TSimFaultKind::NoAnswer) {
      return;
    }
  }
  const uint8_t code = Frame[1];
  const uint8_t sub = Frame[2];
  if (code == 0x01 && sub == 0x01) {
    if (Frame[3] == 3) {
      FMode = TSimMode::Config;
    } else if (Frame[3] == 0 && FMode != TSimMode::Normal) {
      FMode = TSimMode::Normal;
      FNextNmea = Now + FOptions.NmeaInterval;
    }
    Reply({}, fault, Now);
    return;
  }
  if (FMode != TSimMode::Config) {
    return; // normal mode answers only the mode switch
  }
  if (code == 0x05 && sub == 0x04) {
    Reply({FModel.begin(), FModel.end()}, fault, Now);
  } else if (code == 0x0A) {
    Reply({FIdent.begin(), FIdent.end()}, fault, Now);
  } else if (code == 0x0B && sub == 0x03) {
    Reply({FCount.begin(), FCount.end()}, fault, Now);
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
      ++FStats.PointBlocks;
    }
    Reply(std::move(data), fault, Now);
  } else {
    SendHeader(-1, {}, Now, true);
  }
}

void TSimLogger::Reply(std::vector<uint8_t> Data, std::optional<SimFault> Fault, TSimTime Now) {
  const auto count = static_cast<int16_t>(Data.size());
  if (!Fault) {
    SendHeader(count, std::move(Data), Now, true);
    return;
  }
  const TSimTime delay = Fault->Delay;
  switch (Fault->Kind) {
  case TSimFaultKind::NoAnswer:
    return;
  case TSimFaultKind::BadCode: {
    SendHeader(count, std::move(Data), Now, true);
    FOutput.back().Bytes[0] = 0x94;
    return;
  }
  case TSimFaultKind::Negative:
    SendHeader(-1, {}, Now, true);
    return;
  case TSimFaultKind::Short: {
    const auto announced = static_cast<int16_t>(Data.empty() ? 1 : Data.size());
    Data.resize(Data.size() / 2);
    SendHeader(announced, std::move(Data), Now, true);
    return;
  }
  case TSimFaultKind::Stray: {
    const std::string text = "$GPTXT,01,01,02,ANTENNA OK*35\r\n";
    Send({text.begin(), text.end()}, Now + FOptions.Link.Turnaround, false);
    SendHeader(count, std::move(Data), Now, true);
    return;
  }
  case TSimFaultKind::Late:
    SendHeader(count, std::move(Data), Now + (delay.count() > 0 ? delay : kLateDelay), true);
    return;
  case TSimFaultKind::Overlong: {
    Data.resize(std::min<size_t>(Data.size() + 16, 0x7FFF), 0xEE);
    const auto longer = static_cast<int16_t>(Data.size());
    SendHeader(longer, std::move(Data), Now, true);
    return;
  }
  case TSimFaultKind::Fewer: {
    Data.resize(Data.size() / 2);
    const auto fewer = static_cast<int16_t>(Data.size());
    SendHeader(fewer, std::move(Data), Now, true);
    return;
  }
  case TSimFaultKind::Trickle: {
    // The header in time, then each data byte on its own, the link held between them, as
    // from a logger whose USB side stalls: everything sent after it waits its turn.
    const TSimTime gap = delay.count() > 0 ? delay : kTrickleGap;
    SendHeader(count, {}, Now, true);
    for (size_t i = 0; i < Data.size(); ++i) {
      Send({Data[i]}, FLinkFree + gap, false);
    }
    return;
  }
  }
}

} // namespace tarnwick::sim
