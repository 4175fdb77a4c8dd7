#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Field.h"
#include "kiv/data/Recordset.h"
#include "kiv/host/Label.h"
#include "kiv/host/TextBox.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Error.h"
#include "kiv/shared/Functions.h"
#include "support/HostedTest.h"

namespace kiv {
namespace {

// An object whose readable members are given at run time: each maps a name
// to a value, or to nullopt for a member whose read raises an error.
class Probe : public Dispatch {
 public:
  explicit Probe(std::map<std::string, std::optional<Variant>> members) {
    MemberTable::Builder<Probe> builder;
    for (const auto& [name, value] : members) {
      builder.get(name, [value = value, name = name](Probe&) -> Variant {
        if (!value) throw Error(err::InvalidProcedureCall, "Probe", "cannot read " + name);
        return *value;
      });
    }
    table_ = builder.build();
  }
  std::string_view TypeName() const override { return "Probe"; }
  const MemberTable& memberTable() const override { return table_; }

 private:
  MemberTable table_;
};

using Members = std::map<std::string, std::optional<Variant>>;

TEST(GetDataFieldName, DataFieldWinsThenDataFieldThenEmpty) {
  const std::vector<std::pair<Members, std::string>> cases = {
      {{{"Data_Field", Variant("Code")}, {"DataField", Variant("Other")}}, "Code"},
      {{{"Data_Field", Variant("")}, {"DataField", Variant("Name")}}, "Name"},
      {{{"DataField", Variant("Price")}}, "Price"},
      {{{"Data_Field", std::nullopt}, {"DataField", Variant("Qty")}}, "Qty"},
      {{{"Data_Field", Variant(kNull)}, {"DataField", Variant("Qty")}}, "Qty"},
      {{{"Caption", Variant("x")}}, ""},
      {{{"Data_Field", std::nullopt}, {"DataField", std::nullopt}}, ""},
      {{{"datafield", Variant("lower")}}, "lower"},  // names match without regard to case
  };
  for (const auto& [members, expected] : cases)
    EXPECT_EQ(GetDataFieldName(Variant(std::make_shared<Probe>(members))), expected);
  EXPECT_EQ(GetDataFieldName(std::shared_ptr<Dispatch>()), "");
  EXPECT_EQ(GetDataFieldName(Variant("not a control")), "");

  // The host's own widgets: a bound text box, and a label that has no binding.
  auto box = std::make_shared<TextBox>("txtName");
  box->DataField("Name");
  EXPECT_EQ(GetDataFieldName(Variant(box)), "Name");
  EXPECT_EQ(GetDataFieldName(Variant(std::make_shared<Label>())), "");
}

struct Merge {
  std::string statement, condition, expected;
};

void ExpectMerges(const std::vector<Merge>& merges) {
  for (const auto& m : merges)
    EXPECT_EQ(AddWhereCondition(m.statement, m.condition), m.expected)
        << m.statement << " + " << m.condition;
}

TEST(AddWhereCondition, FollowsTheLibrarysSpacing) {
  const std::string c = "Code = 'A'";
  ExpectMerges({
      {"SELECT * FROM T", c, "SELECT * FROM T WHERE Code = 'A' "},
      {"SELECT * FROM T WHERE X = 1 ORDER BY Code", c,
       "SELECT * FROM T  WHERE X = 1  AND Code = 'A' ORDER BY Code"},
      {"select * from t where x = 1 order by code", c,
       "select * from t  where x = 1  AND Code = 'A' order by code"},
      {"SELECT * FROM T ORDER BY Code", c, "SELECT * FROM T  WHERE Code = 'A' ORDER BY Code"},
      {"SELECT * FROM T WhErE X = 1", c, "SELECT * FROM T  WhErE X = 1 AND Code = 'A' "},
      // ORDER and BY apart by any white space; the condition goes in as given.
      {"SELECT * FROM T\nORDER\t\tBY Code", " A=1 ",
       "SELECT * FROM T\n WHERE  A=1  ORDER\t\tBY Code"},
      // A blank condition leaves the statement exactly as it was.
      {"SELECT *  FROM T ", "", "SELECT *  FROM T "},
      {"SELECT *  FROM T ", " \t ", "SELECT *  FROM T "},
  });
}

TEST(AddWhereCondition, FindsKeywordsOnlyAtTheTopLevel) {
  const std::string c = "Code = 'A'";
  ExpectMerges({
      // Longer names holding the letters of a keyword.
      {"SELECT ELSEWHERE, WHERE_X, BORDER_BY FROM T", c,
       "SELECT ELSEWHERE, WHERE_X, BORDER_BY FROM T WHERE Code = 'A' "},
      {"SELECT * FROM Somewhere ORDER BYX", c,
       "SELECT * FROM Somewhere ORDER BYX WHERE Code = 'A' "},
      // Literals and quoted names, with doubled delimiters inside.
      {"SELECT 'it''s WHERE' AS a, \"ORDER BY\" FROM [Where Order] ", c,
       "SELECT 'it''s WHERE' AS a, \"ORDER BY\" FROM [Where Order]  WHERE Code = 'A' "},
      {"SELECT * FROM [a]]where] WHERE X = 'ORDER BY'", c,
       "SELECT * FROM [a]]where]  WHERE X = 'ORDER BY' AND Code = 'A' "},
      // A sub-query's WHERE and a window's ORDER BY stay inside their parentheses.
      {"SELECT * FROM (SELECT * FROM U WHERE Y = 2 ORDER BY Y) AS s", c,
       "SELECT * FROM (SELECT * FROM U WHERE Y = 2 ORDER BY Y) AS s WHERE Code = 'A' "},
      {"SELECT * FROM T WHERE Id IN (SELECT Id FROM U WHERE Z = 1) ORDER BY Name", c,
       "SELECT * FROM T  WHERE Id IN (SELECT Id FROM U WHERE Z = 1)  AND Code = 'A' ORDER BY Name"},
      // Comments do not hold keywords.
      {"SELECT /* WHERE */ * FROM T -- ORDER BY\n", c,
       "SELECT /* WHERE */ * FROM T -- ORDER BY\n WHERE Code = 'A' "},
      // Unbalanced text does not throw or read past the end.
      {"SELECT 'open WHERE", c, "SELECT 'open WHERE WHERE Code = 'A' "},
      {"SELECT * FROM T) WHERE X", c, "SELECT * FROM T)  WHERE X AND Code = 'A' "},
      {"SELECT [open WHERE", c, "SELECT [open WHERE WHERE Code = 'A' "},
  });
}

// A merge means "existing AND new" whatever either holds: a top-level OR is
// bracketed, a trailing comment closed; other merges keep their text.
TEST(AddWhereCondition, MergedConditionsKeepTheirMeaning) {
  const std::string c2 = "Code = 'C2'";
  std::vector<Merge> merges = {
      {"SELECT * FROM T WHERE Active = 1 OR Vip = 1 ORDER BY Code", c2,
       "SELECT * FROM T  WHERE (Active = 1 OR Vip = 1)  AND Code = 'C2' ORDER BY Code"},
      {"SELECT * FROM T WHERE Code = 'C2'", "Active = 1 or Vip = 1",
       "SELECT * FROM T  WHERE Code = 'C2' AND (Active = 1 or Vip = 1) "},
      {"SELECT * FROM T", "Active = 1 OR Vip = 1", "SELECT * FROM T WHERE Active = 1 OR Vip = 1 "},
      {"SELECT * FROM T WHERE Active = 1 -- active only", c2,
       "SELECT * FROM T  WHERE Active = 1 -- active only\n AND Code = 'C2' "},
      {"SELECT * FROM T ORDER BY Code", "Active = 1 -- note",
       "SELECT * FROM T  WHERE Active = 1 -- note\n ORDER BY Code"},
      {"SELECT * FROM T WHERE Vip = 1", "Active = 1 OR X = 2 -- note",
       "SELECT * FROM T  WHERE Vip = 1 AND (Active = 1 OR X = 2 -- note\n) "},
  };
  // An OR that is not at the top level, or only part of a word, changes nothing.
  for (const std::string plain :
       {"Id IN (SELECT Id FROM U WHERE A = 1 OR B = 2)", "Name = 'this OR that'", "ORDERS = 1",
        "Colour = [OR]", "Note = 1 /* OR */"}) {
    merges.push_back({"SELECT * FROM T WHERE " + plain, c2,
                      "SELECT * FROM T  WHERE " + plain + " AND Code = 'C2' "});
    merges.push_back(
        {"SELECT * FROM T WHERE X = 1", plain, "SELECT * FROM T  WHERE X = 1 AND " + plain + " "});
  }
  ExpectMerges(merges);

  // The merged statements return only rows that meet both conditions.
  auto db = Connection::OpenNew("sqlite::memory:");
  db->Execute(
      "CREATE TABLE T (Code TEXT PRIMARY KEY, Active INTEGER, Vip INTEGER);"
      "INSERT INTO T VALUES ('C1', 1, 0), ('C2', 0, 1), ('C3', 0, 0), ('C4', 1, 1)");
  auto codes = [&](const std::string& sql) {
    Recordset rs;
    rs.Open(sql, db);
    std::string out;
    for (; !rs.EOF(); rs.MoveNext())
      out += TextOf(rs["Code"].Value()) + " ";
    return out;
  };
  EXPECT_EQ(codes(AddWhereCondition("SELECT * FROM T WHERE Active = 1 OR Vip = 1", c2)), "C2 ");
  EXPECT_EQ(codes(AddWhereCondition("SELECT * FROM T WHERE Code <> 'C4'", "Active = 1 OR Vip = 1")),
            "C1 C2 ");
  EXPECT_EQ(codes(AddWhereCondition("SELECT * FROM T WHERE Active = 1 -- active", c2)), "");
  EXPECT_EQ(codes(AddWhereCondition("SELECT * FROM T ORDER BY Code DESC", "Vip = 1 -- vip")),
            "C4 C2 ");
}

using FieldTypeCategoryTest = test::HostedTest;

// Every ADO type code maps to its category (also when the type is read as a
// 16-bit integer); a type that cannot be read is reported and gives "other".
TEST_F(FieldTypeCategoryTest, MapsTheTypeTableAndReportsAnUnreadableType) {
  const std::map<std::int32_t, std::int32_t> table = {
      {adSmallInt, 2},         {adInteger, 2},     {adSingle, 2},   {adDouble, 2},
      {adCurrency, 2},         {adDecimal, 2},     {adTinyInt, 2},  {adUnsignedTinyInt, 2},
      {adUnsignedSmallInt, 2}, {adUnsignedInt, 2}, {adBigInt, 2},   {adUnsignedBigInt, 2},
      {adNumeric, 2},          {adDate, 3},        {adDBDate, 3},   {adDBTime, 3},
      {adDBTimeStamp, 3},      {adBSTR, 1},        {adChar, 1},     {adWChar, 1},
      {adVarChar, 1},          {adLongVarChar, 1}, {adVarWChar, 1}, {adLongVarWChar, 1},
      {adBoolean, 4}};
  for (std::int32_t type = -1; type <= 300; ++type) {
    const auto it = table.find(type);
    Probe field({{"Type", Variant(type)}});
    EXPECT_EQ(FieldTypeCategory(field), it == table.end() ? 0 : it->second) << "type " << type;
  }
  Probe smallType({{"Type", Variant(std::int16_t(6))}});
  EXPECT_EQ(FieldTypeCategory(smallType), 2);
  EXPECT_TRUE(boxes.empty());

  const std::string error = "The following error occurred while searching: \r\n";
  Probe noType({{"Name", Variant("Code")}});
  EXPECT_EQ(FieldTypeCategory(noType), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt.rfind(error + "438 - ", 0), 0u) << boxes[0].prompt;
  EXPECT_EQ(boxes[0].buttons, 16);
  EXPECT_EQ(boxes[0].title, "Search Error");
  Probe failing({{"Type", std::nullopt}});
  EXPECT_EQ(FieldTypeCategory(failing), 0);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].prompt, error + "5 - cannot read Type");
  EXPECT_EQ(FieldTypeCategory(std::shared_ptr<Dispatch>()), 0);
  EXPECT_EQ(FieldTypeCategory(Variant(3)), 0);
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[2].prompt.rfind(error + "91 - ", 0), 0u);
}

}  // namespace
}  // namespace kiv
