#include "description_grid/DescriptionGridFixture.h"
#include "kiv/description_grid/KivDesc.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/host/TextBox.h"

namespace kiv::test {
namespace {

class DescriptionTest : public DescriptionGridTest {
 protected:
  void SetUp() override {
    DescriptionGridTest::SetUp();
    uni = editor("uniCode", tocText, "Customers", "Code");
    desc = display("desName", uni, "Name");
  }

  std::shared_ptr<KivUni> editor(const char* name, std::int32_t type, const char* table,
                                 const char* codeField) {
    auto e = KivUni::Create();
    e->Name(name);
    e->Type_Of_LookUp(tolLookUp_Code);
    e->Type_Of_Control(type);
    e->Source_Table(table);
    e->Source_Code_Field(codeField);
    e->Source_Connection(db);
    form.Add(e);
    return e;
  }
  std::shared_ptr<KivDesc> display(const char* name, const std::shared_ptr<KivUni>& linked,
                                   const char* field) {
    auto d = KivDesc::Create();
    d->Name(name);
    form.Add(d);
    d->Linked_LookUp_Control(linked);
    d->Description_Field(field);
    d->events.Change.connect([this] { ++changes; });
    return d;
  }
  // The editor reports a value, as it does when the user leaves it.
  static void report(KivUni& e, std::string value, bool invalid = false) {
    e.events.DataChanged.raise(value, invalid);
  }

  std::shared_ptr<KivUni> uni;
  std::shared_ptr<KivDesc> desc;
  int changes = 0;
};

// The display follows its editor: a valid code shows its description (the
// table and code field taken from the editor through the setters), and
// invalid data, no matching row or a Null description clear it; a quote in a
// code is found, and a hostile code changes nothing.
TEST_F(DescriptionTest, FollowsTheEditorsCode) {
  host.clearTranscript();
  uni->Text("A7");
  EXPECT_EQ(desc->Text(), "Alpha Seven");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(desc->Description_Table(), "Customers");
  EXPECT_EQ(desc->Source_Code_Field(), "Code");
  const auto changed = propertyChanges();
  for (const char* name : {"desName.Description_Table", "desName.Source_Code_Field"})
    EXPECT_NE(std::find(changed.begin(), changed.end(), std::string("PropertyChanged ") + name),
              changed.end());

  uni->Text("ZZ");  // no such customer: the editor reports invalid data
  EXPECT_TRUE(uni->Invalid_Data());
  EXPECT_EQ(desc->Text(), "");
  EXPECT_EQ(changes, 2);

  uni->Text("N1");  // a Null description
  EXPECT_EQ(desc->Text(), "");
  EXPECT_EQ(changes, 2);  // the text did not change

  uni->Text("O'HARA");
  EXPECT_EQ(desc->Text(), "O'Hara Supplies");

  desc->Filter("Active = 1");
  uni->Text("X9");  // a valid code whose row the filter leaves out
  EXPECT_FALSE(uni->Invalid_Data());
  EXPECT_EQ(desc->Text(), "");

  // Spliced into the statement this code would match every row.
  report(*uni, "x' OR '1'='1");
  EXPECT_EQ(desc->Text(), "");
  report(*uni, "B2");
  EXPECT_EQ(desc->Text(), "Beta Two");
  EXPECT_TRUE(boxes.empty());
}

// Number, date and empty codes: a number is looked up in canonical form; a
// text that is no number, a date editor and an empty code clear the text
// without a query (a table that does not exist would fail any query).
TEST_F(DescriptionTest, NumberDateAndEmptyCodes) {
  auto number = editor("uniProduct", tocNumber, "Products", "Id");
  auto descr = display("desProduct", number, "Descr");
  number->Text("7");
  EXPECT_EQ(descr->Text(), "Seven");
  report(*number, "12.0");
  EXPECT_EQ(descr->Text(), "Twelve");
  number->BlankControl();  // a blanked number editor
  EXPECT_EQ(descr->Text(), "");

  descr->Description_Table("NoSuchTable");
  for (const char* code : {"", "abc", "7; DROP TABLE Products"}) {
    report(*number, code);
    EXPECT_EQ(descr->Text(), "") << code;
  }
  desc->Description_Table("NoSuchTable");
  report(*uni, "");
  EXPECT_EQ(desc->Text(), "");

  auto date = editor("uniDate", tocDate, "Customers", "Code");
  auto dated = display("desDate", date, "Name");
  dated->Text("stale");
  report(*date, "A7");
  EXPECT_EQ(dated->Text(), "");
  EXPECT_TRUE(boxes.empty());
}

// A failing lookup shows one box: four lines ending with the statement built
// so far and the display's name, critical icon, title "KivUni"; the text is
// cleared. An editor without connection, or with a closed one, clears
// silently.
TEST_F(DescriptionTest, FailuresAreReportedInOneBox) {
  desc->Filter("Active = 1");
  desc->Description_Field("NoSuchColumn");
  desc->Text("stale");
  report(*uni, "A7");
  EXPECT_EQ(desc->Text(), "");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "KivUni");
  EXPECT_EQ(boxes[0].buttons, vb::vbCritical | vb::vbOKOnly);
  const std::string& p = boxes[0].prompt;
  const std::string head =
      "The following occurred while fetching description data (funDescription_Text): \r\n" +
      std::to_string(err::ProviderError) + " - ";
  EXPECT_EQ(p.rfind(head, 0), 0u) << p;
  EXPECT_NE(p.find("no such column"), std::string::npos) << p;
  EXPECT_TRUE(
      p.ends_with("\r\nSQL: SELECT NoSuchColumn FROM Customers  WHERE Code = 'A7'  AND Active = 1 "
                  "\r\nControl: desName"))
      << p;

