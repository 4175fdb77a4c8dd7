#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kiv/data/Recordset.h"
#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

// One column of a record set, seen at its current row. A Field belongs to
// the record set it came from; after the record set is closed (or opened
// again), using it raises 3704.
//
// Late-bound members: Name, Type, Value (also the default "Item"-less
// value), OriginalValue, DefinedSize, Precision, NumericScale, ActualSize.
class Field : public Dispatch {
 public:
  // The current row's values as the fields of one open record set hand
  // them out. The record set reads them at the first read of a field after
  // a change (a move, an edit, a save, a sort: anything that may change a
  // value clears `fresh`), so a field read again hands out its value without
  // looking further. Retired when the record set closes, opens again or
  // goes. Shared by the record set and its fields.
  struct Values {
    explicit Values(std::size_t fields) : row(fields) {}
    bool fresh = false;        // `row` holds the current row's values
    bool retired = false;      // the fields raise 3704
    std::vector<Variant> row;  // one value per field, never resized
  };

  Field(std::weak_ptr<Recordset::Impl> owner, std::shared_ptr<Values> values, std::int32_t index,
        std::uint64_t generation);

  const std::string& Name() const;
  // Standard data type code (AdoTypes.h).
  std::int32_t Type() const;
  std::int32_t DefinedSize() const;
  std::uint8_t Precision() const;
  std::uint8_t NumericScale() const;
  // Length of the current value as text or bytes (3021 without a current row).
  std::int32_t ActualSize() const;

  // The current row's value: the pending edit's value while editing. 3021
  // without a current row (BOF, EOF, a deleted row). The reference stays
  // valid until this field is read again or the record set changes; copy
  // the value to keep it. Reading allocates nothing once the field's text
  // buffer is large enough.
  const Variant& Value() const {
    // A walk reads millions of values: the record set's state is looked at
    // once per state, by the first read.
    if (values_->fresh) return *value_;
    return readValue();
  }
  // Writes the pending edit (starting one when none): converted to the
  // field's type; Empty is stored as Null. 3251 on a read-only record set.
  void Value(const Variant& value);
  // The value as read from the database (Null for a new row).
  Variant OriginalValue() const;

  std::int32_t Index() const { return index_; }

  std::string_view TypeName() const override { return "Field"; }
  const MemberTable& memberTable() const override;

 private:
  Recordset::Impl& owner() const;
  const Variant& readValue() const;

  std::weak_ptr<Recordset::Impl> owner_;
  Recordset::Impl* impl_;  // owner_'s object, read without locking owner_
  std::shared_ptr<Values> values_;
  const Variant* value_;  // this field's value in values_
  std::int32_t index_;
  std::uint64_t generation_;
};

}  // namespace kiv
