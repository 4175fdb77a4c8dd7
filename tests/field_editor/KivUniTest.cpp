// The field editor as a user and a form controller meet it: display kinds,
// state colours, check-box text, refused writes, persistence, validation,
// the lost-focus sequence, Ctrl+F and the layout.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "FieldEditorFixture.h"
#include "kiv/host/DataFormat.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/JsonPropertyBag.h"
#include "kiv/runtime/ObjectResolver.h"

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
  // A new editor: a plain text box with the initial values.
  EXPECT_EQ(shown(*uni), (Shown{true, false, false}));
  EXPECT_EQ(uni->Type_Of_Control(), tocText);
  EXPECT_EQ(uni->Read_Only_Field_Colour(), kReadOnly);
  EXPECT_EQ(uni->Required_Field_Colour(), kRequired);
  EXPECT_EQ(uni->Normal_Field_Colour(), kNormal);
  EXPECT_EQ(uni->Error_Field_Colour(), kError);
  EXPECT_TRUE(uni->Use_Internal_LookUp_Form());
  EXPECT_EQ(uni->FriendlyNames(), Variant(std::int16_t{0}));
  EXPECT_EQ(uni->MaxLength(), 0);
  EXPECT_EQ(uni->txtText1().BackColor(), kNormal);

  uni->Type_Of_Control(tocDate);
  EXPECT_EQ(shown(*uni), (Shown{true, true, false}));
  uni->Type_Of_Control(tocNumber);
  EXPECT_EQ(shown(*uni), (Shown{true, false, false}));
  uni->Type_Of_LookUp(tolLookUp_Code);
  EXPECT_EQ(shown(*uni), (Shown{true, true, false}));
  uni->Type_Of_Control(tocCheck);  // whatever its lookup setting
  EXPECT_EQ(shown(*uni), (Shown{false, false, true}));
  uni->Type_Of_Control(7);  // outside the enumeration: stored, shown as a text type
  EXPECT_EQ(uni->Type_Of_Control(), 7);
  EXPECT_EQ(shown(*uni), (Shown{true, true, false}));
  uni->Type_Of_LookUp(5);
  EXPECT_EQ(shown(*uni), (Shown{true, false, false}));

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
  auto editable = [&] {
    return !t.Locked() && uni->cmdFunction().Enabled() && uni->chkCheck1().Enabled();
  };
  EXPECT_TRUE(editable());

  uni->Required_Field(true);
  EXPECT_EQ(t.BackColor(), kRequired);
  EXPECT_TRUE(editable());

  uni->Locked(true);  // Locked beats Required
  EXPECT_EQ(t.BackColor(), kReadOnly);
  EXPECT_EQ(uni->chkCheck1().BackColor(), kReadOnly);
  EXPECT_TRUE(t.Locked());
  EXPECT_FALSE(uni->cmdFunction().Enabled());
  uni->Locked(false);
  uni->Read_Only(true);
  EXPECT_EQ(t.BackColor(), kReadOnly);
  EXPECT_TRUE(t.Locked());
  uni->Read_Only(false);
  EXPECT_EQ(t.BackColor(), kRequired);

  // A primary key can be typed only while a record is being added.
  uni->Primary_Key_Field(true);
  EXPECT_EQ(t.BackColor(), kReadOnly);
  EXPECT_FALSE(editable());
  uni->AddNew_Mode(true);
  EXPECT_EQ(t.BackColor(), kRequired);
  EXPECT_TRUE(editable());
  uni->Required_Field(false);
  EXPECT_EQ(t.BackColor(), kNormal);
  uni->AddNew_Mode(false);
  EXPECT_EQ(t.BackColor(), kReadOnly);
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
  for (const char* unchecked : {"False", "n", " 0 ", "FALSE", "N"}) {
    uni->Text("1");
    uni->Text(unchecked);
    EXPECT_EQ(uni->Text(), "0") << unchecked;
    EXPECT_EQ(box.Value(), 0) << unchecked;
  }
  for (const char* checked : {"True", "Y", "-1", "No", "", "2"}) {
    uni->Text("0");
    uni->Text(checked);
    EXPECT_EQ(uni->Text(), "1") << checked;
    EXPECT_EQ(box.Value(), 1) << checked;
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
    try {
      write();
      ADD_FAILURE() << "not refused: " << description;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kLibraryError);
      EXPECT_EQ(e.source(), "KivUni");
      EXPECT_EQ(e.description(), description);
    }
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
  uni->Source_Table("Customers");
  EXPECT_EQ(uni->Source_Code_Field(), "Code");
  EXPECT_EQ(uni->Source_Table(), "Customers");
}

// Names the objects a bag stores: one launcher stand-in.
class OneObjectResolver : public ObjectResolver {
 public:
  explicit OneObjectResolver(std::shared_ptr<Dispatch> object) : object_(std::move(object)) {}
  std::shared_ptr<Dispatch> resolve(std::string_view kind, std::string_view name) override {
    return kind == "control" && name == "ctlSearch" ? object_ : nullptr;
  }
  std::optional<ObjectReference> nameOf(const std::shared_ptr<Dispatch>& object) override {
    if (object == object_) return ObjectReference{"control", "ctlSearch"};
    return std::nullopt;
  }

