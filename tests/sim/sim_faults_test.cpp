#include "sim/sim_faults.hpp"
#include "support/errors.hpp"

#include <gtest/gtest.h>

namespace tarnwick::sim {
namespace {

using std::chrono::milliseconds;

TEST(SimFaultSpecTest, TargetsByCommandAndAddressNextToNumbers) {
  const SimFaultPlan plan = ParseFaultSpec(
      "late:650@read=0x3000,noanswer@model,badcode@7,trickle:5@read#2,stray@config,"
      "short@read=4096#3,fewer@read=0,negative@mode#2,overlong@ident,noanswer@count");
  ASSERT_EQ(plan.Scripted.size(), 1U);
  EXPECT_EQ(plan.Scripted.at(7).Kind, SimFaultKind::BadCode);
  const struct {
    SimCommandKind Command;
    std::optional<uint32_t> Address;
    int Occurrence;
    SimFaultKind Fault;
    milliseconds Delay;
  } want[] = {
      {SimCommandKind::PointRead, 0x3000, 1, SimFaultKind::Late, milliseconds(650)},
      {SimCommandKind::Model, std::nullopt, 1, SimFaultKind::NoAnswer, milliseconds(0)},
      {SimCommandKind::PointRead, std::nullopt, 2, SimFaultKind::Trickle, milliseconds(5)},
      {SimCommandKind::ConfigRead, std::nullopt, 1, SimFaultKind::Stray, milliseconds(0)},
      {SimCommandKind::PointRead, 0x1000, 3, SimFaultKind::Short, milliseconds(0)},
      {SimCommandKind::ConfigRead, 0, 1, SimFaultKind::Fewer, milliseconds(0)},
      {SimCommandKind::ModeSwitch, std::nullopt, 2, SimFaultKind::Negative, milliseconds(0)},
      {SimCommandKind::Identification, std::nullopt, 1, SimFaultKind::Overlong, milliseconds(0)},
      {SimCommandKind::Count, std::nullopt, 1, SimFaultKind::NoAnswer, milliseconds(0)},
  };
  ASSERT_EQ(plan.Targeted.size(), std::size(want));
  for (size_t i = 0; i < std::size(want); ++i) {
    SCOPED_TRACE(i);
    const auto& got = plan.Targeted[i];
    EXPECT_EQ(got.Target.Kind, want[i].Command);
    EXPECT_EQ(got.Target.Address, want[i].Address);
    EXPECT_EQ(got.Target.Occurrence, want[i].Occurrence);
    EXPECT_EQ(got.Fault.Kind, want[i].Fault);
    EXPECT_EQ(got.Fault.Delay, want[i].Delay);
  }
  EXPECT_FALSE(plan.Empty());
  EXPECT_FALSE(ParseFaultSpec("noanswer@model").Empty());
}

TEST(SimFaultSpecTest, BadTargetsNameTheItem) {
  for (const char* spec :
       {"noanswer@", "noanswer@reed", "noanswer@read=", "noanswer@read=0x",
        "noanswer@read=0x1000000", "noanswer@read=0xZZ", "noanswer@read=-1", "noanswer@model#0",
        "noanswer@model#", "noanswer@#2", "noanswer@read=0x3000#x", "stray:5@model"}) {
    SCOPED_TRACE(spec);
    try {
      ParseFaultSpec(std::string("late@3,") + spec);
      ADD_FAILURE() << "accepted";
    } catch (const ConvertError& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("'") + spec + "'"), std::string::npos)
          << e.what();
    }
  }
}

} // namespace
} // namespace tarnwick::sim
