#include "sim/sim_faults.hpp"

#include "device/control.hpp"
#include "support/errors.hpp"
#include "support/str_util.hpp"

#include <array>
#include <cctype>
#include <charconv>

namespace tarnwick::sim {

namespace {

constexpr std::array<std::string_view, kSimFaultKinds> kNames = {
    "noanswer", "badcode", "negative", "short", "stray", "late", "overlong", "fewer", "trickle"};

std::optional<SimFaultKind> KindByName(std::string_view name) {
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (kNames[i] == name) {
      return static_cast<SimFaultKind>(i);
    }
  }
  return std::nullopt;
}

[[noreturn]] void Bad(std::string_view item, std::string_view why) {
  throw ConvertError("bad fault item '" + std::string(item) + "': " + std::string(why));
}

int PositiveInt(std::string_view item, std::string_view text, int min) {
  const auto v = TryDecimalToInt(text);
  if (!v || *v < min) {
    Bad(item, "expected a whole number of at least " + std::to_string(min));
  }
  return *v;
}

struct CommandName {
  std::string_view Name;
  SimCommandKind Kind;
};

constexpr std::array<CommandName, 6> kCommands = {{
    {"mode", SimCommandKind::ModeSwitch},
    {"model", SimCommandKind::Model},
    {"ident", SimCommandKind::Identification},
    {"count", SimCommandKind::Count},
    {"config", SimCommandKind::ConfigRead},
    {"read", SimCommandKind::PointRead},
}};

constexpr uint32_t kLastAddress = 0xFFFFFF;

uint32_t Address(std::string_view item, std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  uint32_t v = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || v > kLastAddress) {
    Bad(item, "expected a read address from 0 to 0xFFFFFF");
  }
  return v;
}

// WHERE without a command number: COMMAND, read=ADDR, each optionally with #K.
SimFaultTarget Target(std::string_view item, std::string_view where) {
  SimFaultTarget target;
  if (const auto hash = where.find('#'); hash != std::string_view::npos) {
    target.Occurrence = PositiveInt(item, where.substr(hash + 1), 1);
    where = where.substr(0, hash);
  }
  if (where.starts_with("read=")) {
    target.Address = Address(item, where.substr(5));
    target.Kind = *target.Address < kPointMemoryAddress ? SimCommandKind::ConfigRead
                                                        : SimCommandKind::PointRead;
    return target;
  }
  for (const auto& c : kCommands) {
    if (c.Name == where) {
      target.Kind = c.Kind;
      return target;
    }
  }
  Bad(item, "expected a command number, mode, model, ident, count, config, read or "
            "read=ADDR after @");
}

double Rate(std::string_view item, std::string_view text) {
  double v = -1;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || ptr != text.data() + text.size() || !(v >= 0 && v <= 1)) {
    Bad(item, "expected a rate from 0 to 1");
  }
  return v;
}

} // namespace

std::string_view FaultName(SimFaultKind Kind) {
  return kNames[static_cast<size_t>(Kind)];
}

SimFaultPlan ParseFaultSpec(std::string_view Spec) {
  SimFaultPlan plan;
  while (!Spec.empty()) {
    const auto comma = Spec.find(',');
    const std::string_view item = Spec.substr(0, comma);
    Spec = comma == std::string_view::npos ? std::string_view{} : Spec.substr(comma + 1);
    if (item.empty()) {
      continue;
    }
    if (item.starts_with("random=")) {
      plan.RandomRate = Rate(item, item.substr(7));
    } else if (item.starts_with("unplug=")) {
      plan.UnplugAfterBlocks = PositiveInt(item, item.substr(7), 0);
    } else if (const auto at = item.find('@'); at != std::string_view::npos) {
      std::string_view name = item.substr(0, at);
      std::optional<int> ms;
      if (const auto colon = name.find(':'); colon != std::string_view::npos) {
        ms = PositiveInt(item, name.substr(colon + 1), 1);
        if (*ms > 60000) {
          Bad(item, "expected a time from 1 to 60000 ms");
        }
        name = name.substr(0, colon);
      }
      const auto kind = KindByName(name);
      if (!kind) {
        Bad(item, "unknown fault; use noanswer, badcode, negative, short, stray, late, overlong, "
                  "fewer or trickle");
      }
      if (ms && *kind != SimFaultKind::Late && *kind != SimFaultKind::Trickle) {
        Bad(item, "only late and trickle take a time");
      }
      const SimFault fault(*kind, std::chrono::milliseconds(ms.value_or(0)));
      const std::string_view where = item.substr(at + 1);
      if (!where.empty() && std::isdigit(static_cast<unsigned char>(where.front())) != 0) {
        plan.Scripted[PositiveInt(item, where, 1)] = fault;
      } else {
        plan.Targeted.push_back({Target(item, where), fault});
      }
    } else {
      Bad(item, "expected KIND@N, KIND@COMMAND, random=RATE or unplug=N");
    }
  }
  return plan;
}

} // namespace tarnwick::sim