 private:
  std::shared_ptr<Dispatch> object_;
};

TEST_F(FieldEditorTest, PropertyBagRoundTrip) {
  // A fresh editor writes nothing but defaults.
  JsonPropertyBag defaults("ctlUni1");
  uni->WriteProperties(defaults);
  EXPECT_EQ(defaults.dump(-1), "{}");

  auto launcher = std::make_shared<TextBox>("ctlSearch");  // any control will do as a stand-in
  OneObjectResolver resolver(launcher);
  Array names(0, 0, 0, 1);
  names.at(0, 0) = Variant("CustCode");
  names.at(0, 1) = Variant("Customer code");

  uni->Type_Of_LookUp(tolLookUp_Code);
  uni->Type_Of_Control(tocNumber);
  uni->Read_Only_Field_Colour(1);
  uni->Required_Field_Colour(2);
  uni->Normal_Field_Colour(3);
  uni->Error_Field_Colour(4);
  uni->Text("42");
  uni->Required_Field(true);
  uni->Source_Code_Field("Code");
  uni->Source_Table("Customers");
  uni->MaxLength(6);
  uni->Use_Internal_LookUp_Form(false);
  uni->FriendlyNames(Variant(names));
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
  const auto& json = bag.json();
  EXPECT_TRUE(json.contains("Search_Recordsource"));  // the stored name has a lower-case s
  EXPECT_FALSE(json.contains("Search_RecordSource"));
  EXPECT_FALSE(json.contains("Invalid_Data"));
  EXPECT_EQ(json.at("MaxLength"), 6);

  auto restored = std::make_shared<KivUni>();
  JsonPropertyBag reread = JsonPropertyBag::Parse("ctlUni2", bag.dump(), &resolver);
  restored->ReadProperties(reread);
  EXPECT_TRUE(reread.unreadNames().empty());
  EXPECT_EQ(restored->Type_Of_LookUp(), tolLookUp_Code);
  EXPECT_EQ(restored->Type_Of_Control(), tocNumber);
  EXPECT_EQ(restored->Read_Only_Field_Colour(), 1);
  EXPECT_EQ(restored->Required_Field_Colour(), 2);
  EXPECT_EQ(restored->Normal_Field_Colour(), 3);
  EXPECT_EQ(restored->Error_Field_Colour(), 4);
  EXPECT_EQ(restored->Text(), "42");
  EXPECT_TRUE(restored->Required_Field());
  EXPECT_EQ(restored->Source_Code_Field(), "Code");
  EXPECT_EQ(restored->Source_Table(), "Customers");
  EXPECT_EQ(restored->MaxLength(), 6);
  EXPECT_FALSE(restored->Use_Internal_LookUp_Form());
  EXPECT_EQ(restored->FriendlyNames(), Variant(names));
  EXPECT_EQ(restored->Filter(), "Active = 1");
  EXPECT_EQ(restored->Search_Control(), launcher);
  EXPECT_TRUE(restored->Locked());
  EXPECT_EQ(restored->Data_Field(), "CustCode");
  EXPECT_TRUE(restored->Primary_Key_Field());
  EXPECT_TRUE(restored->AddNew_Mode());
  EXPECT_EQ(restored->Password_Chr(), "*");
  EXPECT_EQ(restored->Search_RecordSource(), "SELECT * FROM Customers");
  // The widgets show the loaded text and mask; the display state is refreshed.
  EXPECT_EQ(restored->txtText1().Text(), "42");
  EXPECT_EQ(restored->txtText1().PasswordChar(), "*");
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
  std::vector<std::string> keys;
  uni->events.KeyPress.connect([&](std::int16_t& ascii) {
    keys.push_back("KeyPress " + std::to_string(ascii));
    if (ascii == 'x') ascii = 0;  // swallowed
  });
  uni->events.KeyDown.connect([&](std::int16_t& code, std::int16_t&) {
    keys.push_back("KeyDown " + std::to_string(code));
  });
  uni->events.KeyUp.connect(
      [&](std::int16_t& code, std::int16_t&) { keys.push_back("KeyUp " + std::to_string(code)); });
  int downs = 0, ups = 0, dbl = 0;
  uni->events.MouseDown.connect([&](std::int16_t&, std::int16_t&, float&, float&) { ++downs; });
  uni->events.MouseUp.connect([&](std::int16_t&, std::int16_t&, float&, float&) { ++ups; });
  uni->events.DblClick.connect([&] { ++dbl; });

  uni->txtText1().SetFocus();
  uni->txtText1().type("axb");
  EXPECT_EQ(uni->Text(), "ab");
  EXPECT_EQ(keys.size(), 9u);
  uni->txtText1().click();
  uni->txtText1().dblClick();
  EXPECT_GE(downs, 1);
  EXPECT_GE(ups, 1);
  EXPECT_EQ(dbl, 1);
  EXPECT_GE(count("Click"), 1);
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
