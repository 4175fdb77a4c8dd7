#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kiv/host/UserControl.h"
#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Event.h"

namespace kiv {

class KivUni;
class PropertyBag;
class TextBox;

// The description display: a small, normally locked text box beside a field
// editor that shows the description of the code the editor holds. The host
// links the two with Linked_LookUp_Control; each time the editor raises
// DataChanged, the display reads the description for the new code over the
// editor's own connection (table, code field and connection come from the
// editor unless set here) and shows it, or clears itself when the editor
// reports invalid data.
//
// Inner widget: txtText1, a text box that always fills the control.
//
// Choices worth knowing:
// - The code goes into the lookup statement safely, as the editor's own code
//   check places it: a text code between quotes with every quote doubled; a
//   number code only when it reads as a number, in canonical form. A code
//   that is not a number for a number editor, and an empty code, clear the
//   text without a query (a blanked number editor shows no error box).
// - A failing lookup is reported in a message box titled "KivUni" that names
//   the statement and this control, and the text is cleared.
class KivDesc : public UserControl {
 public:
  // Dispatch numbers of the events, as the event interface numbers them.
  enum EventId : std::int32_t {
    idChange = 1,
    idClick = 2,
    idDblClick = 3,
    idKeyDown = 4,
    idKeyPress = 5,
    idKeyUp = 6,
    idMouseDown = 7,
    idMouseUp = 8,
  };

  static constexpr std::int32_t kDefaultFieldColour = static_cast<std::int32_t>(0x8000000F);
  static constexpr double kDefaultWidth = 1800;
  static constexpr double kMinimumWidth = 150;
  static constexpr double kMinimumHeight = 285;

  KivDesc();
  ~KivDesc() override;
  KivDesc(const KivDesc&) = delete;
  KivDesc& operator=(const KivDesc&) = delete;

  // A new display as the host places it: the text box, then InitProperties.
  static std::shared_ptr<KivDesc> Create();

  std::string_view TypeName() const override { return "KivDesc"; }
  const MemberTable& memberTable() const override;
  static const MemberTable& Members();

  // ---- Properties ----

  // The editor whose DataChanged events drive the display. Setting it
  // replaces any earlier link and its subscription, then clears
  // Description_Field, Description_Table, Source_Code_Field, Filter and Text
  // through their setters, in that order. Not persisted.
  const std::shared_ptr<KivUni>& Linked_LookUp_Control() const { return m_Linked_LookUp_Control; }
  void Linked_LookUp_Control(std::shared_ptr<KivUni> editor);

  const std::string& Description_Table() const { return m_Description_Table; }
  void Description_Table(std::string value);
  const std::string& Description_Field() const { return m_Description_Field; }
  void Description_Field(std::string value);
  const std::string& Source_Code_Field() const { return m_Source_Code_Field; }
  void Source_Code_Field(std::string value);
  const std::string& Filter() const { return m_Filter; }
  void Filter(std::string value);
  // The text box's text.
  const std::string& Text() const;
  void Text(std::string value);
  std::int32_t Field_Colour() const { return m_Field_Colour; }
  void Field_Colour(std::int32_t value);
  bool Field_Locked() const { return m_Field_Locked; }
  void Field_Locked(bool value);

  // ---- Life cycle (host notifications) ----
  void InitProperties() override;
  void ReadProperties(PropertyBag& bag) override;
  void WriteProperties(PropertyBag& bag) override;
  void Resize() override;

  // ---- Events ----
  struct Events {
    Event<> Change;
    Event<> Click;
    Event<> DblClick;
    Event<std::int16_t, std::int16_t> KeyDown;                  // KeyCode, Shift
    Event<std::int16_t> KeyPress;                               // KeyAscii
    Event<std::int16_t, std::int16_t> KeyUp;                    // KeyCode, Shift
    Event<std::int16_t, std::int16_t, float, float> MouseDown;  // Button, Shift, X, Y
    Event<std::int16_t, std::int16_t, float, float> MouseUp;    // Button, Shift, X, Y
  } events;

  TextBox& txtText1() const { return *m_txtText1; }

 private:
  void Apply_Field_Appearance();
  void m_Linked_LookUp_Control_DataChanged(const std::string& strNew_Value, bool booInvalid_Data);
  std::string funDescription_Text(const std::string& strCode);
  void unlink();

  std::shared_ptr<TextBox> m_txtText1;
  std::shared_ptr<KivUni> m_Linked_LookUp_Control;
  std::size_t m_linkSubscription = 0;

  std::string m_Description_Table;
  std::string m_Description_Field;
  std::string m_Source_Code_Field;
  std::string m_Filter;
  std::int32_t m_Field_Colour = kDefaultFieldColour;
  bool m_Field_Locked = true;
  bool m_inResize = false;
};

}  // namespace kiv
