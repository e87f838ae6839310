#include "present/image_texts.hpp"

#include "support/dump_text.hpp"
#include "support/errors.hpp"
#include "support/str_util.hpp"

namespace tarnwick {

StatusLabelTexts StatusLabels(const RIGotUStatusData& Status) {
  StatusLabelTexts l;
  l.Model = Status.FModel.ModelName();
  l.Serial = std::to_string(Status.FIdent.SerialNumber());
  l.Version = std::to_string(Status.FIdent.MajorVersion()) + "." +
              std::to_string(Status.FIdent.MinorVersion());
  l.Count = std::to_string(Status.NumberOfPoints());
  return l;
}

std::vector<std::string> ConfigDumpLines(const uint8_t* Data, int Length) {
  std::vector<std::string> lines;
  if (Data == nullptr) {
    return lines;
  }
  for (int offset = 0; offset + 16 <= Length; offset += 16) {
    lines.push_back(HexStr(static_cast<uint32_t>(offset), 4) + " : " +
                    BytesToHex(Data + offset, 16));
  }
  return lines;
}

std::string LogMessageEntry(const TIGotULogMsgPoint& Point, const TimeZone& Zone) {
  std::string time;
  try {
    time = PointTimeText(Point, Zone);
  } catch (const Error& e) {
    time = e.what();
  }
  return time + " " + Point.LogMessage();
}

} // namespace tarnwick
