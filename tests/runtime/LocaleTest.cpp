#include "kiv/runtime/Locale.h"

#include <gtest/gtest.h>

#include <thread>

#include "kiv/runtime/Conversions.h"

namespace kiv {
namespace {

TEST(LocaleTest, LookupCurrentAndScopes) {
  EXPECT_EQ(Locale::ByName("en-US"), &Locale::Invariant());
  EXPECT_EQ(Locale::ByName("EN_gb"), &Locale::EnglishUK());
  EXPECT_EQ(Locale::ByName("de-DE"), &Locale::German());
  EXPECT_EQ(Locale::ByName("fr-FR"), nullptr);
  EXPECT_EQ(Locale::Current().name, "en-US");
  {
    LocaleScope outer(Locale::German());
    EXPECT_EQ(Locale::Current().name, "de-DE");
    {
      LocaleScope inner(Locale::EnglishUK());
      EXPECT_EQ(CStr(Variant(DateSerial(2026, 12, 6))), "06/12/2026");
    }
    EXPECT_EQ(CStr(Variant(1.5)), "1,5");
    // Another thread keeps its own current locale.
    std::string other;
    std::thread([&] { other = CStr(Variant(1.5)); }).join();
    EXPECT_EQ(other, "1.5");
  }
  EXPECT_EQ(Locale::Current().name, "en-US");

  // A host may build its own locale from one of ours.
  Locale custom = Locale::German();
  custom.name = "de-CH";
  custom.thousandsSeparator = '\'';
  custom.decimalSeparator = '.';
  LocaleScope scope(custom);
  EXPECT_EQ(CDbl(Variant("1'234.5")), 1234.5);
  EXPECT_EQ(Format(Variant(1234.5), "#,##0.00"), "1'234.50");
  custom.name = "changed after";  // the current locale is a copy
  EXPECT_EQ(Locale::Current().name, "de-CH");
}

}  // namespace
}  // namespace kiv
