#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/JsonPropertyBag.h"
#include "support/ObjectRegistry.h"

namespace kiv {
namespace {

using nlohmann::ordered_json;

class Thing : public Dispatch {
 public:
  explicit Thing(std::string type) : type_(std::move(type)) {}
  std::string_view TypeName() const override { return type_; }
  const MemberTable& memberTable() const override {
    static const MemberTable table;
    return table;
  }

 private:
  std::string type_;
};

// The description of the error a call raises, checking its number and source.
template <class F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kLibraryError);
    EXPECT_EQ(e.source(), "PropertyBag");
    return e.description();
  }
  ADD_FAILURE() << "no error raised";
  return {};
}

Variant RoundTrip(const Variant& v, ObjectResolver* resolver = nullptr) {
  JsonPropertyBag out("ctl", resolver);
  out.WriteProperty("P", v, Variant(std::string("default that differs")));
  JsonPropertyBag in = JsonPropertyBag::Parse("ctl", out.dump(), resolver);
  return in.ReadVariantProperty("P", Variant());
}

TEST(JsonPropertyBag, EverySubtypeRoundTripsExactly) {
  test::ObjectRegistry registry;
  auto search = std::make_shared<Thing>("KivSearch");
  registry.objects[{"control", "ctlSearch"}] = search;

  Array twoD(1, 2, 0, 1);
  twoD.at(1, 0) = Variant("Code");
  twoD.at(1, 1) = Variant("Customer code");
  twoD.at(2, 0) = Variant(std::int16_t(7));
  twoD.at(2, 1) = Variant(kNull);
  Array shifted(5, 7);
  shifted.at(5) = Variant(Array::Of({Variant(1), Variant()}));  // an array in an array
  shifted.at(6) = Variant(search);
  shifted.at(7) = Variant::Nothing();

  const std::vector<Variant> values = {
      Variant(),
      Variant(kNull),
      Variant(std::int16_t(-32768)),
      Variant(std::numeric_limits<std::int32_t>::min()),
      Variant(3.0),  // an integral Double stays a Double
      Variant(0.1),
      Variant(-1e300),
      Variant(std::numeric_limits<double>::infinity()),
      Variant(Currency{123400}),
      Variant(Currency{std::numeric_limits<std::int64_t>::min()}),
      Variant(Currency{std::numeric_limits<std::int64_t>::max()}),
      Variant(DateTime{38046.0}),                      // 2004-02-29
      Variant(DateTime{38046.0 + 47100.0 / 86400.0}),  // 13:05:00
      Variant(DateTime{38046.123456789}),              // not a whole second
      Variant(DateTime{-1.25}),                        // before the epoch, time 06:00
      Variant(DateTime{0.0}),
      Variant(""),
      Variant("O'Brien \"quoted\" ünïcode"),
      Variant(true),
      Variant::Nothing(),
      Variant(search),
      Variant(Array()),  // empty, lower bound 0
      Variant(Array::Of({Variant("a"), Variant(2), Variant(2.5)})),
      Variant(twoD),
      Variant(shifted),
      Variant(Bytes{}),
      Variant(Bytes{0, 1, 2, 255}),
      Variant(Bytes{0xfb, 0xff}),
  };
  for (const Variant& v : values) {
    SCOPED_TRACE(v.typeName());
    Variant back = RoundTrip(v, &registry);
    EXPECT_EQ(back.type(), v.type());
    EXPECT_TRUE(back == v);
  }
  Variant nan = RoundTrip(Variant(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_TRUE(std::isnan(nan.dbl()));
}

TEST(JsonPropertyBag, WritesNaturalJsonAndOmitsDefaults) {
  test::ObjectRegistry registry;
  registry.objects[{"connection", "main"}] = std::make_shared<Thing>("Connection");
  JsonPropertyBag bag("ctlUni1", &registry);
  bag.WriteProperty("Text", Variant("abc"), Variant(""));
  bag.WriteProperty("Locked", Variant(true), Variant(false));
  bag.WriteProperty("MaxLength", Variant(10), Variant(0));
  bag.WriteProperty("Ratio", Variant(2.5), Variant(0.0));
  bag.WriteProperty("Filter", Variant(""), Variant(""));  // equal to default
  bag.WriteProperty("Search_Control", Variant::Nothing(), Variant::Nothing());
  bag.WriteProperty("FriendlyNames", Variant(std::int16_t(0)), Variant(std::int16_t(0)));
  bag.WriteProperty("Source_Connection", registry.objects.begin()->second, Variant::Nothing());
  bag.WriteProperty("Amount", Variant(Currency{123400}), Variant(Currency{}));
  bag.WriteProperty("When", Variant(DateTime{38046.0 + 47100.0 / 86400.0}), Variant(DateTime{}));
  EXPECT_EQ(bag.json(), ordered_json::parse(R"({"Text": "abc", "Locked": true, "MaxLength": 10,
      "Ratio": 2.5, "Source_Connection": {"$connection": "main"},
      "Amount": {"$currency": "12.3400"}, "When": {"$date": "2004-02-29T13:05:00"}})"));

  // Writing the default again removes a stored value; reading gives the default.
  bag.WriteProperty("TEXT", Variant(""), Variant(""));
  EXPECT_FALSE(bag.contains("Text"));
  EXPECT_EQ(bag.ReadProperty("Text", Variant("dflt")), Variant("dflt"));
  // A different subtype is not the default: the Integer 0 is kept against a Long 0 default.
  bag.WriteProperty("Count", Variant(std::int16_t(0)), Variant(0));
  EXPECT_EQ(bag.json()["Count"], ordered_json::parse(R"({"$integer": 0})"));
  // Names match without regard to case; a rewrite takes the writer's spelling.
  bag.WriteProperty("locked", Variant(false), Variant(true));
  EXPECT_EQ(bag.ReadProperty("LOCKED", Variant(true)), Variant(false));
  EXPECT_TRUE(bag.json().contains("locked"));
  EXPECT_FALSE(bag.json().contains("Locked"));
}

TEST(JsonPropertyBag, ReadsHandWrittenValues) {
  auto bag = JsonPropertyBag::Parse("ctlForm", R"({
      "CursorType": 2, "Big": 4294967296, "Half": 0.5, "Names": ["Code", "Name"],
      "Day": {"$date": "2024-02-29"}, "Cash": {"$currency": 5}, "Small": {"$long": 7},
      "SecurityLevel": 2})");
  EXPECT_EQ(bag.ReadProperty("CursorType", Variant(3)), Variant(2));
  EXPECT_EQ(bag.ReadProperty("Big", Variant(0)).type(), VarType::Double);
  EXPECT_EQ(bag.ReadProperty("Half", Variant(0)), Variant(0.5));
  const Variant names = bag.ReadProperty("Names", Variant(std::int16_t(0)));
  ASSERT_TRUE(names.isArray());
  EXPECT_EQ(names.array().lbound(), 0);
  EXPECT_EQ(names.array().at(1), Variant("Name"));
  EXPECT_EQ(bag.ReadProperty("Day", Variant(DateTime{})), Variant(DateTime{45351.0}));
  EXPECT_EQ(bag.ReadProperty("Cash", Variant(Currency{})), Variant(Currency{50000}));
  EXPECT_EQ(bag.ReadProperty("Small", Variant(0)), Variant(7));
  // A number read back against a text default comes back as stored; the caller converts.
  EXPECT_EQ(bag.ReadProperty("SecurityLevel", Variant("0")), Variant(2));
}

TEST(JsonPropertyBag, ValuesOfTheWrongKindNameControlAndProperty) {
  test::ObjectRegistry registry;
  registry.objects[{"control", "ctlSearch"}] = std::make_shared<Thing>("KivSearch");
  auto bag = JsonPropertyBag::Parse("ctlUni1", R"({
      "MaxLength": "abc", "Text": {"$control": "ctlSearch"}, "Locked": "maybe",
      "Search_Control": "ctlSearch", "Required_Field": [1], "When": "someday",
      "Number": "12.5", "Flag": "true", "FriendlyNames": [["a"]], "Caption": "Orders",
      "Anything": {"$null": true}, "Bad": {"$integer": 70000}, "Two": {"$null": true, "$empty": true},
      "Plain": {"a": 1}, "Tag": {"$date": "2023-02-29"}, "Money": {"$currency": "1.23456"},
      "Raw": {"$bytes": "abc"}, "Grid": {"$array": {"bounds": [[0, 2]], "items": [1]}},
      "Lost": {"$control": "ctlGone"}, "Num": {"$connection": 5}})",
                                    &registry);
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("MaxLength", Variant(0)); }),
            "ctlUni1, property 'MaxLength': expected a number, found the text \"abc\"");
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("Text", Variant("")); }),
            "ctlUni1, property 'Text': expected a text, found an object reference");
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("Locked", Variant(false)); }),
            "ctlUni1, property 'Locked': expected true or false, found the text \"maybe\"");
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("Search_Control", Variant::Nothing()); }),
            "ctlUni1, property 'Search_Control': expected an object reference or null, found the "
            "text \"ctlSearch\"");
  EXPECT_NE(ErrorOf([&] { bag.ReadProperty("Required_Field", Variant(false)); }), "");
  EXPECT_NE(ErrorOf([&] { bag.ReadProperty("When", Variant(DateTime{})); }), "");
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("Lost", Variant::Nothing()); }),
            "ctlUni1, property 'Lost': refers to control 'ctlGone', which is not known");
  EXPECT_EQ(ErrorOf([&] { bag.ReadProperty("Bad", Variant()); }),
            "ctlUni1, property 'Bad': malformed value {\"$integer\":70000}: $integer takes a "
            "whole number from -32768 to 32767");
  for (const char* name : {"Two", "Plain", "Tag", "Money", "Raw", "Grid", "Num"}) {
    SCOPED_TRACE(name);
    EXPECT_NE(ErrorOf([&] { bag.ReadProperty(name, Variant()); }).find("malformed value"),
              std::string::npos);
  }
  // What converts is accepted and returned as stored.
  EXPECT_EQ(bag.ReadProperty("Number", Variant(0)), Variant("12.5"));
  EXPECT_EQ(bag.ReadProperty("Flag", Variant(false)), Variant("true"));
  EXPECT_TRUE(bag.ReadProperty("FriendlyNames", Variant(std::int16_t(0))).isArray());
  EXPECT_TRUE(bag.ReadProperty("FriendlyNames", Variant("")).isArray());
  EXPECT_EQ(bag.ReadProperty("Caption", Variant(std::int16_t(0))), Variant("Orders"));
  EXPECT_TRUE(bag.ReadProperty("Anything", Variant()).isNull());
  // ReadVariantProperty takes whatever is stored.
  EXPECT_EQ(bag.ReadVariantProperty("MaxLength", Variant(0)), Variant("abc"));

  // Reading references without a resolver, or writing an object nobody can name.
  JsonPropertyBag plain = JsonPropertyBag::Parse("ctlDesc1", R"({"Link": {"$control": "x"}})");
  EXPECT_EQ(ErrorOf([&] { plain.ReadProperty("Link", Variant::Nothing()); }),
            "ctlDesc1, property 'Link': refers to control 'x', but objects cannot be read here");
  JsonPropertyBag out("ctlForm", &registry);
  out.WriteProperty("Keep", Variant("kept"), Variant(""));
  EXPECT_EQ(ErrorOf([&] {
              out.WriteProperty("Form_Recordset", std::make_shared<Thing>("Recordset"),
                                Variant::Nothing());
            }),
            "ctlForm, property 'Form_Recordset': cannot store a Recordset object: the form has "
            "no name for it");
  EXPECT_NE(ErrorOf([&] { out.WriteProperty("Keep", Variant(std::string("\xff")), Variant("")); }),
            "");
  EXPECT_EQ(out.json(), ordered_json::parse(R"({"Keep": "kept"})"));
}

