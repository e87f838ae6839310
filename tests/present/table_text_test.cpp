#include "present/table_text.hpp"

#include "common/slots.hpp"
#include "present/grid_helpers.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using test::Fix;

TEST(TableText, HeaderThenTheGivenItemsInTheGivenOrder) {
  const auto blocks = test::BlocksOf({Fix(0x04, 6, 0, 0), Fix(0, 7, 2, 3), Fix(0, 8, 0, 0)});
  const TIGotUPoints points(RModelResult{{0, 0, 0x15}}, blocks.get());
  TPointsDumpGridHelper dump;
  dump.SetPoints(&points);
  const std::vector<int> items{2, 0};
  const std::string text = TableText(dump, items);
  const std::string hex0 = dump.GetCellText(3, 1);
  const std::string hex2 = dump.GetCellText(3, 3);
  EXPECT_EQ(text, "#\tFlag\tTime\tData\n"
                  "3\t00\t2013-11-24 08:00:00\t" +
                      hex2 +
                      "\n"
                      "1\t04\t2013-11-24 06:00:00\t" +
                      hex0 + "\n");
  EXPECT_EQ(TableText(dump, {}), "#\tFlag\tTime\tData\n");

  std::vector<std::string> lines;
  WriteTableLines(dump, AllItems(dump), [&](const std::string& Line) { lines.push_back(Line); });
  ASSERT_EQ(lines.size(), 4U);
  EXPECT_EQ(lines[2], "2\t00\t2013-11-24 07:02:03\t" + dump.GetCellText(3, 2) + "\n");
}

TEST(TableText, AnEmptyTableIsItsHeaderAlone) {
  const TTracksGridHelper tracks;
  EXPECT_TRUE(AllItems(tracks).empty());
  EXPECT_EQ(TableText(tracks, AllItems(tracks)),
            "#\tTime\tTimeLen\tCount\tWayPoints\tHR\tCadence\tSpeed\n");
}

} // namespace
} // namespace tarnwick
