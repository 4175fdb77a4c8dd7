#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kiv/data/Criteria.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/Locale.h"
#include "support/ErrorChecks.h"

namespace kiv {
namespace {

// Columns of the sample rows, found without regard to case as a record set finds them.
const std::vector<std::string> kColumns = {"Name",   "Qty",  "Price", "Due",
                                           "Active", "Note", "Amount"};

int Resolve(std::string_view name) {
  for (std::size_t i = 0; i < kColumns.size(); ++i)
    if (UCase(kColumns[i]) == UCase(name)) return static_cast<int>(i);
  return UCase(name) == "DUE DATE" ? 3 : -1;
}

std::vector<std::vector<Variant>> SampleRows() {
  return {
      {"Smith", std::int32_t{5}, 1.5, DateSerial(2004, 1, 2), true, kNull, Currency{12500}},
      {"smythe", std::int32_t{10}, 2.25, DateSerial(2004, 2, 1), false, "x", Currency{0}},
      {"O'Brien", std::int32_t{-3}, 0.0, DateSerial(2003, 12, 31), true, "", Currency{-10000}},
      {"Jones", std::int16_t{5}, 1000.0, DateTime{DateSerial(2004, 1, 2).serial + 0.5}, false,
       kNull, Currency{50000}},
      {"\xC3\x85ngstr\xC3\xB6m", std::int32_t{7}, -0.5, DateSerial(2010, 6, 15), false, "y",
       Currency{1}},
      {kNull, kNull, kNull, kNull, kNull, kNull, kNull},
  };
}

std::vector<int> Hits(std::string_view text) {
  const Criteria criteria(text, Resolve);
  std::vector<int> hits;
  const auto rows = SampleRows();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (criteria.Matches(rows[i].data())) hits.push_back(static_cast<int>(i));
  return hits;
}

int ErrorOf(std::string_view text) {
  return ErrorNumber([&] { Criteria criteria(text, Resolve); });
}

struct Case {
  const char* criteria;
  std::vector<int> hits;
};

void Check(const std::vector<Case>& cases) {
  for (const Case& c : cases)
    EXPECT_EQ(Hits(c.criteria), c.hits) << c.criteria;
}

TEST(Criteria, TextComparisonsIgnoreCase) {
  Check({
      {"Name = 'smith'", {0}},
      {"Name <> 'smith'", {1, 2, 3, 4}},  // Null matches no comparison
      {"Name < 'k'", {3}},
      {"Name <= 'JONES'", {3}},
      {"Name > 'smith'", {1, 4}},  // non-ASCII sorts after ASCII letters
      {"Name >= 'Smith'", {0, 1, 4}},
      {"Name = '\xC3\xA5NGSTR\xC3\x96M'", {4}},  // Unicode case folding
      {"Name = 'O''Brien'", {2}},                // doubled quote
      {"Note = ''", {2}},
      {"[Name] = 'Jones'", {3}},
      {"name='Jones'", {3}},
  });
}

TEST(Criteria, LikeWildcardsInBothSyntaxes) {
  Check({
      {"Name LIKE 'Sm*'", {0, 1}},
      {"Name LIKE '*th'", {0}},
      {"Name LIKE '%TH%'", {0, 1}},
      {"Name LIKE 'S*h'", {0}},
      {"Name LIKE 'S*h*'", {0, 1}},
      {"Name LIKE '*i*n'", {2}},  // needs backtracking past the first "i"
      {"Name LIKE 'J_nes'", {3}},
      {"Name LIKE 'J?nes'", {3}},
      {"Name LIKE '?ngstr_m'", {4}},  // one character, two bytes each
      {"Name LIKE '__ngstr_m'", {}},
      {"Name LIKE '*'", {0, 1, 2, 3, 4}},
      {"Name LIKE 'Smith'", {0}},
      {"Name LIKE 'o''b*'", {2}},
      {"Note LIKE '*'", {1, 2, 4}},
      {"Qty LIKE '1*'", {1}},  // a number is matched by its text
      {"Name like '*zz*'", {}},
      {"Name LIKE '*str*'", {4}},        // after a non-ASCII character
      {"Name LIKE '*r\xC3\xB6*'", {4}},  // a non-ASCII pattern, folded
  });
}

TEST(Criteria, NumbersBooleansAndCurrencyCompareNumerically) {
  Check({
      {"Qty = 5", {0, 3}},  // Long and Integer alike
      {"Qty > 5", {1, 4}},
      {"Qty >= 5.0", {0, 1, 3, 4}},
      {"Qty < -2.5", {2}},
      {"Qty <= +5", {0, 2, 3}},
      {"Price = 1e3", {3}},
      {"Price < .5", {2, 4}},
      {"Price = -0.5", {4}},
      {"Qty = '5'", {0, 3}},  // a numeric text converts
      {"Qty = 'abc'", {}},    // a text that is no number never matches
      {"Qty <> 'abc'", {}},
      {"Active = 0", {1, 3, 4}},
      {"Active = -1", {0, 2}},
      {"Active = 'True'", {0, 2}},
      {"Amount = 1.25", {0}},
      {"Amount < 0", {2}},
      {"Amount = 0.0001", {4}},
  });
}

TEST(Criteria, DatesCompareBySerial) {
  Check({
      {"Due LIKE '1/*'", {0, 3}},
      {"Due = #1/2/2004#", {0}},  // the other 1/2/2004 has a time
      {"Due >= #1/2/2004#", {0, 1, 3, 4}},
      {"Due < #1/2/2004#", {2}},
      {"Due <> #12/31/2003#", {0, 1, 3, 4}},
      {"Due = '1/2/2004'", {0}},
      {"Due Date = #1/2/2004#", {0}},  // a name of two words, without brackets
      {"Due Date>#1/2/2004# AND Due Date<=#2/1/2004#", {1, 3}},
      {"Due > 37987", {0, 1, 3, 4}},  // a number is a serial (1/1/2004 is 37987)
  });
  // A date without a text form matches no pattern, and the search goes on.
  const Criteria like("Due LIKE '*'", Resolve);
  const Variant outOfRange[] = {kNull, kNull, kNull, DateTime{1e300}};
  EXPECT_FALSE(like.Matches(outOfRange));
  EXPECT_TRUE(Criteria("Due > 0", Resolve).Matches(outOfRange));

  const LocaleScope uk(Locale::EnglishUK());
  Check({
      {"Due = #1/2/2004#", {1}},  // day first
      {"Due = #31/12/2003#", {2}},
  });
}

TEST(Criteria, NullAndAnd) {
  Check({
      {"Note = NULL", {0, 3, 5}},
      {"Note <> null", {1, 2, 4}},
      {"Note = 'x'", {1}},
      {"Note <> 'x'", {2, 4}},
      {"Qty = 5 AND Name LIKE 'J*'", {3}},
      {"Qty = 5 and Note = NULL and Active <> 0", {0}},
      {"  Qty=5   AND[Name]='Smith'  ", {0}},
      {"Qty = 5 AND Qty = 10", {}},
  });
}

TEST(Criteria, MalformedTextRaises3001AndUnknownFields3265) {
  // Among them: the rest after an unescaped quote, "Date" taken for an
  // operator where no field has the two-word name, and a malformed text
  // naming an unknown field (malformed wins).
  for (const char* text : {"",
                           "   ",
                           "Name",
                           "Name =",
                           "= 'x'",
                           "Name = 'abc",
                           "Name = 'O'Brien'",
                           "Name == 'x'",
                           "Name != 'x'",
                           "Name =< 'x'",
                           "Name IS NULL",
                           "Name NOT LIKE 'x'",
                           "Due  Date = 1",
                           "Name LIKE 5",
                           "Name LIKE NULL",
                           "Qty < NULL",
                           "Qty = 5abc",
                           "Qty = 1.2.3",
                           "Qty = 1e",
                           "Qty = 1e999",
                           "Qty = - 5",
                           "Qty = .",
                           "Qty = 5 AND ",
                           "Qty = 5 OR Qty = 10",
                           "Qty = 5 Name = 'x'",
                           "Qty = 5 ANDName = 'x'",
                           "(Qty = 5)",
                           "Name = \"x\"",
                           "Name = x",
                           "Due = #not a date#",
                           "Due = #1/2/2004",
                           "Due = ##",
                           "[Name = 'x'",
                           "[] = 1",
                           "Nope = 'x"})
    EXPECT_EQ(ErrorOf(text), err::BadArguments) << text;

  EXPECT_EQ(ErrorOf("Nope = 1"), err::ItemNotFound);
  EXPECT_EQ(ErrorOf("Qty = 1 AND [Name ] = 'x'"), err::ItemNotFound);
  EXPECT_EQ(ErrorDescription([] { Criteria criteria("Nope = 1", Resolve); }),
            StandardErrorText(err::ItemNotFound));
  EXPECT_EQ(Criteria("Note = NULL AND Qty > 1", Resolve).Columns(), (std::vector<int>{5, 1}));
}

}  // namespace
}  // namespace kiv