TEST(JsonPropertyBag, UnreadNamesAndMalformedText) {
  auto bag = JsonPropertyBag::Parse("ctlUni1", R"({"Text": "a", "MaxLenght": 5, "Filter": ""})");
  bag.ReadProperty("text", Variant(""));
  bag.ReadProperty("Filter", Variant(""));
  bag.ReadProperty("Locked", Variant(false));  // not stored: not listed
  EXPECT_EQ(bag.unreadNames(), std::vector<std::string>{"MaxLenght"});

  EXPECT_NE(ErrorOf([] {
              JsonPropertyBag::Parse("ctlUni1", "{\"Text\": ", nullptr, "orders.json");
            }).rfind("orders.json: ctlUni1: the property bag is not valid JSON: ", 0),
            std::string::npos);
  EXPECT_EQ(ErrorOf([] { JsonPropertyBag::Parse("ctlUni1", "[1]"); }),
            "ctlUni1: the property bag must be a JSON object, not array");
  EXPECT_EQ(ErrorOf([] { JsonPropertyBag::Parse("ctlUni1", R"({"Text": "a", "TEXT": "b"})"); }),
            "ctlUni1, property 'TEXT': is stored more than once (names do not depend on case)");
  // Arrays nested past any sensible depth are refused, not followed without end.
  std::string deep(200, '[');
  deep += std::string(200, ']');
  auto nested = JsonPropertyBag::Parse("ctl", "{\"P\": " + deep + "}");
  EXPECT_NE(ErrorOf([&] { nested.ReadProperty("P", Variant()); }).find("too deeply"),
            std::string::npos);
}

}  // namespace
}  // namespace kiv
