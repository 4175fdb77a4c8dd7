// The search launcher: a view onto the thread's one search dialog.

#include "kiv/runtime/JsonPropertyBag.h"
#include "search/SearchFixture.h"
#include "support/ObjectRegistry.h"

namespace kiv::test {
namespace {

TEST_F(SearchTest, LaunchersShareTheDialogsStateAcrossUnloading) {
  auto second = KivSearch::Create();
  second->Name("ctlSearch2");
  form.Add(second);
  host.clearTranscript();
  launcher->Return_Fields("Code,Name");
  const Variant names = FriendlyNameTable({{"Code", "Customer code"}});
  launcher->FriendlyNames(names);
  launcher->Return_Value(Variant(std::int32_t{7}));
  auto rs = open();
  launcher->Search_RecordSource(rs);
  EXPECT_EQ(
      host.lines("PropertyChanged"),
      (std::vector<std::string>{
          "PropertyChanged ctlSearch.Return_Fields", "PropertyChanged ctlSearch.FriendlyNames",
          "PropertyChanged ctlSearch.Return_Value", "PropertyChanged ctlSearch.Search_Recordset"}));
  // The other launcher, by member name as the callers reach it, sees the same.
  EXPECT_EQ(second->get("Return_Fields"), Variant("Code,Name"));
  EXPECT_EQ(second->get("FriendlyNames"), names);
  EXPECT_EQ(second->get("Return_Value"), Variant(std::int32_t{7}));
  EXPECT_EQ(ObjectAs<Recordset>(second->get("Search_RecordSource")), rs);
  EXPECT_THROW(second->set("Search_RecordSource", Variant(std::shared_ptr<Dispatch>(second))),
               Error);

  // Shown through the second launcher and accepted: the values survive the
  // unloading, except the record source, which is released with the grid's hold.
  second->set("Search_RecordSource", Variant(open()));
  std::weak_ptr<Recordset> weak = second->Search_RecordSource();
  rs.reset();
  host.pushModalDriver([](Form& f) {
    EXPECT_EQ(static_cast<frmSearch&>(f).cmbField().List(0), "Customer code");
    static_cast<frmSearch&>(f).cmdOK().click();
  });
  second->call("ShowSearch", {Variant(std::int16_t{1}), Variant(second)});
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(launcher->get("Search_RecordSource").isNothing());
  EXPECT_EQ(launcher->Return_Value(), Variant(Array::Of({Variant("C1"), Variant("Smith")})));
  EXPECT_EQ(launcher->Return_Fields(), "Code,Name");
  EXPECT_EQ(launcher->FriendlyNames(), names);

  // The launcher keeps its fixed size.
  second->Move(0, 0, 2000, 100);
  EXPECT_EQ(second->Width(), 510);
  EXPECT_EQ(second->Height(), 480);

  // Modeless: the call returns at once with the dialog open.
  launcher->Search_RecordSource(open());
  launcher->ShowSearch(0, Variant());
  EXPECT_TRUE(frmSearch::Instance().Visible());
  EXPECT_FALSE(frmSearch::Instance().IsModal());
}

TEST_F(SearchTest, LauncherPersistsTheDialogsValuesInOrder) {
  launcher->Return_Fields("Code");
  launcher->FriendlyNames(Variant("none"));
  launcher->Return_Value(Variant(""));
  JsonPropertyBag bag("ctlSearch");
  launcher->WriteProperties(bag);
  EXPECT_EQ(bag.dump(-1), R"({"Return_Fields":"Code","FriendlyNames":"none"})");

  // Reading writes straight into the dialog (which the launcher writes from),
  // without notifications.
  auto rs = open();
  ObjectRegistry resolver;
  resolver.add("recordset", "rs", rs);
  auto stored =
      JsonPropertyBag::Parse("ctlSearch",
                             R"({"Return_Value": ["A"], "Search_RecordSource": {"$recordset": "rs"},
          "Return_Fields": "Name", "FriendlyNames": {"$empty": true}})",
                             &resolver);
  host.clearTranscript();
  launcher->ReadProperties(stored);
  EXPECT_TRUE(host.lines("PropertyChanged").empty());
  JsonPropertyBag out("ctlSearch", &resolver);
  launcher->WriteProperties(out);
  EXPECT_EQ(out.dump(-1), R"({"Return_Value":["A"],"Search_RecordSource":{"$recordset":"rs"},)"
                          R"("Return_Fields":"Name","FriendlyNames":{"$empty":true}})");
  // Defaults for a bag without entries.
  frmSearch& dialog = frmSearch::Instance();
  JsonPropertyBag empty("ctlSearch");
  launcher->ReadProperties(empty);
  EXPECT_EQ(dialog.varReturn_Value, Variant(""));
  EXPECT_EQ(dialog.arsSearch_RecordSource, nullptr);
  EXPECT_EQ(dialog.m_FriendlyNames, Variant(""));
}

}  // namespace
}  // namespace kiv::test
