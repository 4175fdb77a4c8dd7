// The field editor as a user and a form controller meet it: display kinds,
// state colours, check-box text, refused writes, persistence, validation,
// the lost-focus sequence, Ctrl+F and the layout.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "FieldEditorFixture.h"
#include "kiv/host/DataFormat.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/JsonPropertyBag.h"
#include "support/ErrorChecks.h"
#include "support/ObjectRegistry.h"

namespace kiv::test {
namespace {

constexpr std::int32_t kReadOnly = KivUni::kDefaultReadOnlyColour;
constexpr std::int32_t kRequired = KivUni::kDefaultRequiredColour;
constexpr std::int32_t kNormal = KivUni::kDefaultNormalColour;
constexpr std::int32_t kError = KivUni::kDefaultErrorColour;

struct Shown {
  bool text, button, check;
  bool operator==(const Shown&) const = default;
};

Shown shown(const KivUni& u) {
  return {u.txtText1().Visible(), u.cmdFunction().Visible(), u.chkCheck1().Visible()};
}

TEST_F(FieldEditorTest, DisplayKindAndWidgetsFollowTheType) {
  // A new editor is a plain text box (its initial values are the defaults it
  // leaves out of a property bag).
  EXPECT_EQ(shown(*uni), (Shown{true, false, false}));
  EXPECT_EQ(uni->txtText1().BackColor(), kNormal);

  // A check box whatever its lookup; a type outside the enumeration is kept
  // and shown as a text type.
  const std::tuple<std::int32_t, std::int32_t, Shown> kinds[] = {
      {tocDate, tolNo_LookUp, {true, true, false}},
      {tocNumber, tolNo_LookUp, {true, false, false}},
      {tocNumber, tolLookUp_Code, {true, true, false}},
      {tocCheck, tolLookUp_Code, {false, false, true}},
      {7, tolLookUp_Code, {true, true, false}},
      {7, 5, {true, false, false}},
  };
  for (const auto& [type, lookUp, widgets] : kinds) {
    uni->Type_Of_Control(type);
    uni->Type_Of_LookUp(lookUp);
    EXPECT_EQ(shown(*uni), widgets) << type << " " << lookUp;
  }
  EXPECT_EQ(uni->Type_Of_Control(), 7);

  // Late-bound, as the controller and the form loader reach it.
  uni->let("type_of_control", Variant(std::int32_t{tocDate}));
  EXPECT_EQ(uni->get("Type_Of_Control"), Variant(std::int32_t{tocDate}));
  uni->let("Text", Variant("abc"));
  EXPECT_EQ(uni->get("text"), Variant("abc"));
  uni->call("BlankControl");
  EXPECT_EQ(uni->Text(), "");
  EXPECT_THROW(uni->get("NoSuchMember"), Error);
}

TEST_F(FieldEditorTest, StateColourPrecedenceAndPrimaryKeyProtection) {
  uni->Type_Of_Control(tocDate);
  TextBox& t = uni->txtText1();
  // Locked and Read_Only beat Required; a primary key can be typed only while
  // a record is being added.
  struct State {
    bool locked, readOnly, required, primaryKey, addNew;
    std::int32_t colour;
  };
  const State states[] = {
      {false, false, false, false, false, kNormal}, {false, false, true, false, false, kRequired},
      {true, false, true, false, false, kReadOnly}, {false, true, true, false, false, kReadOnly},
      {false, false, true, true, false, kReadOnly}, {false, false, true, true, true, kRequired},
      {false, false, false, true, true, kNormal},   {true, false, false, true, true, kReadOnly},
  };
  for (const State& s : states) {
    uni->Locked(s.locked);
    uni->Read_Only(s.readOnly);
    uni->Required_Field(s.required);
    uni->Primary_Key_Field(s.primaryKey);
    uni->AddNew_Mode(s.addNew);
    const bool editable = s.colour != kReadOnly;
    SCOPED_TRACE(::testing::Message()
                 << s.locked << s.readOnly << s.required << s.primaryKey << s.addNew);
    EXPECT_EQ(t.BackColor(), s.colour);
    EXPECT_EQ(t.Locked(), !editable);
    EXPECT_EQ(uni->cmdFunction().Enabled(), editable);
    EXPECT_EQ(uni->chkCheck1().Enabled(), editable);
  }
  EXPECT_EQ(uni->chkCheck1().BackColor(), kReadOnly);
  uni->Locked(false);
  uni->Primary_Key_Field(false);

  // The error colour lasts until the next refresh; False restores the state colour.
  uni->Invalid_Data(true);
  EXPECT_EQ(t.BackColor(), kError);
  uni->Required_Field(true);
  EXPECT_EQ(t.BackColor(), kRequired);
  uni->Invalid_Data(true);
  uni->Invalid_Data(false);
  EXPECT_EQ(t.BackColor(), kRequired);

  // A new colour shows only at the next refresh.
  uni->Required_Field_Colour(0x00FF00);
  EXPECT_EQ(t.BackColor(), kRequired);
  uni->Locked(false);
  EXPECT_EQ(t.BackColor(), 0x00FF00);

  // Reading validity paints an invalid editor; a valid read leaves the colour.
  uni->Type_Of_Control(tocNumber);
  uni->Required_Field(false);
  uni->txtText1().Text("12a");
  EXPECT_TRUE(uni->Invalid_Data());
  EXPECT_EQ(t.BackColor(), kError);
  uni->Error_Field_Colour(0x0000AA);
  uni->txtText1().Text("12");
  uni->Normal_Field_Colour(0x123456);
  EXPECT_FALSE(uni->Invalid_Data());
  EXPECT_EQ(t.BackColor(), kError);
}

TEST_F(FieldEditorTest, CheckBoxTextRules) {
  uni->Type_Of_Control(tocCheck);
  CheckBox& box = uni->chkCheck1();
  const std::pair<const char*, bool> texts[] = {{"False", false}, {"n", false}, {" 0 ", false},
                                                {"FALSE", false}, {"N", false}, {"True", true},
                                                {"Y", true},      {"-1", true}, {"No", true},
                                                {"", true},       {"2", true}};
  for (const auto& [text, checked] : texts) {
    uni->Text(checked ? "0" : "1");
    uni->Text(text);
    EXPECT_EQ(uni->Text(), checked ? "1" : "0") << text;
    EXPECT_EQ(box.Value(), checked ? 1 : 0) << text;
  }
  EXPECT_EQ(count("DataChanged 1 False") + count("DataChanged 0 False"), 0);

  // The user clicks the box: Text follows, Click is raised, DataChanged is not.
  log.clear();
  box.click();
  EXPECT_EQ(uni->Text(), "0");
  EXPECT_EQ(count("Click"), 1);
  uni->Invalid_Data(true);
  other->SetFocus();  // leaving the box clears Invalid_Data
  EXPECT_EQ(uni->Text(), "0");
  EXPECT_FALSE(uni->Invalid_Data());
  EXPECT_EQ(uni->txtText1().BackColor(), kNormal);
  for (const auto& line : log)
    EXPECT_EQ(line.rfind("DataChanged", 0), std::string::npos);

  // Blanking a check editor unchecks it and announces the empty value.
  uni->Text("Y");
  log.clear();
  uni->BlankControl();
  EXPECT_EQ(uni->Text(), "0");
  EXPECT_EQ(box.Value(), 0);
  EXPECT_EQ(count("DataChanged  False"), 1);
}

TEST_F(FieldEditorTest, SourceWritesAreRefusedWithoutACodeLookup) {
  uni->Data_Field("CustCode");
  EXPECT_EQ(uni->Source_Code_Field(), "CustCode");  // never set: reads as Data_Field

  auto expectRefused = [](auto write, const std::string& description) {
    const Error e = CaughtError(write);
    EXPECT_EQ(e.number(), kLibraryError);
    EXPECT_EQ(e.source(), "KivUni");
    EXPECT_EQ(e.description(), description);
  };
  expectRefused([&] { uni->Source_Code_Field("Code"); },
                "Source Code Field property cannot be set for a non-LookUp control.");
  expectRefused([&] { uni->Source_Table("Customers"); },
                "Source Table property cannot be set for a non-LookUp control.");
  expectRefused([&] { uni->Source_Connection(nullptr); },
                "Source Connection property cannot be set for a non-LookUp control.");
  expectRefused([&] { uni->let("Source_Table", Variant("Customers")); },
                "Source Table property cannot be set for a non-LookUp control.");
  EXPECT_EQ(uni->Source_Table(), "");
  EXPECT_EQ(uni->Source_Code_Field(), "CustCode");

  uni->Type_Of_LookUp(tolLookUp_Code);
  uni->Source_Code_Field("Code");
  EXPECT_EQ(uni->Source_Code_Field(), "Code");
}

TEST_F(FieldEditorTest, PropertyBagRoundTrip) {
  // A fresh editor writes nothing but defaults.
  JsonPropertyBag defaults("ctlUni1");
  uni->WriteProperties(defaults);
  EXPECT_EQ(defaults.dump(-1), "{}");

  auto launcher = std::make_shared<TextBox>("ctlSearch");  // any control will do as a stand-in
  ObjectRegistry resolver;
  resolver.add("control", "ctlSearch", launcher);

  uni->Type_Of_LookUp(tolLookUp_Code);
  uni->Type_Of_Control(tocNumber);
  uni->Read_Only_Field_Colour(1);
  uni->Required_Field_Colour(2);
  uni->Normal_Field_Colour(3);
  uni->Error_Field_Colour(4);
  uni->Text("42");
  uni->Read_Only(true);
  uni->Required_Field(true);
  uni->Source_Code_Field("Code");
  uni->Source_Table("Customers");
  uni->MaxLength(6);
  uni->Use_Internal_LookUp_Form(false);
  uni->FriendlyNames(FriendlyNameTable({{"CustCode", "Customer code"}}));
  uni->Filter("Active = 1");
  uni->Search_Control(launcher);
  uni->Locked(true);
  uni->Data_Field("CustCode");
  uni->Primary_Key_Field(true);
  uni->AddNew_Mode(true);
  uni->Password_Chr("*");
  uni->Search_RecordSource("SELECT * FROM Customers");

  JsonPropertyBag bag("ctlUni1", &resolver);
  uni->WriteProperties(bag);
  // The stored names, in order; Search_Recordsource is written with a lower-case s.
  EXPECT_EQ(bag.json(), nlohmann::ordered_json::parse(R"({
      "Read_Only_Field_Colour": 1, "Required_Field_Colour": 2, "Normal_Field_Colour": 3,
      "Error_Field_Colour": 4, "Text": "42", "Read_Only": true, "Type_Of_Control": 1,
      "Required_Field": true, "Type_Of_LookUp": 1, "Source_Code_Field": "Code",
      "Source_Table": "Customers", "MaxLength": 6, "Use_Internal_LookUp_Form": false,
      "FriendlyNames": {"$array": {"bounds": [[0, 0], [0, 1]], "items": ["CustCode", "Customer code"]}},
      "Filter": "Active = 1", "Search_Control": {"$control": "ctlSearch"}, "Locked": true,
      "Data_Field": "CustCode", "Primary_Key_Field": true, "AddNew_Mode": true,
      "Password_Chr": "*", "Search_Recordsource": "SELECT * FROM Customers"})"));

  auto restored = std::make_shared<KivUni>();
  JsonPropertyBag reread = JsonPropertyBag::Parse("ctlUni2", bag.dump(), &resolver);
  restored->ReadProperties(reread);
  EXPECT_TRUE(reread.unreadNames().empty());
  // The widgets show the loaded text and mask; the display state is refreshed.
  EXPECT_EQ(restored->txtText1().Text(), "42");
  EXPECT_EQ(restored->txtText1().PasswordChar(), "*");
  EXPECT_EQ(restored->MaxLength(), 6);
  EXPECT_EQ(restored->txtText1().BackColor(), 1);
  EXPECT_TRUE(restored->txtText1().Locked());
  EXPECT_TRUE(restored->cmdFunction().Visible());

  // Writing it again gives the same bag.
  JsonPropertyBag again("ctlUni2", &resolver);
  restored->WriteProperties(again);
  EXPECT_EQ(again.dump(), bag.dump());
}

TEST_F(FieldEditorTest, ValidationOfNumbersDatesAndRequiredFields) {
  struct Case {
    std::int32_t type;
    bool required;
    const char* text;
    bool invalid;
  };
  const Case cases[] = {
      {tocNumber, false, "", false},        {tocNumber, false, "12a", true},
      {tocNumber, false, " 12 ", false},    {tocNumber, false, "-1.5e3", false},
      {tocNumber, true, "", true},          {tocNumber, true, "7", false},
      {tocDate, false, "", false},          {tocDate, false, "2/30/2024", true},
      {tocDate, false, "2/29/2024", false}, {tocDate, false, "2024-03-01", false},
      {tocDate, true, "  ", true},          {tocDate, false, "tomorrow", true},
      {tocText, true, "   ", true},         {tocText, true, "x", false},
      {tocText, false, "", false},          {tocCheck, true, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " type " + std::to_string(c.type) +
                 (c.required ? " required" : ""));
    uni->Type_Of_Control(c.type);
    uni->Required_Field(c.required);
    if (c.type == tocCheck) {
      uni->Text(c.text);
      EXPECT_FALSE(uni->Invalid_Data());
      continue;
    }
    typeAndLeave(c.text);
    EXPECT_EQ(uni->Text(), c.text);
    EXPECT_EQ(uni->txtText1().BackColor(), c.invalid ? kError : (c.required ? kRequired : kNormal));
    EXPECT_EQ(uni->Invalid_Data(), c.invalid);
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FieldEditorTest, LostFocusSequenceAndReformatting) {
  uni->Type_Of_Control(tocNumber);
  uni->Extender().DataFormat(std::make_shared<DataFormat>("0.00"));

  // Typing 5 and leaving: one Change for the key, validation and DataChanged,
  // then a second Change for the reformatted text.
  typeAndLeave("5");
  EXPECT_EQ(log, (std::vector<std::string>{"Change", "DataChanged 5 False", "Change"}));
  EXPECT_EQ(uni->Text(), "5.00");
  EXPECT_EQ(uni->txtText1().Text(), "5.00");

  // A write of Text runs the same sequence.
  log.clear();
  uni->Text("12a");
  EXPECT_EQ(log, (std::vector<std::string>{"Change", "DataChanged 12a True"}));
  EXPECT_EQ(uni->txtText1().BackColor(), kError);

  // A locked editor is not validated or announced, but still reformats.
  log.clear();
  uni->Locked(true);
  uni->Text("7");
  EXPECT_EQ(log, (std::vector<std::string>{"Change", "Change"}));
  EXPECT_EQ(uni->Text(), "7.00");
  EXPECT_EQ(uni->txtText1().BackColor(), kReadOnly);
  uni->Locked(false);

  // A DataChanged handler that clears the flag leaves the error colour painted.
  uni->events.DataChanged.connect([](std::string& value, bool& invalid) {
    value = "ignored";
    invalid = false;
  });
  log.clear();
  uni->Text("x");
  EXPECT_EQ(uni->txtText1().BackColor(), kError);
  EXPECT_EQ(uni->Text(), "x");
  EXPECT_TRUE(uni->Invalid_Data());  // a read validates again

  // Without a data format nothing is reformatted.
  uni->Extender().DataFormat(nullptr);
  uni->Text("3");
  EXPECT_EQ(uni->Text(), "3");

  // Getting the focus selects the whole text, unless the editor is read-only.
  other->SetFocus();
  uni->txtText1().SetFocus();
  EXPECT_EQ(uni->txtText1().SelLength(), 1);
  other->SetFocus();
  uni->Read_Only(true);
  uni->txtText1().SelLength(0);
  uni->txtText1().SetFocus();
  EXPECT_EQ(uni->txtText1().SelLength(), 0);
}

TEST_F(FieldEditorTest, EventsPassThroughByReference) {
  std::vector<std::string> input;
  LogInputEvents(uni->events, input);
  uni->events.KeyPress.connect([](std::int16_t& ascii) {
    if (ascii == 'x') ascii = 0;  // swallowed
  });
  uni->txtText1().SetFocus();
  uni->txtText1().type("axb");
  EXPECT_EQ(uni->Text(), "ab");
  uni->txtText1().click();
  uni->txtText1().dblClick();
  EXPECT_EQ(input, (std::vector<std::string>{
                       "KeyDown 65", "KeyPress 97", "KeyUp 65", "KeyDown 88", "KeyPress 120",
                       "KeyUp 88", "KeyDown 66", "KeyPress 98", "KeyUp 66", "MouseDown 1",
                       "MouseUp", "Click", "MouseDown 1", "MouseUp", "Click", "DblClick"}));
}

TEST_F(FieldEditorTest, CtrlFInEachState) {
  int calendarShown = 0;
  host.setModalFallback([&](Form&) { ++calendarShown; });
  auto ctrlF = [&] { uni->txtText1().keyDown(70, key::CtrlMask); };

  // A plain text editor shows no button: nothing happens.
  ctrlF();
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(calendarShown, 0);

  // A code editor that hands the lookup to the host raises LookUp.
  uni->Type_Of_LookUp(tolLookUp_Code);
  uni->Use_Internal_LookUp_Form(false);
  ctrlF();
  EXPECT_EQ(count("LookUp"), 1);
  uni->txtText1().keyDown(70, 0);  // F alone
  uni->txtText1().keyDown(70, key::CtrlMask | key::ShiftMask);
  EXPECT_EQ(count("LookUp"), 1);

  // A host handler can suppress it by changing the arguments.
  auto id = uni->events.KeyDown.connect([](std::int16_t& code, std::int16_t&) { code = 0; });
  ctrlF();
  EXPECT_EQ(count("LookUp"), 1);
  uni->events.KeyDown.disconnect(id);

  // A locked editor's button is disabled: nothing happens.
  uni->Locked(true);
  ctrlF();
  EXPECT_EQ(count("LookUp"), 1);
  uni->Locked(false);

  // The internal lookup needs a search launcher: a clear message, Text unchanged.
  uni->Use_Internal_LookUp_Form(true);
  uni->txtText1().Text("A7");
  log.clear();
  ctrlF();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt,
            "The search launcher (Search_Control) is not available. (-2147221503)");
  EXPECT_EQ(boxes[0].title, "KivUni");
  EXPECT_EQ(boxes[0].buttons, vb::vbCritical);
  EXPECT_EQ(uni->Text(), "A7");
  EXPECT_TRUE(log.empty());
  // Host code calling the lookup gets the error itself.
  EXPECT_THROW(uni->cmdFunction_Click(), Error);

  // A date editor opens the calendar, whatever its lookup settings.
  uni->Type_Of_LookUp(tolNo_LookUp);
  uni->Type_Of_Control(tocDate);
  uni->Use_Internal_LookUp_Form(false);
  ctrlF();
  EXPECT_EQ(calendarShown, 1);
  EXPECT_EQ(count("LookUp"), 0);
}

TEST_F(FieldEditorTest, ButtonPressedWhileTypingValidatesFirst) {
  uni->Type_Of_Control(tocDate);
  host.pushModalDriver([&](Form& f) {
    log.push_back("calendar");
    f.Unload();
  });
  uni->txtText1().SetFocus();
  uni->txtText1().type("2/30/2024");
  log.clear();
  uni->cmdFunction().click();
  // The typed value is validated and announced, then the calendar opens once.
  EXPECT_EQ(log, (std::vector<std::string>{"DataChanged 2/30/2024 True", "calendar"}));
  EXPECT_EQ(host.pendingModalDrivers(), 0u);
  // The button's own click leaves nothing pending: leaving the box again opens nothing.
  uni->txtText1().SetFocus();
  other->SetFocus();
  EXPECT_EQ(count("calendar"), 1);

  // A host lookup that opens no form: the press runs it once, not again on
  // the click that ends the press.
  uni->Type_Of_Control(tocText);
  uni->Type_Of_LookUp(tolLookUp_Code);
  uni->Use_Internal_LookUp_Form(false);
  uni->txtText1().SetFocus();
  uni->txtText1().type("A7");
  log.clear();
  uni->cmdFunction().click();
  EXPECT_EQ(log, (std::vector<std::string>{"DataChanged A7 True", "LookUp"}));
  // A click with the focus elsewhere runs the lookup from the click itself.
  uni->cmdFunction().click();
  EXPECT_EQ(count("LookUp"), 2);
  uni->cmdFunction().pressKey(key::Space);  // the keyboard's click
  EXPECT_EQ(count("LookUp"), 3);
}

TEST_F(FieldEditorTest, ResizeArithmetic) {
  // A freshly placed editor takes the default size.
  EXPECT_EQ(uni->Width(), 1800);
  EXPECT_EQ(uni->Height(), 285);
  EXPECT_FALSE(DefaultSizeFlag::IsSet());
  EXPECT_EQ(uni->txtText1().Width(), 1800);
  EXPECT_EQ(uni->txtText1().Height(), 285);

  // Shrinking below the minimum snaps back to 300 x 285.
  uni->Width(100);
  uni->Height(50);
  EXPECT_EQ(uni->Width(), 300);
  EXPECT_EQ(uni->Height(), 285);

  // A date editor leaves room for its button.
  uni->Type_Of_Control(tocDate);
  uni->Width(1800);
  EXPECT_EQ(uni->txtText1().Width(), 1495);
  EXPECT_EQ(uni->cmdFunction().Left(), 1545);
  EXPECT_EQ(uni->cmdFunction().Width(), 255);
  EXPECT_EQ(uni->cmdFunction().Top(), 0);
  uni->Height(400);
  EXPECT_EQ(uni->txtText1().Height(), 400);
  EXPECT_EQ(uni->cmdFunction().Height(), 400);

  // The property rule, not the button's visibility, decides the width.
  uni->Type_Of_Control(tocCheck);
  uni->Type_Of_LookUp(tolLookUp_Code);
  EXPECT_EQ(uni->txtText1().Width(), 1495);
  EXPECT_EQ(uni->chkCheck1().Left(), 0);
  EXPECT_EQ(uni->chkCheck1().Width(), 405);
  EXPECT_EQ(uni->chkCheck1().Height(), 285);

  // The default-size flag is shared: set by one new control, taken by the
  // next resize of any editor.
  DefaultSizeFlag::Set();
  uni->Width(2500);
  EXPECT_EQ(uni->Width(), 1800);
  EXPECT_EQ(uni->Height(), 285);
  EXPECT_FALSE(DefaultSizeFlag::IsSet());
}

}  // namespace
}  // namespace kiv::test
