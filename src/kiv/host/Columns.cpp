#include "kiv/host/Columns.h"

#include "kiv/host/DataGrid.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {
[[noreturn]] void OutOfRange(const std::string& what) {
  throw Error(err::SubscriptOutOfRange, "DataGrid",
              "Subscript out of range: there is no column " + what);
}
}  // namespace

Column& Columns::Item(std::int32_t index) const {
  return *ItemPtr(index);
}

std::shared_ptr<Column> Columns::ItemPtr(std::int32_t index) const {
  if (index < 0 || index >= Count()) OutOfRange(std::to_string(index));
  return items_[static_cast<std::size_t>(index)];
}

Column& Columns::Item(std::string_view name) const {
  const std::string wanted = AsciiLower(name);
  for (const auto& c : items_) {
    if (AsciiLower(c->Caption()) == wanted) return *c;
  }
  for (const auto& c : items_) {
    if (AsciiLower(c->DataField()) == wanted) return *c;
  }
  OutOfRange("'" + std::string(name) + "'");
}

Column& Columns::Add(std::int32_t index) {
  if (index < -1 || index > Count()) OutOfRange(std::to_string(index));
  if (index == -1) index = Count();
  auto column = std::make_shared<Column>(grid_, "", "");
  items_.insert(items_.begin() + index, column);
  if (grid_) grid_->columnChanged("Columns");
  return *column;
}

void Columns::Remove(std::int32_t index) {
  auto column = ItemPtr(index);
  items_.erase(items_.begin() + index);
  column->grid_ = nullptr;
  if (grid_) grid_->columnChanged("Columns");
}

void Columns::clearAll() {
  for (const auto& c : items_)
    c->grid_ = nullptr;
  items_.clear();
}

const MemberTable& Columns::memberTable() const {
  using B = MemberTable::Builder<Columns>;
  static const MemberTable table =
      B().get("Count", [](Columns& c) { return Variant(c.Count()); })
          .getIndexed("Item",
                      [](Columns& c, B::Args& a) {
                        const Variant& key = Arg(a, 0);
                        if (key.isString()) {
                          Column& col = c.Item(key.string());
                          return Variant(col.weak_from_this().lock());
                        }
                        return Variant(std::static_pointer_cast<Dispatch>(c.ItemPtr(CLng(key))));
                      })
          .method("Add",
                  [](Columns& c, B::Args& a) {
                    Column& col = c.Add(HasArg(a, 0) ? CLng(Arg(a, 0)) : -1);
                    return Variant(col.weak_from_this().lock());
                  })
          .method("Remove",
                  [](Columns& c, B::Args& a) {
                    c.Remove(CLng(Arg(a, 0)));
                    return Variant();
                  })
          .build();
  return table;
}

}  // namespace kiv
