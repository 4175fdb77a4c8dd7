#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kiv/host/Form.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class ComboBox;
class CommandButton;
class DataGrid;
class Error;
class Label;
class Recordset;

// The search dialog: shows the records of a record set in a grid; the user
// picks a column, a type of search and a value, finds matching records one
// after another, sorts the grid by a column, and accepts the current row,
// whose chosen field values are handed back to the caller.
//
// One dialog exists per user-interface thread (Instance()). Its four public
// variables are the whole interface with its callers (the KivSearch
// launchers): they keep their values while the dialog is not shown and across
// unloading, except arsSearch_RecordSource, which unloading releases.
//
// Inner widgets: Label2, cmbField, Label3, cmbSearchType, Label1, cmbFind,
// cmdFindNext, dbgData, cmdOK (default), cmdCancel (cancel).
//
// Choices worth knowing:
// - Search values go into the find criterion safely: a text with every
//   quote doubled (so O'Brien is found; wildcards typed stay wildcards), a
//   number in its canonical form ("." decimals), so a value typed in the
//   user's locale is found too.
// - Accepting a row whose returned field is Null returns "" for it; a
//   returned name that is no field of the record set, or a value that cannot
//   be read, is reported in a message box titled "Search" and nothing is
//   returned (never a partial array).
// - A settings store that cannot be read or written while the recent values
//   are loaded or stored is reported, and the search still runs.
// - A record set without fields, like a missing one, gives "Search data could
//   not be retrieved."; a column whose field cannot be found is reported when
//   it is chosen or searched, and nothing else happens.
// - A friendly-name value that is not a two-dimensional table renames
//   nothing, both ways; table rows that cannot be read are passed over, and
//   so is a row whose friendly name is blank (a Null in the translation
//   table), which would otherwise leave a column without a caption and the
//   dialog without data.
class frmSearch : public Form {
 public:
  frmSearch();
  ~frmSearch() override;

  // The thread's single search dialog (created on first use; not loaded).
  static frmSearch& Instance();

  // ---- Shared state
  // The result of the last showing: an array of texts, one per returned field.
  Variant varReturn_Value = Variant("");
  // The records searched and shown; the grid's current row is its current record.
  std::shared_ptr<Recordset> arsSearch_RecordSource;
  // The comma-separated names of the fields whose values OK returns.
  std::string strReturn_Fields;
  // The friendly-name table (field name, friendly name per row), or a non-array.
  Variant m_FriendlyNames = Variant("");

  // ---- Widgets (for the host's peers and for driving input)
  Label& Label1() const { return *m_Label1; }
  Label& Label2() const { return *m_Label2; }
  Label& Label3() const { return *m_Label3; }
  ComboBox& cmbField() const { return *m_cmbField; }
  ComboBox& cmbSearchType() const { return *m_cmbSearchType; }
  ComboBox& cmbFind() const { return *m_cmbFind; }
  CommandButton& cmdFindNext() const { return *m_cmdFindNext; }
  DataGrid& dbgData() const { return *m_dbgData; }
  CommandButton& cmdOK() const { return *m_cmdOK; }
  CommandButton& cmdCancel() const { return *m_cmdCancel; }

  // The find criterion for a field of a type category (0 other, 1 text,
  // 2 number, 3 date, 4 boolean), a type of search (position 0 to 3 in the
  // list) and a value that passed validation. Category 0 (and a position
  // outside 0 to 3) gives "".
  static std::string SearchCriterion(std::string_view field, std::int32_t category,
                                     std::int32_t position, std::string_view value);

  // The design client size and the smallest size the layout allows, in twips.
  static constexpr double kDesignWidth = 7755;
  static constexpr double kDesignHeight = 4665;
  static constexpr double kMinimumWidth = 5300;
  static constexpr double kMinimumHeight = 3200;

  // Sizable, at least the layout's minimum, centred on the screen.
  double MinimumWidth() const override { return kMinimumWidth; }
  double MinimumHeight() const override { return kMinimumHeight; }
  int StartUpPosition() const override { return 2; }

  std::string_view TypeName() const override { return "frmSearch"; }
  const MemberTable& memberTable() const override;

 protected:
  void Form_Load() override;
  void Form_Resize() override;
  void Form_Unload() override;

 private:
  void createWidgets();
  void GetFriendlyColumnNames();
  std::string GetFieldNameFromCaption(const std::string& caption) const;
  void FillSearchTypes(std::int32_t category);
  void LoadFindHistory();
  bool SearchValueIsValid();
  bool funSearch();
  // The type category of the field behind the selected column.
  std::int32_t selectedCategory(std::string& fieldName) const;
  void storeFindHistory(const std::string& value);
  void accept();
  void sortByColumn(std::int16_t colIndex);

  // Widget handlers.
  void cmbField_Click();
  void cmbFind_Change();
  void cmdFindNext_Click();
  void cmdOK_Click();
  void cmdCancel_Click();
  void dbgData_HeadClick(std::int16_t colIndex);
  void dbgData_DblClick();
  void dbgData_KeyDown(std::int16_t keyCode, std::int16_t shift);

  std::shared_ptr<Label> m_Label1, m_Label2, m_Label3;
  std::shared_ptr<ComboBox> m_cmbField, m_cmbSearchType, m_cmbFind;
  std::shared_ptr<CommandButton> m_cmdFindNext, m_cmdOK, m_cmdCancel;
  std::shared_ptr<DataGrid> m_dbgData;
  bool m_settingUp = false;
};

// The record set a Variant holds, or nullptr for Nothing or Empty; any other
// value raises 13 (Type mismatch).
std::shared_ptr<Recordset> RecordSourceOf(const Variant& value);

}  // namespace kiv
