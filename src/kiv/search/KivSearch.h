#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kiv/host/UserControl.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class PropertyBag;
class Recordset;

// The search launcher: a small control that gives the field editors and the
// form controller of a form the search dialog. It stores nothing itself:
// each property is a view onto the thread's single search dialog (frmSearch),
// so every launcher on a thread sees the same values, and ShowSearch shows
// that dialog.
//
// The calling contract: set FriendlyNames, set Search_RecordSource (before
// every showing: the dialog releases it when it unloads), set Return_Fields,
// call ShowSearch(1, owner), then read Return_Value, whose element 0 is the
// empty text when nothing was chosen. The record set is shared with the
// dialog, not copied: its position and Sort are what the dialog left.
//
// The control is always 510 x 480 twips and raises no events.
class KivSearch : public UserControl {
 public:
  static constexpr double kWidth = 510;
  static constexpr double kHeight = 480;

  KivSearch();
  ~KivSearch() override;

  // A new launcher as the host places it.
  static std::shared_ptr<KivSearch> Create();

  std::string_view TypeName() const override { return "KivSearch"; }
  const MemberTable& memberTable() const override { return Members(); }
  static const MemberTable& Members();

  // ---- Properties, each the dialog's variable of the same meaning
  std::string Return_Fields() const;
  void Return_Fields(std::string value);
  Variant Return_Value() const;
  void Return_Value(Variant value);
  Variant FriendlyNames() const;
  void FriendlyNames(Variant value);
  std::shared_ptr<Recordset> Search_RecordSource() const;
  void Search_RecordSource(std::shared_ptr<Recordset> value);

  // Shows the dialog: intModal 1 modal (returns when it has unloaded), 0
  // modeless (returns at once); frmOwner the calling control or form.
  void ShowSearch(std::int16_t intModal, const Variant& frmOwner);

  // ---- Life cycle
  void ReadProperties(PropertyBag& bag) override;
  void WriteProperties(PropertyBag& bag) override;
  void Resize() override;
};

}  // namespace kiv
