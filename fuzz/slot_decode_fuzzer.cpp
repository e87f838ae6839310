// Fuzzed slots of either family (chosen by the first byte) through every accessor, the track
// cutter and every table.
#include "logger_fuzz_common.hpp"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  if (size < 1) {
    return 0;
  }
  const RModelResult model{{0, 0, static_cast<uint8_t>(data[0] & 1 ? kModelTypeGT800 : data[0])}};
  const size_t slots = std::min<size_t>((size - 1) / kSlotSize, 65535);
  TIGotUSlotBlocks blocks(static_cast<uint16_t>(slots), kSlotSize);
  if (slots > 0) {
    std::copy_n(data + 1, slots * kSlotSize, blocks.DataBuffer());
  }
  const TIGotUPoints points(model, &blocks);
  fuzz::WalkPoints(points);
  // The list itself also takes buffers whose length is no multiple of 32.
  auto list = TIGotUPointList::CreatePoints(model);
  list->AddPointsFromData(data + 1, static_cast<int>(size - 1));
  TIGotUTracks tracks;
  tracks.AddTracksFromPoints(*list);
  TIGotULogMsgPoints logs;
  logs.AddPoints(*list);
  return 0;
}
