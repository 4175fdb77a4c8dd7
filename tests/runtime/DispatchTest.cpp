#include "kiv/runtime/Dispatch.h"

#include <gtest/gtest.h>

#include "kiv/runtime/Error.h"
#include "kiv/runtime/Event.h"
#include "support/ErrorChecks.h"

namespace kiv {
namespace {

class Counter : public Dispatch {
 public:
  std::string_view TypeName() const override { return "Counter"; }
  const MemberTable& memberTable() const override {
    static const MemberTable table =
        MemberTable::Builder<Counter>()
            .property(
                "Value", [](Counter& c) { return Variant(c.value); },
                [](Counter& c, const Variant& v) { c.value = v.lng(); })
            .method("Bump",
                    [](Counter& c, std::vector<Variant>& args) {
                      c.value += 1;
                      if (!args.empty()) args[0] = Variant(c.value);  // by-reference argument
                      return Variant(c.value);
                    })
            .build();
    return table;
  }
  std::int32_t value = 0;
};

TEST(Dispatch, MembersAreFoundWithoutRegardToCaseAndMissingOnesRaise438) {
  auto c = std::make_shared<Counter>();
  c->let("VALUE", Variant(41));
  EXPECT_EQ(c->get("value"), Variant(42 - 1));
  std::vector<Variant> args{Variant()};
  EXPECT_EQ(c->call("bump", args), Variant(42));
  EXPECT_EQ(args[0], Variant(42));
  const Error missing = CaughtError([&] { c->get("Data_Field"); });
  EXPECT_EQ(missing.number(), 438);
  EXPECT_NE(missing.description().find("Data_Field"), std::string::npos);
  // A value property cannot be Set with an object, nor a method read.
  EXPECT_THROW(c->set("Value", Variant::Nothing()), Error);
  EXPECT_THROW(c->get("Bump"), Error);
}

TEST(Event, HandlersSeeAndChangeByReferenceArguments) {
  Event<bool, std::int16_t> ev;
  std::vector<int> order;
  ev.connect([&](bool& cancel, std::int16_t& key) {
    order.push_back(1);
    cancel = true;
    key = 0;
  });
  const auto second = ev.connect([&](bool& cancel, std::int16_t&) {
    order.push_back(2);
    EXPECT_TRUE(cancel);  // later handlers see earlier changes
  });
  bool cancel = false;
  std::int16_t key = 70;
  ev.raise(cancel, key);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(key, 0);
  ev.disconnect(second);
  ev.raise(cancel, key);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 1}));
}

TEST(Variant, ArraysCopyOnWriteAndCheckTheirBounds) {
  Array names(0, 1, 0, 1);
  names.at(1, 0) = Variant("CustCode");
  Variant a(names);
  Variant b = a;
  b.mutableArray().at(1, 0) = Variant("Other");
  EXPECT_EQ(a.array().at(1, 0), Variant("CustCode"));
  EXPECT_EQ(b.array().ubound(1), 1);
  EXPECT_THROW(a.array().at(2, 0), Error);
  EXPECT_THROW(a.array().at(0), Error);  // wrong number of indexes
  EXPECT_THROW(Variant(5).string(), Error);
}

}  // namespace
}  // namespace kiv
