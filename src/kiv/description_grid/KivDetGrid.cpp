#include "kiv/description_grid/KivDetGrid.h"

#include <optional>
#include <vector>

#include "kiv/host/ColourValue.h"
#include "kiv/host/Column.h"
#include "kiv/host/Columns.h"
#include "kiv/host/DataGrid.h"
#include "kiv/host/Font.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/PropertyBag.h"

namespace kiv {

namespace {

const Variant kNoObject = Variant::Nothing();
const Variant kEmptyText = Variant(std::string());
const Variant kZeroInteger = Variant(std::int16_t{0});
const Variant kTrue = Variant(true);
const Variant kDefaultBack = Variant(KivDetGrid::kDefaultBackColor);
const Variant kDefaultFore = Variant(KivDetGrid::kDefaultForeColor);
const Variant kDefaultBorder = Variant(KivDetGrid::kDefaultBorderStyle);
// A new grid's caption: the persisted default, the number 0, as text.
const std::string kNewCaption = "0";

}  // namespace

KivDetGrid::KivDetGrid() : UserControl("KivDetGrid1") {
  m_DataGrid1 = std::make_shared<DataGrid>("DataGrid1");
  addConstituent(m_DataGrid1);

  auto& g = m_DataGrid1->events;
  g.Click.connect([this] { events.Click.raise(); });
  g.DblClick.connect([this] { events.DblClick.raise(); });
  g.KeyDown.connect([this](std::int16_t& k, std::int16_t& s) { events.KeyDown.raise(k, s); });
  g.KeyPress.connect([this](std::int16_t& a) { events.KeyPress.raise(a); });
  g.KeyUp.connect([this](std::int16_t& k, std::int16_t& s) { events.KeyUp.raise(k, s); });
  g.MouseDown.connect([this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    events.MouseDown.raise(b, s, x, y);
  });
  g.MouseMove.connect([this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    events.MouseMove.raise(b, s, x, y);
  });
  g.MouseUp.connect([this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    events.MouseUp.raise(b, s, x, y);
  });
}

KivDetGrid::~KivDetGrid() = default;

std::shared_ptr<KivDetGrid> KivDetGrid::Create() {
  auto grid = std::make_shared<KivDetGrid>();
  grid->InitProperties();
  grid->layout();
  return grid;
}

// ---------------------------------------------------------------- properties

const Variant& KivDetGrid::DataSource() const {
  return m_DataGrid1->DataSource();
}

void KivDetGrid::DataSource(const Variant& source) {
  m_DataGrid1->DataSource(source);
  PropertyChanged("DataSource");
  GetFriendlyColumnNames();
}

const std::string& KivDetGrid::DataMember() const {
  return m_DataGrid1->DataMember();
}

void KivDetGrid::DataMember(std::string value) {
  m_DataGrid1->DataMember(std::move(value));
  PropertyChanged("DataMember");
}

Columns& KivDetGrid::Columns() const {
  return m_DataGrid1->columns();
}

void KivDetGrid::FriendlyNames(Variant value) {
  m_FriendlyNames = std::move(value);
  PropertyChanged("FriendlyNames");
}

std::int32_t KivDetGrid::BackColor() const {
  return m_DataGrid1->BackColor();
}

void KivDetGrid::BackColor(std::int32_t value) {
  m_DataGrid1->BackColor(value);
  PropertyChanged("BackColor");
}

std::int32_t KivDetGrid::ForeColor() const {
  return m_DataGrid1->ForeColor();
}

void KivDetGrid::ForeColor(std::int32_t value) {
  m_DataGrid1->ForeColor(value);
  PropertyChanged("ForeColor");
}

bool KivDetGrid::Enabled() const {
  return m_DataGrid1->Enabled();
}

void KivDetGrid::Enabled(bool value) {
  m_DataGrid1->Enabled(value);
  PropertyChanged("Enabled");
}

std::shared_ptr<Font> KivDetGrid::Font() const {
  return m_DataGrid1->FontPtr();
}

void KivDetGrid::Font(std::shared_ptr<kiv::Font> font) {
  m_DataGrid1->Font(std::move(font));
  PropertyChanged("Font");
}

std::int32_t KivDetGrid::BorderStyle() const {
  return m_DataGrid1->BorderStyle();
}

void KivDetGrid::BorderStyle(std::int32_t value) {
  m_DataGrid1->BorderStyle(value);
  PropertyChanged("BorderStyle");
}

void KivDetGrid::BackStyle(std::int16_t value) {
  m_BackStyle = value;
  PropertyChanged("BackStyle");
}

void KivDetGrid::Caption(std::string value) {
  m_Caption = std::move(value);
  m_DataGrid1->Caption(m_Caption);
}

std::int32_t KivDetGrid::Row() const {
  return m_DataGrid1->Row();
}

void KivDetGrid::Row(std::int32_t value) {
  m_DataGrid1->Row(value);
}

std::int32_t KivDetGrid::Col() const {
  return m_DataGrid1->Col();
}

void KivDetGrid::Col(std::int32_t value) {
  m_DataGrid1->Col(value);
}

// ---------------------------------------------------------------- methods

std::string KivDetGrid::CellText(std::int32_t& row, std::int32_t& col) {
  DataGrid& grid = *m_DataGrid1;
  try {
    const std::int32_t currentCol = grid.Col();
    const std::int32_t currentRow = grid.Row();
    if (row == -1) row = currentRow;
    if (col == -1) col = currentCol;
    grid.Col(col);
    grid.Row(row);
    std::string text = grid.Text();
    grid.Col(currentCol);
    grid.Row(currentRow);
    return text;
  } catch (const Error&) {
    return {};
  }
}

std::string KivDetGrid::CellText() {
  std::int32_t row = -1, col = -1;
  return CellText(row, col);
}

void KivDetGrid::GetFriendlyColumnNames() {
  if (!m_FriendlyNames.isArray()) return;
  const Array& names = m_FriendlyNames.array();
  std::int32_t last = -1;
  if (!IgnoreErrors([&] { last = names.ubound(1); })) return;

  // The field names upper-cased once; an entry that cannot be read (or is
  // Null) matches nothing.
  std::vector<std::optional<std::string>> fields;
  fields.reserve(last >= 0 ? static_cast<std::size_t>(last) + 1 : 0);
  for (std::int32_t i = 0; i <= last; ++i) {
    std::optional<std::string> upper;
    IgnoreErrors([&] {
      const Variant& name = names.at(i, 0);
      if (!name.isNull()) upper = UCase(CStr(name));
    });
    fields.push_back(std::move(upper));
  }

  kiv::Columns& columns = m_DataGrid1->columns();
  for (std::int32_t c = 0; c < columns.Count(); ++c) {
    IgnoreErrors([&] {
      Column& column = columns.Item(c);
      const std::string caption = UCase(column.Caption());
      for (std::int32_t i = 0; i <= last; ++i) {
        if (fields[static_cast<std::size_t>(i)] != caption) continue;
        column.Caption(CStr(names.at(i, 1)));
        return;  // the first match wins
      }
    });
  }
}

void KivDetGrid::Refresh() {
  m_DataGrid1->Refresh();
}

// ---------------------------------------------------------------- life cycle

void KivDetGrid::InitProperties() {
  m_FriendlyNames = Variant(std::int16_t{0});
  m_BackStyle = 0;
  m_Caption = kNewCaption;
}

void KivDetGrid::ReadProperties(PropertyBag& bag) {
  DataSource(bag.ReadProperty("DataSource", kNoObject));
  m_DataGrid1->DataMember(TextOf(bag.ReadProperty("DataMember", kEmptyText)));
  m_FriendlyNames = bag.ReadVariantProperty("FriendlyNames", kZeroInteger);
  m_DataGrid1->BackColor(ColourValue(bag.ReadProperty("BackColor", kDefaultBack)));
  m_DataGrid1->ForeColor(ColourValue(bag.ReadProperty("ForeColor", kDefaultFore)));
  m_DataGrid1->Enabled(CBool(bag.ReadProperty("Enabled", kTrue)));
  {
    const Variant ambient = Variant(std::make_shared<kiv::Font>(Ambient().Font));
    const Variant font = bag.ReadProperty("Font", ambient);
    auto chosen = ObjectAs<kiv::Font>(font);
    if (!chosen && !font.isNothing()) {
      throw Error(err::TypeMismatch, "KivDetGrid",
                  Extender().Name() + ": property 'Font' does not hold a font.");
    }
    m_DataGrid1->Font(std::move(chosen));
  }
  m_BackStyle = CInt(bag.ReadProperty("BackStyle", kZeroInteger));
  m_Caption = TextOf(bag.ReadVariantProperty("Caption", kZeroInteger));
  m_DataGrid1->BorderStyle(CLng(bag.ReadProperty("BorderStyle", kDefaultBorder)));
}

void KivDetGrid::WriteProperties(PropertyBag& bag) {
  const DataGrid& g = *m_DataGrid1;
  bag.WriteProperty("DataSource", g.DataSource().isObject() ? g.DataSource() : kNoObject,
                    kNoObject);
  bag.WriteProperty("DataMember", Variant(g.DataMember()), kEmptyText);
  bag.WriteProperty("FriendlyNames", m_FriendlyNames, kZeroInteger);
  bag.WriteProperty("BackColor", Variant(g.BackColor()), kDefaultBack);
  bag.WriteProperty("ForeColor", Variant(g.ForeColor()), kDefaultFore);
  bag.WriteProperty("Enabled", Variant(g.Enabled()), kTrue);
  {
    // A font equal to the container's is its default, and is left out.
    const auto ambient = std::make_shared<kiv::Font>(Ambient().Font);
    const Variant def(ambient);
    bag.WriteProperty("Font", g.font() == *ambient ? def : Variant(g.FontPtr()), def);
  }
  bag.WriteProperty("BackStyle", Variant(m_BackStyle), kZeroInteger);
  // The default is the number 0, which a caption of "0" equals.
  bag.WriteProperty("Caption", m_Caption == kNewCaption ? kZeroInteger : Variant(m_Caption),
                    kZeroInteger);
  bag.WriteProperty("BorderStyle", Variant(g.BorderStyle()), kDefaultBorder);
}

void KivDetGrid::Resize() {
  IgnoreErrors([&] { m_DataGrid1->Move(0, 0, Width(), Height()); });
}

// ---------------------------------------------------------------- late binding

const MemberTable& KivDetGrid::memberTable() const {
  return Members();
}

namespace {

// CellText(Row, Col) late-bound: both optional, by reference.
Variant CellTextMember(KivDetGrid& g, std::vector<Variant>& a) {
  std::int32_t row = HasArg(a, 0) ? CLng(Arg(a, 0)) : -1;
  std::int32_t col = HasArg(a, 1) ? CLng(Arg(a, 1)) : -1;
  const std::string text = g.CellText(row, col);
  if (a.size() > 0) a[0] = Variant(row);
  if (a.size() > 1) a[1] = Variant(col);
  return Variant(text);
}

}  // namespace

const MemberTable& KivDetGrid::Members() {
  using B = MemberTable::Builder<KivDetGrid>;
  static const MemberTable table =
      B(&UserControl::Members())
          .objectProperty(
              "DataSource", [](KivDetGrid& g) { return g.DataSource(); },
              [](KivDetGrid& g, const Variant& v) { g.DataSource(v); })
          .property(
              "DataMember", [](KivDetGrid& g) { return Variant(g.DataMember()); },
              [](KivDetGrid& g, const Variant& v) { g.DataMember(CStr(v)); })
          .get("Columns",
               [](KivDetGrid& g) {
                 return Variant(std::static_pointer_cast<Dispatch>(g.DataGrid1().columnsPtr()));
               })
          .property(
              "FriendlyNames", [](KivDetGrid& g) { return g.FriendlyNames(); },
              [](KivDetGrid& g, const Variant& v) { g.FriendlyNames(v); })
          .property(
              "BackColor", [](KivDetGrid& g) { return Variant(g.BackColor()); },
              [](KivDetGrid& g, const Variant& v) { g.BackColor(ColourValue(v)); })
          .property(
              "ForeColor", [](KivDetGrid& g) { return Variant(g.ForeColor()); },
              [](KivDetGrid& g, const Variant& v) { g.ForeColor(ColourValue(v)); })
          .property(
              "Enabled", [](KivDetGrid& g) { return Variant(g.Enabled()); },
              [](KivDetGrid& g, const Variant& v) { g.Enabled(CBool(v)); })
          .objectProperty(
              "Font", [](KivDetGrid& g) { return Variant(g.Font()); },
              [](KivDetGrid& g, const Variant& v) {
                auto font = ObjectAs<kiv::Font>(v);
                if (!v.isNothing() && !font)
                  throw Error(err::TypeMismatch, "KivDetGrid", "Type mismatch: Font needs a font");
                g.Font(std::move(font));
              })
          .property(
              "BorderStyle", [](KivDetGrid& g) { return Variant(g.BorderStyle()); },
              [](KivDetGrid& g, const Variant& v) { g.BorderStyle(CLng(v)); })
          .property(
              "BackStyle", [](KivDetGrid& g) { return Variant(g.BackStyle()); },
              [](KivDetGrid& g, const Variant& v) { g.BackStyle(CInt(v)); })
          .property(
              "Caption", [](KivDetGrid& g) { return Variant(g.Caption()); },
              [](KivDetGrid& g, const Variant& v) { g.Caption(TextOf(v)); })
          .property(
              "Row", [](KivDetGrid& g) { return Variant(g.Row()); },
              [](KivDetGrid& g, const Variant& v) { g.Row(CLng(v)); })
          .property(
              "Col", [](KivDetGrid& g) { return Variant(g.Col()); },
              [](KivDetGrid& g, const Variant& v) { g.Col(CLng(v)); })
          .getIndexed("CellText", CellTextMember)
          .method("CellText", CellTextMember)
          .method("GetFriendlyColumnNames",
                  [](KivDetGrid& g, B::Args&) {
                    g.GetFriendlyColumnNames();
                    return Variant();
                  })
          .method("Refresh",
                  [](KivDetGrid& g, B::Args&) {
                    g.Refresh();
                    return Variant();
                  })
          .build();
  return table;
}

}  // namespace kiv
