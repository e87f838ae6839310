#include "device/control.hpp"

#include "logger/point_records.hpp"
#include "support/debug_log.hpp"
#include "support/errors.hpp"

#include <algorithm>
#include <fmt/format.h>

namespace tarnwick {

using enum TIGotUProtocolDebugLevel;

namespace {

TIgotUPort& RequirePort(TIgotUPort* port) {
  if (port == nullptr) {
    throw EIGotUError("No port is bound to the protocol engine");
  }
  return *port;
}

} // namespace

void TIGotUControl::DebugMsg(const std::string& Msg) {
  if (FDebugMsgIntf) {
    FDebugMsgIntf->IGotUDebugMessage(Msg);
  } else {
    OutputDebugText(Msg);
  }
}

void TIGotUControl::StageMsg(const std::string& Msg) {
  if (FProgress) {
    FProgress->SetMessage1(Msg);
  }
}

bool TIGotUControl::CheckProgress(int Position, int Max) {
  if (!FProgress) {
    return true;
  }
  bool abort = false;
  FProgress->OnProgress(Position, Max, abort);
  return !abort;
}

void TIGotUControl::Open() {
  TIgotUPort& port = RequirePort(Port());
  port.Open();
  port.Close();
  port.Open();
  port.Close();
  port.Open();
}

void TIGotUControl::Close() {
  RequirePort(Port()).Close();
}

bool TIGotUControl::Initialize() {
  DebugMsg("Change To Config Mode...");
  for (int i = 0; i < 3; ++i) {
    if (NmeaSwitch(3)) {
      return true;
    }
    DebugMsg("Change To Config Mode Retrying...");
  }
  return false;
}

bool TIGotUControl::DeInitialize() {
  DebugMsg("Change To Dongle Mode...");
  return NmeaSwitch(0);
}

bool TIGotUControl::NmeaSwitch(int GPSMode) {
  FIGotUProtocol.DebugMessage(dlCommand, "# SendNmeaSwitch");
  TIGotUNmeaSwitchCommand cmd(GPSMode);
  return FIGotUProtocol.SendCommand(cmd);
}

bool TIGotUControl::GetModel(RModelResult& Model) {
  FIGotUProtocol.DebugMessage(dlCommand, "# GetModel");
  TIGotUModelCommand cmd;
  if (!FIGotUProtocol.SendCommand(cmd)) {
    return false;
  }
  Model = cmd.ResultData;
  return true;
}

bool TIGotUControl::Identification(RIdentResult& IDent) {
  FIGotUProtocol.DebugMessage(dlCommand, "# Identification");
  TIGotUIdentificationCommand cmd;
  if (!FIGotUProtocol.SendCommand(cmd)) {
    return false;
  }
  IDent = cmd.ResultData;
  return true;
}

bool TIGotUControl::GetCount(RCountResult& Count) {
  FIGotUProtocol.DebugMessage(dlCommand, "# GetCount");
  TIGotUCountCommand cmd;
  if (!FIGotUProtocol.SendCommand(cmd)) {
    return false;
  }
  Count = cmd.ResultData;
  return true;
}

bool TIGotUControl::ReadData(uint32_t Addr, uint16_t Size, uint8_t* Ptr) {
  FIGotUProtocol.DebugMessage(dlCommand, fmt::format("# ReadData {:X}", Addr));
  TIGotUReadCommand cmd(Addr, Size);
  return FIGotUProtocol.SendCommand(cmd, Ptr, Size);
}

bool TIGotUControl::ReadStatusData(RIGotUStatusData& Status) {
  return ReadStatus(Status) == nullptr;
}

const char* TIGotUControl::ReadStatus(RIGotUStatusData& Status) {
  DebugMsg("Get Model...");
  if (!GetModel(Status.FModel)) {
    DebugMsg("ERROR!! Get Model Failure!!");
    return "model";
  }
  DebugMsg(fmt::format("Model is {} (ModelType=x{:02X})", Status.FModel.ModelName(),
                       Status.FModel.ModelType()));
  DebugMsg(fmt::format("Model unk={:02X} {:02X}", Status.FModel.Data[0], Status.FModel.Data[1]));

  DebugMsg("Get Identification...");
  if (!Identification(Status.FIdent)) {
    DebugMsg("ERROR!! Get Identification Failure!!");
    return "identification";
  }
  DebugMsg(fmt::format("SerialNumber={}", Status.FIdent.SerialNumber()));
  DebugMsg(
      fmt::format("Version={}.{}", Status.FIdent.MajorVersion(), Status.FIdent.MinorVersion()));
  DebugMsg(
      fmt::format("Model={} (x{:04X})", Status.FIdent.ModelNumber(), Status.FIdent.ModelNumber()));
  DebugMsg(fmt::format("LibraryVer={}", Status.FIdent.USBLibVersion()));

  DebugMsg("Get Count...");
  if (!GetCount(Status.FCount)) {
    DebugMsg("ERROR!! Get Count Failure!!");
    return "record count";
  }
  DebugMsg(fmt::format("Data Point Count={}", Status.FCount.Count()));
  return nullptr;
}

std::unique_ptr<TIGotUSlotBlocks> TIGotUControl::ReadTrackPointBlock(int NumberOfPoints) {
  DebugMsg("Read Tracks...");
  auto blocks = std::make_unique<TIGotUSlotBlocks>(
      static_cast<uint16_t>(std::clamp(NumberOfPoints, 0, 0xFFFF)), kSlotSize);
  const int n = blocks->NumberOfBlocks();
  if (!CheckProgress(0, n)) {
    DebugMsg("Download cancel");
    return nullptr;
  }
  for (int i = 0; i < n; ++i) {
    const uint32_t addr = kPointMemoryAddress + static_cast<uint32_t>(i) * kBlockSize;
    DebugMsg(fmt::format("Reading Block {:06X} ({})%", addr, i * 100 / n));
    if (!ReadData(addr, static_cast<uint16_t>(kBlockSize), blocks->GetBlockPtr(i))) {
      throw EIGotUError("Read Error !!");
    }
    if (!CheckProgress(i + 1, n)) {
      DebugMsg("Download cancel");
      return nullptr;
    }
  }
  return blocks;
}

std::unique_ptr<TIGotUWholeData> TIGotUControl::Download() {
  StageMsg("Prepare for download...");
  FIGotUProtocol.PreRead();
  StageMsg("Initializing...");
  if (!Initialize()) {
    throw EIGotUInitializeError("Initialize Error ! Please Retry.");
  }

  auto image = std::make_unique<TIGotUWholeData>();
  try {
    // An image with a missing status part or configuration block would be saved as if it
    // were the logger's memory (no records, or zeros for the settings), so either failure
    // ends the download.
    StageMsg("Read Status...");
    if (const char* failed = ReadStatus(image->Status)) {
      throw EIGotUError(fmt::format("Cannot read the logger's {}", failed));
    }
    StageMsg("Reading Configuration...");
    if (!ReadConfigBlock(*image, *this)) {
      throw EIGotUError("Cannot read the logger's configuration block");
    }
    StageMsg("Downloading...");
    if (!ReadBlocks(*image, *this)) {
      image.reset();
    }
  } catch (...) {
    // Leave the logger in its normal mode where possible; the first error is the one to
    // report, so a failure to switch back is dropped.
    try {
      DeInitialize();
    } catch (...) {
    }
    throw;
  }
  DeInitialize();
  return image;
}

bool ReadConfigBlock(TIGotUWholeData& Image, TIGotUControl& Control) {
  auto& block = Image.ConfigBlock();
  block.assign(kBlockSize, 0);
  if (!Control.ReadData(kConfigBlockAddress, static_cast<uint16_t>(kBlockSize), block.data())) {
    block.clear();
    return false;
  }
  return true;
}

bool ReadBlocks(TIGotUWholeData& Image, TIGotUControl& Control) {
  auto blocks = Control.ReadTrackPointBlock(Image.Status.NumberOfPoints());
  const bool read = blocks != nullptr;
  Image.SetBlocks(std::move(blocks));
  return read;
}

} // namespace tarnwick
