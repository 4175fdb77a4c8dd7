#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kiv/host/UserControl.h"
#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Event.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class Columns;
class DataGrid;
class Font;
class PropertyBag;

// The detail grid: a thin wrapper around one data grid (DataGrid1) that fills
// the control. It shows the rows of the record source the host gives it,
// passes the grid's appearance through, re-raises its mouse and key events,
// reads single cells (CellText) and replaces the column headers by friendly
// names from a FriendlyNames table (rows of field name, caption).
//
// Headers are matched on the column's current caption without regard to
// case, the first matching row wins; setting DataSource applies the table,
// setting FriendlyNames alone does not (call GetFriendlyColumnNames).
//
// Row, Col and the row and column of CellText are 32-bit: a detail grid may
// hold more rows than a 16-bit counter reaches.
//
// Enabled here is the grid's (persisted); the control's own Enabled stays
// reachable through Control.
class KivDetGrid : public UserControl {
 public:
  // Dispatch numbers of the events, as the event interface numbers them.
  enum EventId : std::int32_t {
    idClick = 1,
    idDblClick = 2,
    idKeyDown = 3,
    idKeyPress = 4,
    idKeyUp = 5,
    idMouseDown = 6,
    idMouseMove = 7,
    idMouseUp = 8,
  };

  static constexpr std::int32_t kDefaultBackColor = static_cast<std::int32_t>(0x80000005);
  static constexpr std::int32_t kDefaultForeColor = static_cast<std::int32_t>(0x80000008);
  static constexpr std::int32_t kDefaultBorderStyle = 1;

  KivDetGrid();
  ~KivDetGrid() override;
  KivDetGrid(const KivDetGrid&) = delete;
  KivDetGrid& operator=(const KivDetGrid&) = delete;

  // A new grid as the host places it: the inner grid, then InitProperties.
  static std::shared_ptr<KivDetGrid> Create();

  std::string_view TypeName() const override { return "KivDetGrid"; }
  const MemberTable& memberTable() const override;
  static const MemberTable& Members();

  // ---- Properties ----
  // The grid's data source: a record set, or Nothing. Setting it binds the
  // grid, notifies the host and applies the friendly names.
  const Variant& DataSource() const;
  void DataSource(const Variant& source);
  const std::string& DataMember() const;
  void DataMember(std::string value);
  kiv::Columns& Columns() const;
  // No array (no renaming) or a two-dimensional array of texts.
  const Variant& FriendlyNames() const { return m_FriendlyNames; }
  void FriendlyNames(Variant value);
  std::int32_t BackColor() const;
  void BackColor(std::int32_t value);
  std::int32_t ForeColor() const;
  void ForeColor(std::int32_t value);
  bool Enabled() const;
  void Enabled(bool value);
  std::shared_ptr<kiv::Font> Font() const;
  void Font(std::shared_ptr<kiv::Font> font);
  std::int32_t BorderStyle() const;  // 0 none, 1 fixed single
  void BorderStyle(std::int32_t value);
  // Stored and persisted only; it changes nothing on screen.
  std::int16_t BackStyle() const { return m_BackStyle; }
  void BackStyle(std::int16_t value);
  // The stored caption ("0" for a new grid). Setting it also sets the grid's
  // caption; the host is not notified.
  const std::string& Caption() const { return m_Caption; }
  void Caption(std::string value);
  // The grid's current row (zero-based; -1 without a current record) and column.
  std::int32_t Row() const;
  void Row(std::int32_t value);
  std::int32_t Col() const;
  void Col(std::int32_t value);

  // ---- Methods ----
  // The text of one cell. A row or column of -1 means the current one and is
  // replaced in the caller's variable by it. The current cell is moved there
  // to read it and then restored. Any failure gives "", and the steps after
  // the failing one are not run (so the current cell stays where the failure
  // left it).
  std::string CellText(std::int32_t& row, std::int32_t& col);
  std::string CellText();
  // Re-labels the columns from FriendlyNames; every failure is passed over.
  void GetFriendlyColumnNames();
  // Forwards to the grid's own Refresh.
  void Refresh();

  // ---- Life cycle (host notifications) ----
  void InitProperties() override;
  void ReadProperties(PropertyBag& bag) override;
  void WriteProperties(PropertyBag& bag) override;
  void Resize() override;

  // ---- Events ----
  struct Events {
    Event<> Click;
    Event<> DblClick;
    Event<std::int16_t, std::int16_t> KeyDown;                  // KeyCode, Shift
    Event<std::int16_t> KeyPress;                               // KeyAscii
    Event<std::int16_t, std::int16_t> KeyUp;                    // KeyCode, Shift
    Event<std::int16_t, std::int16_t, float, float> MouseDown;  // Button, Shift, X, Y
    Event<std::int16_t, std::int16_t, float, float> MouseMove;  // Button, Shift, X, Y
    Event<std::int16_t, std::int16_t, float, float> MouseUp;    // Button, Shift, X, Y
  } events;

  DataGrid& DataGrid1() const { return *m_DataGrid1; }

 private:
  std::shared_ptr<DataGrid> m_DataGrid1;
  Variant m_FriendlyNames = Variant(std::int16_t{0});
  std::int16_t m_BackStyle = 0;
  std::string m_Caption = "0";
};

}  // namespace kiv
