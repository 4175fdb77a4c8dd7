#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kiv/data/SortOrder.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "support/ErrorChecks.h"

namespace kiv {
namespace {

int Resolve(std::string_view name) {
  const std::string upper = UCase(name);
  if (upper == "A") return 0;
  if (upper == "B") return 1;
  if (upper == "ORDER DATE") return 2;
  return -1;
}

std::vector<std::size_t> Sorted(std::string_view text,
                                const std::vector<std::vector<Variant>>& rows) {
  std::vector<const Variant*> pointers;
  for (const auto& row : rows)
    pointers.push_back(row.data());
  const SortOrder order(text, Resolve);
  const auto result = order.Order(pointers);
  // Compare agrees with the order produced.
  for (std::size_t i = 1; i < result.size(); ++i)
    EXPECT_LE(order.Compare(pointers[result[i - 1]], pointers[result[i]]), 0) << text;
  return result;
}

using Order = std::vector<std::size_t>;

TEST(SortOrder, TextIgnoresCaseIsStableAndPutsNullFirst) {
  const std::vector<std::vector<Variant>> rows = {
      {"b", 1},       {"A", 2},        {kNull, 3},      {"B", 4},  {"a", 5},
      {Variant(), 6}, {"\xC3\xA4", 7}, {"\xC3\x84", 8}, {"ab", 9},
  };
  EXPECT_EQ(Sorted("A", rows), (Order{2, 5, 1, 4, 8, 0, 3, 6, 7}));
  EXPECT_EQ(Sorted("a ASC", rows), (Order{2, 5, 1, 4, 8, 0, 3, 6, 7}));
  // Descending reverses the order of the keys but keeps equal rows in their order.
  EXPECT_EQ(Sorted("A DESC", rows), (Order{6, 7, 0, 3, 8, 1, 4, 2, 5}));
  EXPECT_EQ(Sorted("", rows), (Order{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(SortOrder, NumbersDatesAndBooleansCompareNumerically) {
  const std::vector<std::vector<Variant>> rows = {
      {std::int32_t{10}}, {2.5},   {true},  {Currency{-20000}}, {DateSerial(1900, 1, 1)},
      {std::int16_t{2}},  {kNull}, {false}, {std::int32_t{-1}}, {"text"},
  };
  // True is -1 and ties with -1 in its place; the date 1/1/1900 is serial 2;
  // text comes after every number.
  EXPECT_EQ(Sorted("A", rows), (Order{6, 3, 2, 8, 7, 4, 5, 1, 0, 9}));
  EXPECT_EQ(Sorted("A DESC", rows), (Order{9, 0, 1, 4, 5, 7, 2, 8, 3, 6}));
}

TEST(SortOrder, SeveralKeysAndTheirDirections) {
  const std::vector<std::vector<Variant>> rows = {
      {"x", 1, DateSerial(2004, 1, 1)}, {"y", 2, DateSerial(2004, 1, 2)},
      {"X", 3, DateSerial(2004, 1, 1)}, {"y", 1, DateSerial(2004, 1, 1)},
      {"x", 3, DateSerial(2003, 1, 1)},
  };
  EXPECT_EQ(Sorted("A, B DESC", rows), (Order{2, 4, 0, 1, 3}));
  EXPECT_EQ(Sorted("  a desc ,b  ", rows), (Order{3, 1, 0, 2, 4}));
  EXPECT_EQ(Sorted("[Order Date], A DESC", rows), (Order{4, 3, 0, 2, 1}));
  EXPECT_EQ(Sorted("[order date]desc,b", rows), (Order{1, 0, 3, 2, 4}));
  EXPECT_EQ(Sorted("Order Date DESC, b", rows), (Order{1, 0, 3, 2, 4}));  // without brackets
  EXPECT_EQ(Sorted("order date", rows), (Order{4, 0, 2, 3, 1}));

  std::vector<const Variant*> pointers;
  for (const auto& row : rows)
    pointers.push_back(row.data());
  const SortOrder order("A, B DESC", Resolve);
  // The same order over cells of rows numbered by the caller.
  EXPECT_EQ(order.Order(
                {10, 11, 12, 13, 14},
                [&](std::uint32_t row, int column) { return CellOf(pointers[row - 10][column]); }),
            (std::vector<std::uint32_t>{12, 14, 10, 11, 13}));
  ASSERT_EQ(order.keys().size(), 2u);
  EXPECT_EQ(order.keys()[1].name, "B");
  EXPECT_TRUE(order.keys()[1].descending);
  EXPECT_TRUE(SortOrder(" \t", Resolve).empty());
}

TEST(SortOrder, MalformedTextRaises3001AndUnknownFields3265) {
  const auto errorOf = [](std::string_view text) {
    return ErrorNumber([&] { SortOrder order(text, Resolve); });
  };
  for (const char* text : {"A,", ",A", "A,,B", "A DOWN", "A DESC B", "A DESC DESC", "[A", "[]",
                           "A;", "A + B", "Order  Date", "Order Date Time", "[A]B", "Nope,"})
    EXPECT_EQ(errorOf(text), err::BadArguments) << text;
  EXPECT_EQ(errorOf("Nope"), err::ItemNotFound);
  EXPECT_EQ(errorOf("A, [Order  Date] DESC"), err::ItemNotFound);
}

}  // namespace
}  // namespace kiv