  // The editor names no code field, or no table: the library's own errors.
  auto bare = KivUni::Create();
  bare->Type_Of_LookUp(tolLookUp_Code);
  bare->Source_Connection(db);
  desc->Linked_LookUp_Control(bare);
  report(*bare, "A7");
  bare->Source_Code_Field("Code");
  report(*bare, "A7");
  ASSERT_EQ(boxes.size(), 3u);
  const std::string prefix =
      "The following occurred while fetching description data (funDescription_Text): \r\n" +
      std::to_string(kLibraryError) + " - ";
  EXPECT_EQ(boxes[1].prompt, prefix +
                                 "Reference source code field has not been set (or could not be "
                                 "determined).\r\nSQL: \r\nControl: desName");
  EXPECT_EQ(boxes[2].prompt, prefix +
                                 "Reference source table has not been set (or could not be "
                                 "determined).\r\nSQL: \r\nControl: desName");

  // No connection, or a closed one: cleared without a word.
  desc->Linked_LookUp_Control(uni);
  desc->Description_Field("Name");
  auto closed = Connection::OpenNew("sqlite::memory:");
  closed->Close();
  for (const auto& connection : {std::shared_ptr<Connection>(), closed}) {
    uni->Source_Connection(connection);
    desc->Text("stale");
    report(*uni, "A7");
    EXPECT_EQ(desc->Text(), "");
  }
  EXPECT_EQ(boxes.size(), 3u);
}

// A new link replaces the old subscription and clears the five properties
// through their setters, in order; a display that goes away first leaves
// its editor safe to use.
TEST_F(DescriptionTest, NewLinkClearsAndReplacesTheSubscription) {
  desc->Description_Table("Customers");
  desc->Source_Code_Field("Code");
  desc->Filter("Active = 1");
  uni->Text("A7");
  ASSERT_EQ(desc->Text(), "Alpha Seven");

  auto other = editor("uniOther", tocText, "Customers", "Code");
  host.clearTranscript();
  desc->Linked_LookUp_Control(other);
  EXPECT_EQ(propertyChanges(), (std::vector<std::string>{
                                   "PropertyChanged desName.Linked_LookUp_Control",
                                   "PropertyChanged desName.Description_Field",
                                   "PropertyChanged desName.Description_Table",
                                   "PropertyChanged desName.Source_Code_Field",
                                   "PropertyChanged desName.Filter",
                                   "PropertyChanged desName.Text",
                               }));
  EXPECT_EQ(desc->Description_Field(), "");
  EXPECT_EQ(desc->Description_Table(), "");
  EXPECT_EQ(desc->Source_Code_Field(), "");
  EXPECT_EQ(desc->Filter(), "");
  EXPECT_EQ(desc->Text(), "");
  EXPECT_EQ(desc->Linked_LookUp_Control(), other);

  desc->Description_Field("Name");
  uni->Text("B2");  // the old editor no longer drives the display
  EXPECT_EQ(desc->Text(), "");
  other->Text("B2");
  EXPECT_EQ(desc->Text(), "Beta Two");

  // Late-bound: only a field editor can be linked.
  EXPECT_THROW(desc->set("Linked_LookUp_Control", Variant(std::make_shared<TextBox>("t"))), Error);
  desc->set("Linked_LookUp_Control", Variant::Nothing());
  EXPECT_EQ(desc->Linked_LookUp_Control(), nullptr);

  {
    auto shortLived = KivDesc::Create();
    shortLived->Linked_LookUp_Control(other);
  }
  other->Text("A7");  // the display that went away is not called back
  EXPECT_EQ(other->Text(), "A7");
}

// The text box's events are raised as the display's own, by reference: a
// KeyAscii set to 0 swallows the key.
TEST_F(DescriptionTest, EventsOfTheTextBoxFlowBothWays) {
  std::vector<std::string> log;
  LogInputEvents(desc->events, log);
  desc->events.KeyPress.connect([](std::int16_t& a) {
    if (a == 'x') a = 0;
  });
  desc->Field_Locked(false);
  desc->txtText1().type("axb");
  EXPECT_EQ(desc->Text(), "ab");
  EXPECT_EQ(changes, 2);
  desc->txtText1().click();
  desc->txtText1().dblClick();
  EXPECT_EQ(log, (std::vector<std::string>{"KeyDown 65", "KeyPress 97", "KeyUp 65", "KeyDown 88",
                                           "KeyPress 120", "KeyUp 88", "KeyDown 66", "KeyPress 98",
                                           "KeyUp 66", "MouseDown 1", "MouseUp", "Click",
                                           "MouseDown 1", "MouseUp", "Click", "DblClick"}))
      << ::testing::PrintToString(log);
}

// A new display is 1800 x 285 twips, never lower than 285 nor narrower than
// 150, its text box fills it; the default size comes from the flag it
// shares with the field editors.
TEST_F(DescriptionTest, SizeAndTheSharedDefaultSizeFlag) {
  EXPECT_EQ(desc->Width(), 1800);
  EXPECT_EQ(desc->Height(), 285);
  EXPECT_FALSE(DefaultSizeFlag::IsSet());
  desc->Move(10, 20, 60, 100);
  EXPECT_EQ(desc->Width(), 150);
  EXPECT_EQ(desc->Height(), 285);
  desc->Move(10, 20, 3000, 400);
  const TextBox& t = desc->txtText1();
  EXPECT_EQ(t.Left(), 0);
  EXPECT_EQ(t.Top(), 0);
  EXPECT_EQ(t.Width(), 3000);
  EXPECT_EQ(t.Height(), 400);

  // An editor just placed sets the flag; the next display to resize takes it.
  auto editorJustPlaced = std::make_shared<KivUni>();
  editorJustPlaced->InitProperties();
  EXPECT_TRUE(DefaultSizeFlag::IsSet());
  auto loaded = std::make_shared<KivDesc>();
  RecordingBag empty;
  loaded->ReadProperties(empty);
  loaded->Move(0, 0, 5000, 500);
  EXPECT_EQ(loaded->Width(), 1800);
  EXPECT_EQ(loaded->Height(), 285);
  EXPECT_FALSE(DefaultSizeFlag::IsSet());
}

// Persistence: the names in order with their defaults, nothing for a new
// display, values read without notifications, appearance applied after the
// read; the link is not stored.
TEST_F(DescriptionTest, PersistenceRoundTrip) {
  EXPECT_TRUE(desc->txtText1().Locked());
  EXPECT_EQ(desc->txtText1().BackColor(), static_cast<std::int32_t>(0x8000000F));
  RecordingBag fresh;
  auto brandNew = KivDesc::Create();
  brandNew->WriteProperties(fresh);
  EXPECT_TRUE(fresh.values.empty());
  const std::vector<std::string> order = {
      "Field_Colour", "Field_Locked", "Source_Code_Field", "Description_Field", "Description_Table",
      "Filter",       "Text"};
  EXPECT_EQ(fresh.writes, order);
  EXPECT_EQ(fresh.defaults["Field_Colour"], Variant(static_cast<std::int32_t>(0x8000000F)));
  EXPECT_EQ(fresh.defaults["Field_Locked"], Variant(true));

  desc->Field_Colour(255);
  desc->Field_Locked(false);
  desc->Source_Code_Field("Code");
  desc->Description_Table("Customers");
  desc->Filter("Active = 1");
  desc->Text("Alpha Seven");
  RecordingBag bag;
  desc->WriteProperties(bag);
  EXPECT_EQ(bag.values.size(), 7u);
  EXPECT_EQ(bag.values.count("Linked_LookUp_Control"), 0u);

  auto restored = std::make_shared<KivDesc>();
  restored->Name("desRestored");
  host.clearTranscript();
  restored->ReadProperties(bag);
  EXPECT_EQ(bag.reads, order);
  EXPECT_TRUE(propertyChanges().empty());
  RecordingBag again;
  restored->WriteProperties(again);
  EXPECT_EQ(again.values, bag.values);
  EXPECT_EQ(restored->txtText1().BackColor(), 255);
  EXPECT_FALSE(restored->txtText1().Locked());
  EXPECT_EQ(restored->Linked_LookUp_Control(), nullptr);
}

}  // namespace
}  // namespace kiv::test
