#include "kivform/FormGenerator.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <vector>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Connection.h"
#include "kiv/data/Driver.h"
#include "kiv/form_controller/KivFormControl.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Error.h"
#include "kiv/shared/Functions.h"

namespace kivform {

using Json = nlohmann::ordered_json;

namespace {

// The layout, in twips.
constexpr double kMargin = 120;
constexpr double kFirstRow = 720;  // below the bar
constexpr double kRowPitch = 360;
constexpr double kRowHeight = 285;
constexpr double kGap = 120;        // between a label and its editor
constexpr double kColumnGap = 360;  // between two columns of fields
constexpr double kCharWidth = 105;  // an average character of the screen's font
constexpr std::size_t kRowsPerColumn = 12;
constexpr double kSearchWidth = 510, kSearchHeight = 480;

// Type_Of_Control.
enum Editor { kText = 0, kNumber = 1, kDate = 2, kCheck = 3 };

struct FieldPlan {
  const kiv::TableColumn* column = nullptr;
  std::string name;     // the controls' name after their prefix
  std::string caption;  // the label's caption (mnemonic marks doubled)
  int editor = kText;
  double width = 0;
  std::string dataFormat;
};

[[noreturn]] void Fail(std::string text) {
  throw kiv::Error(kiv::kLibraryError, "kivform", std::move(text));
}

// A control name from a column name: letters, digits and underscores, unique
// on the form without regard to case.
std::string UniqueName(const std::string& column, std::set<std::string>& used) {
  std::string base;
  for (unsigned char c : column)
    base.push_back(std::isalnum(c) && c < 0x80 ? static_cast<char>(c) : '_');
  if (base.empty()) base = "Field";
  std::string name = base;
  for (int n = 2; used.contains(kiv::AsciiLower(name)); ++n)
    name = base + std::to_string(n);
  used.insert(kiv::AsciiLower(name));
  return name;
}

// A label shows '&' as a mnemonic mark; a name that holds one shows it.
std::string CaptionText(const std::string& text) {
  std::string out;
  for (char c : text) {
    out.push_back(c);
    if (c == '&') out.push_back('&');
  }
  return out;
}

std::size_t Characters(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// Twips in whole pixels at 96 DPI, as a form file writes them.
long Whole(double twips) {
  return std::lround(twips / 15) * 15;
}

// The friendly names of the table's fields (lower-case field name ->
// friendly name), from rows of TableName, FieldName, FriendlyName.
std::vector<std::pair<std::string, std::string>> ReadFriendlyNames(kiv::Driver& driver,
                                                                   const kiv::TableSchema& friendly,
                                                                   const std::string& optionName,
                                                                   const std::string& table,
                                                                   const std::string& reference) {
  kiv::ResultSet rows;
  try {
    rows = driver.query("SELECT TableName, FieldName, FriendlyName FROM " + friendly.reference);
  } catch (const kiv::Error& e) {
    Fail("--friendly-names " + optionName +
         ": the table needs the columns TableName, FieldName and FriendlyName: " + e.description());
  }
  std::vector<std::pair<std::string, std::string>> names;
  const std::string wanted = kiv::AsciiLower(table), alsoWanted = kiv::AsciiLower(reference);
  for (std::size_t r = 0; r < rows.rowCount(); ++r) {
    const std::string tableName = kiv::AsciiLower(kiv::TextOf(rows.at(r, 0)));
    if (tableName != wanted && tableName != alsoWanted) continue;
    names.emplace_back(kiv::AsciiLower(kiv::TextOf(rows.at(r, 1))), kiv::TextOf(rows.at(r, 2)));
  }
  return names;
}

FieldPlan PlanField(const kiv::TableColumn& column, const std::string& tableName,
                    std::ostream& notes) {
  FieldPlan plan;
  plan.column = &column;
  const kiv::ColumnInfo& info = column.info;
  switch (kiv::FieldTypeCategoryOf(info.type)) {
    case kiv::kCategoryText:
      plan.editor = kText;
      plan.width = info.definedSize > 0
                       ? std::clamp(info.definedSize * kCharWidth * 0.8 + 240, 1500.0, 6000.0)
                       : 4000;
      break;
    case kiv::kCategoryNumber:
      plan.editor = kNumber;
      plan.width = 1500;
      // Amounts show their decimals: money with two, a NUMERIC(p,s) with s.
      if (info.type == kiv::adCurrency || kiv::NumericAsCurrency(info)) {
        const int scale = info.type == kiv::adCurrency ? 2 : info.numericScale;
        if (scale > 0) plan.dataFormat = "0." + std::string(static_cast<std::size_t>(scale), '0');
      }
      break;
    case kiv::kCategoryDate:
      plan.editor = kDate;
      plan.width = 1500;
      break;
    case kiv::kCategoryBoolean:
      plan.editor = kCheck;
      plan.width = 405;
      break;
    default:
      plan.editor = kText;
      plan.width = 4000;
      notes << "kivform: note: column '" << info.name << "' of " << tableName << " has the type "
            << (column.declaredType.empty() ? "(none declared)" : "'" + column.declaredType + "'")
            << ", which no field editor shows; it gets a text editor\n";
      break;
  }
  return plan;
}

}  // namespace

FormGenerator::FormGenerator(kiv::Connection& connection, std::string uri)
    : connection_(connection), uri_(std::move(uri)) {}

Json FormGenerator::generate(const std::string& table, const std::string& friendlyNames,
                             std::ostream& notes) {
  kiv::Driver& driver = connection_.driver();
  const kiv::TableSchema schema = driver.describeTable(table);
  if (!schema.exists) Fail("--new: the database has no table or view named '" + table + "'");
  if (schema.columns.empty()) Fail("--new: the table '" + table + "' has no columns");

  std::vector<std::pair<std::string, std::string>> friendly;
  std::string translator;
  if (!friendlyNames.empty()) {
    const kiv::TableSchema names = driver.describeTable(friendlyNames);
    if (!names.exists)
      Fail("--friendly-names " + friendlyNames +
           ": the database has no table or view of that name");
    friendly = ReadFriendlyNames(driver, names, friendlyNames, table, schema.reference);
    translator = names.reference;
  }

  // The fields, their captions and controls.
  std::set<std::string> used{"ctlform", "ctlsearch"};
  std::vector<FieldPlan> fields;
  for (const kiv::TableColumn& column : schema.columns) {
    FieldPlan plan = PlanField(column, table, notes);
    plan.name = UniqueName(column.info.name, used);
    std::string caption = column.info.name;
    for (const auto& [field, name] : friendly)
      if (field == kiv::AsciiLower(column.info.name) && !name.empty()) caption = name;
    plan.caption = CaptionText(caption);
    fields.push_back(std::move(plan));
  }

  // The key: the record's identity, the search's return fields and the order.
  std::vector<const kiv::TableColumn*> key;
  for (const kiv::TableColumn& column : schema.columns)
    if (column.keyPosition > 0) key.push_back(&column);
  std::sort(key.begin(), key.end(),
            [](auto* a, auto* b) { return a->keyPosition < b->keyPosition; });
  std::string returnFields;
  bool searchable = !key.empty();
  for (const kiv::TableColumn* column : key) {
    searchable = searchable && column->plainName;
    returnFields += (returnFields.empty() ? "" : ",") + column->info.name;
  }
  if (key.empty()) {
    notes << "kivform: note: " << table
          << " has no primary key, so the screen has no search (a search finds a record "
             "by its key)\n";
  } else if (!searchable) {
    notes << "kivform: note: a key column of " << table
          << " has a name SQL text must quote, so the screen has no search (a search finds "
             "a record by its key)\n";
    returnFields.clear();
  }

  // Columns of at most kRowsPerColumn fields, filled evenly, top to bottom.
  const std::size_t columns = (fields.size() + kRowsPerColumn - 1) / kRowsPerColumn;
  const std::size_t rows = (fields.size() + columns - 1) / columns;
  const double barWidth =
      std::round(kiv::KivFormControl::kInitialHeight * kiv::KivFormControl::kWidthPerHeight);
  Json controls = Json::array();
  Json controller = {{"type", "KivFormControl"},
                     {"name", "ctlForm"},
                     {"left", Whole(kMargin)},
                     {"top", Whole(kMargin)},
                     {"width", std::lround(barWidth)},
                     {"height", std::lround(kiv::KivFormControl::kInitialHeight)},
                     {"tabIndex", 0}};
  Json properties = {{"Source_Connection", {{"$connection", "main"}}},
                     {"Source_Table", schema.reference},
                     {"Source_Fields", "*"}};
  if (!returnFields.empty()) properties["SearchReturnFields"] = returnFields;
  if (!translator.empty()) properties["FieldNameTranslatorTable"] = translator;
  properties["SecurityLevel"] = 2;
  if (searchable) properties["SearchControl"] = {{"$control", "ctlSearch"}};
  controller["properties"] = properties;
  controls.push_back(controller);
  const double searchLeft = kMargin + barWidth + 2 * kGap;
  if (searchable) {
    controls.push_back({{"type", "KivSearch"},
                        {"name", "ctlSearch"},
                        {"left", Whole(searchLeft)},
                        {"top", Whole(kMargin)},
                        {"width", std::lround(kSearchWidth)},
                        {"height", std::lround(kSearchHeight)},
                        {"visible", false}});
  }

  double left = kMargin, right = searchLeft + kSearchWidth;
  int tabIndex = 1;
  for (std::size_t c = 0; c < columns; ++c) {
    const std::size_t first = c * rows, last = std::min(fields.size(), first + rows);
    double labelWidth = 1200, editorWidth = 0;
    for (std::size_t i = first; i < last; ++i) {
      labelWidth = std::max(
          labelWidth, static_cast<double>(Whole(Characters(fields[i].caption) * kCharWidth + 120)));
      editorWidth = std::max(editorWidth, fields[i].width);
    }
    labelWidth = std::min(labelWidth, 3600.0);
    for (std::size_t i = first; i < last; ++i) {
      const FieldPlan& f = fields[i];
      const kiv::TableColumn& column = *f.column;
      const double top = kFirstRow + static_cast<double>(i - first) * kRowPitch;
      controls.push_back({{"type", "Label"},
                          {"name", "lbl" + f.name},
                          {"left", Whole(left)},
                          {"top", Whole(top)},
                          {"width", Whole(labelWidth)},
                          {"height", Whole(kRowHeight)},
                          {"properties", {{"Caption", f.caption}}}});
      Json uni = {{"type", "KivUni"},
                  {"name", "uni" + f.name},
                  {"left", Whole(left + labelWidth + kGap)},
                  {"top", Whole(top)},
                  {"width", Whole(f.width)},
                  {"height", Whole(kRowHeight)},
                  {"tabIndex", tabIndex++}};
      if (!f.dataFormat.empty()) uni["dataFormat"] = f.dataFormat;
      Json props = {{"Data_Field", column.info.name}};
      if (f.editor != kText) props["Type_Of_Control"] = f.editor;
      if (column.notNull) props["Required_Field"] = true;
      if (column.keyPosition > 0) props["Primary_Key_Field"] = true;
      if (f.editor == kText && column.info.definedSize > 0)
        props["MaxLength"] = column.info.definedSize;
      uni["properties"] = props;
      controls.push_back(uni);
    }
    const double columnRight = left + labelWidth + kGap + editorWidth;
    right = std::max(right, columnRight);
    left = static_cast<double>(Whole(columnRight + kColumnGap));
  }

  Json form;
  form["caption"] = table;
  form["width"] = Whole(right + kMargin);
  form["height"] = Whole(kFirstRow + static_cast<double>(rows) * kRowPitch + kMargin);
  form["connections"] = {{"main", uri_}};
  form["controls"] = controls;
  form["onLoad"] = Json::array({"call ctlForm.OpenRecordset \"\""});
  return form;
}

}  // namespace kivform
