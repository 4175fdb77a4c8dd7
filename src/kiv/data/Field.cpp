#include "kiv/data/Field.h"

#include "kiv/data/RecordsetImpl.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

Field::Field(std::weak_ptr<Recordset::Impl> owner, std::shared_ptr<Values> values,
             std::int32_t index, std::uint64_t generation)
    : owner_(std::move(owner)),
      impl_(owner_.lock().get()),
      values_(std::move(values)),
      value_(&values_->row.at(static_cast<std::size_t>(index))),
      index_(index),
      generation_(generation) {}

Recordset::Impl& Field::owner() const {
  // The record set was destroyed, closed or opened again since this field
  // was handed out. (A record set is used by one thread: the state cannot
  // go between this test and the use.)
  if (owner_.expired() || !impl_->open || impl_->generation != generation_)
    throw Error(err::ObjectClosed, "Field");
  return *impl_;
}

const std::string& Field::Name() const {
  return owner().fieldInfo(index_).name;
}
std::int32_t Field::Type() const {
  return owner().fieldInfo(index_).type;
}
std::int32_t Field::DefinedSize() const {
  return owner().fieldInfo(index_).definedSize;
}
std::uint8_t Field::Precision() const {
  return owner().fieldInfo(index_).precision;
}
std::uint8_t Field::NumericScale() const {
  return owner().fieldInfo(index_).numericScale;
}

std::int32_t Field::ActualSize() const {
  const Variant& v = owner().fieldValue(index_);
  if (v.isNull() || v.isEmpty()) return 0;
  if (v.type() == VarType::ByteArray) return static_cast<std::int32_t>(v.bytes().size());
  return static_cast<std::int32_t>(TextOf(v).size());
}

const Variant& Field::readValue() const {
  // The record set retires the values when it closes, opens again or goes:
  // while they are not retired, impl_ is this field's open record set.
  if (values_->retired) throw Error(err::ObjectClosed, "Field");
  return impl_->fieldValue(index_);
}
void Field::Value(const Variant& value) {
  owner().setFieldValue(index_, value);
}
Variant Field::OriginalValue() const {
  return owner().originalValue(index_);
}

const MemberTable& Field::memberTable() const {
  using B = MemberTable::Builder<Field>;
  static const MemberTable table =
      B().get("Name", [](Field& f) { return Variant(f.Name()); })
          .get("Type", [](Field& f) { return Variant(f.Type()); })
          .property(
              "Value", [](Field& f) { return Variant(f.Value()); },
              [](Field& f, const Variant& v) { f.Value(v); })
          .get("OriginalValue", [](Field& f) { return f.OriginalValue(); })
          .get("DefinedSize", [](Field& f) { return Variant(f.DefinedSize()); })
          .get("Precision",
               [](Field& f) { return Variant(static_cast<std::int16_t>(f.Precision())); })
          .get("NumericScale",
               [](Field& f) { return Variant(static_cast<std::int16_t>(f.NumericScale())); })
          .get("ActualSize", [](Field& f) { return Variant(f.ActualSize()); })
          .build();
  return table;
}

}  // namespace kiv
