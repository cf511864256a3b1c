#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ModelPrinting.h"
#include "markdown/TextTable.h"

namespace markdown {
namespace {

using namespace spell;

struct Fruit {
  std::string name;
  int count;
};

Block onlyBlock(const TextTable& table) {
  return table._markdownContent().blocks.at(0);
}

TEST(TextTable, AssemblesHeaderAndRows) {
  const std::vector<Fruit> fruits = {{"apple", 3}, {"pear", 1}};
  const TextTable table(
      fruits,
      {TextTableColumn<Fruit>::value(std::nullopt, "Name", &Fruit::name),
       TextTableColumn<Fruit>(TextTableColumnAlignment::trailing, {Strong("Count")},
                              [](const Fruit& f) { return Emphasis(std::to_string(f.count)); })});
  EXPECT_EQ(onlyBlock(table), Block::table({std::nullopt, TextTableColumnAlignment::trailing},
                                           {{{text("Name")}, {strong({text("Count")})}},
                                            {{text("apple")}, {emph({text("3")})}},
                                            {{text("pear")}, {emph({text("1")})}}}));
}

TEST(TextTable, EdgeShapes) {
  const std::vector<Fruit> none;
  EXPECT_EQ(onlyBlock(TextTable(none, {TextTableColumn<Fruit>::value(
                                          TextTableColumnAlignment::center, "n", &Fruit::name)})),
            Block::table({TextTableColumnAlignment::center}, {{{text("n")}}}));
  const std::vector<Fruit> two = {{"a", 1}, {"b", 2}};
  EXPECT_EQ(onlyBlock(TextTable(two, {})), Block::table({}, {{}, {}, {}}));
  EXPECT_EQ(
      onlyBlock(TextTable(
          two, {when(false, TextTableColumn<Fruit>::value(std::nullopt, "n", &Fruit::name))})),
      Block::table({}, {{}, {}, {}}));
}

TEST(TextTable, RowsBodyWithPropertyColumn) {
  std::vector<std::string> order;
  const TextTable table(
      [&] {
        order.push_back("columns");
        return TextTableColumnBuilder<int>::buildBlock(
            {TextTableColumn<int>::value(std::nullopt, {"n"}, [](int i) { return i; })});
      },
      [&] {
        order.push_back("rows");
        return TextTableRowBuilder<int>::buildBlock(
            {TextTableRow(1), TextTableRow(2), TextTableRow(3)});
      });
  EXPECT_EQ(order, (std::vector<std::string>{"rows", "columns"}));
  EXPECT_EQ(
      onlyBlock(table),
      Block::table({std::nullopt}, {{{text("n")}}, {{text("1")}}, {{text("2")}}, {{text("3")}}}));
}

TEST(TextTable, CanonicalTextOfProperties) {
  EXPECT_EQ(canonicalText(-42), "-42");
  EXPECT_EQ(canonicalText(std::int64_t{9007199254740993}), "9007199254740993");
  EXPECT_EQ(canonicalText(0.1), "0.1");
  EXPECT_EQ(canonicalText(1.0), "1");
  EXPECT_EQ(canonicalText(true), "true");
  EXPECT_EQ(canonicalText(std::string("**x**")), "**x**");
}

}  // namespace
}  // namespace markdown
