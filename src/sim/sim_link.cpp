#include "sim/sim_link.hpp"

#include <algorithm>

namespace tarnwick::sim {

SimLink::SimLink(const SimLinkOptions& Options) : options_(Options) {
  options_.PacketSize = std::max(options_.PacketSize, 1);
}

SimTime SimLink::Duration(size_t BytesCount) const {
  const int64_t rate = options_.BytesPerSecond;
  if (rate <= 0) {
    return SimTime{0};
  }
  return SimTime{(static_cast<int64_t>(BytesCount) * 1'000'000 + rate - 1) / rate};
}

SimTime SimLink::Send(std::vector<uint8_t> Bytes, SimTime Earliest) {
  const SimTime start = std::max(Earliest, freeAt_);
  const SimTime duration = Duration(Bytes.size());
  freeAt_ = start + duration;
  segments_.push_back(Segment{std::move(Bytes), start, 0});
  return duration;
}

size_t SimLink::Arrived(const Segment& S, SimTime Now) const {
  if (Now < S.Start) {
    return 0;
  }
  const size_t len = S.Bytes.size();
  const int64_t rate = options_.BytesPerSecond;
  if (rate <= 0) {
    return len;
  }
  const auto sent = static_cast<size_t>((Now - S.Start).count() * rate / 1'000'000);
  if (sent >= len) {
    return len;
  }
  const auto packet = static_cast<size_t>(options_.PacketSize);
  return sent / packet * packet;
}

size_t SimLink::Available(SimTime Now) const {
  size_t n = 0;
  for (const auto& s : segments_) {
    const size_t arrived = Arrived(s, Now);
    n += arrived - s.Taken;
    if (arrived < s.Bytes.size()) {
      break; // what follows leaves after this piece
    }
  }
  return n;
}

size_t SimLink::Take(uint8_t* Buffer, size_t Count, SimTime Now) {
  size_t done = 0;
  while (done < Count && !segments_.empty()) {
    Segment& s = segments_.front();
    const size_t arrived = Arrived(s, Now);
    const size_t n = std::min(Count - done, arrived - s.Taken);
    std::copy_n(s.Bytes.begin() + static_cast<std::ptrdiff_t>(s.Taken), n, Buffer + done);
    s.Taken += n;
    done += n;
    if (s.Taken < s.Bytes.size()) {
      break;
    }
    segments_.pop_front();
  }
  return done;
}

std::optional<SimTime> SimLink::NextArrival(SimTime Now) const {
  for (const auto& s : segments_) {
    const size_t arrived = Arrived(s, Now);
    if (arrived >= s.Bytes.size()) {
      continue;
    }
    const auto packet = static_cast<size_t>(options_.PacketSize);
    const size_t end = std::min(s.Bytes.size(), (arrived / packet + 1) * packet);
    return std::max(s.Start + Duration(end), Now + SimTime{1});
  }
  return std::nullopt;
}

size_t SimLink::Pending() const {
  size_t n = 0;
  for (const auto& s : segments_) {
    n += s.Bytes.size() - s.Taken;
  }
  return n;
}

} // namespace tarnwick::sim
