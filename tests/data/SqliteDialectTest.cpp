// The TOP rewrite every driver applies, and the keyword scan beside it.

#include <gtest/gtest.h>

#include "kiv/data/SqlText.h"

namespace kiv {
namespace {

TEST(SqliteDialect, TopBecomesLimitAtTheEndOfTheOuterStatement) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"SELECT TOP 1 Code FROM T", "SELECT Code FROM T LIMIT 1"},
      {"select top 10 * from T where A = 'x' order by B DESC",
       "select * from T where A = 'x' order by B DESC LIMIT 10"},
      {"  SELECT TOP 5 a FROM T;  ", "  SELECT a FROM T LIMIT 5;  "},
      {"SELECT TOP 1 a FROM T -- trailing note", "SELECT a FROM T LIMIT 1 -- trailing note"},
      {"SELECT DISTINCT TOP 3 a FROM T", "SELECT DISTINCT a FROM T LIMIT 3"},
      {"SELECT TOP (2) a FROM T", "SELECT a FROM T LIMIT 2"},
      {"SELECT TOP 1 Code FROM T WHERE Name = 'it''s'",
       "SELECT Code FROM T WHERE Name = 'it''s' LIMIT 1"},
      {"SELECT TOP 1 a FROM (SELECT a FROM T ORDER BY a)",
       "SELECT a FROM (SELECT a FROM T ORDER BY a) LIMIT 1"},
      {"SELECT TOP 1 [Name] FROM [My Table]", "SELECT [Name] FROM [My Table] LIMIT 1"},
      // Left alone: no leading TOP of the outer SELECT.
      {"SELECT a FROM (SELECT TOP 1 a FROM T)", "SELECT a FROM (SELECT TOP 1 a FROM T)"},
      {"SELECT TOPIC FROM T", "SELECT TOPIC FROM T"},
      {"SELECT 'TOP 1' FROM T", "SELECT 'TOP 1' FROM T"},
      {"SELECT TOP 10 PERCENT a FROM T", "SELECT TOP 10 PERCENT a FROM T"},
      {"SELECT TOP x FROM T", "SELECT TOP x FROM T"},
      {"UPDATE T SET TOP = 1", "UPDATE T SET TOP = 1"},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RewriteTop(c.in), c.out) << c.in;
}

TEST(SqliteDialect, TopLevelKeywordsIgnoreQuotesNamesAndSubqueries) {
  EXPECT_TRUE(HasTopLevelKeyword("SELECT a FROM T GROUP BY a", "group"));
  EXPECT_FALSE(HasTopLevelKeyword("SELECT a FROM (SELECT a FROM T GROUP BY a)", "GROUP"));
  EXPECT_FALSE(HasTopLevelKeyword("SELECT 'union' FROM T", "UNION"));
  EXPECT_FALSE(HasTopLevelKeyword("SELECT [Group] FROM T", "GROUP"));
  EXPECT_FALSE(HasTopLevelKeyword("SELECT GroupName FROM T", "GROUP"));
  EXPECT_TRUE(HasTopLevelKeyword("SELECT a FROM T UNION SELECT b FROM U", "UNION"));
}

}  // namespace
}  // namespace kiv
