#include "kiv/runtime/Variant.h"

#include <cmath>

#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {
[[noreturn]] void TypeMismatch() { throw Error(err::TypeMismatch, "Variant"); }
[[noreturn]] void OutOfRange() { throw Error(err::SubscriptOutOfRange, "Variant"); }
}  // namespace

Currency Currency::FromDouble(double value) {
  const double scaled = value * 10000.0;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2233720368547758e18) {
    throw Error(err::Overflow, "Currency");
  }
  return Currency{static_cast<std::int64_t>(std::nearbyint(scaled))};
}

Variant::Variant(Array array) : value_(std::make_shared<Array>(std::move(array))) {}

VarType Variant::type() const {
  switch (value_.index()) {
    case 0:
      return VarType::Empty;
    case 1:
      return VarType::Null;
    case 2:
      return VarType::Integer;
    case 3:
      return VarType::Long;
    case 4:
      return VarType::Double;
    case 5:
      return VarType::Currency;
    case 6:
      return VarType::Date;
    case 7:
      return VarType::String;
    case 8:
      return VarType::Boolean;
    case 9:
      return VarType::Object;
    case 10:
      return VarType::Array;
    default:
      return VarType::ByteArray;
  }
}

std::string Variant::typeName() const {
  switch (type()) {
    case VarType::Empty:
      return "Empty";
    case VarType::Null:
      return "Null";
    case VarType::Integer:
      return "Integer";
    case VarType::Long:
      return "Long";
    case VarType::Double:
      return "Double";
    case VarType::Currency:
      return "Currency";
    case VarType::Date:
      return "Date";
    case VarType::String:
      return "String";
    case VarType::Boolean:
      return "Boolean";
    case VarType::Object:
      return isNothing() ? "Nothing" : std::string(object()->TypeName());
    case VarType::Array:
      return "Variant()";
    case VarType::ByteArray:
      return "Byte()";
  }
  return "Variant";
}

bool Variant::isNumber() const {
  const VarType t = type();
  return t == VarType::Integer || t == VarType::Long || t == VarType::Double ||
         t == VarType::Currency;
}

std::int16_t Variant::integer() const {
  if (auto* p = std::get_if<std::int16_t>(&value_)) return *p;
  TypeMismatch();
}
std::int32_t Variant::lng() const {
  if (auto* p = std::get_if<std::int32_t>(&value_)) return *p;
  TypeMismatch();
}
double Variant::dbl() const {
  if (auto* p = std::get_if<double>(&value_)) return *p;
  TypeMismatch();
}
Currency Variant::currency() const {
  if (auto* p = std::get_if<Currency>(&value_)) return *p;
  TypeMismatch();
}
DateTime Variant::date() const {
  if (auto* p = std::get_if<DateTime>(&value_)) return *p;
  TypeMismatch();
}
bool Variant::boolean() const {
  if (auto* p = std::get_if<bool>(&value_)) return *p;
  TypeMismatch();
}
const std::string& Variant::string() const {
  if (auto* p = std::get_if<std::string>(&value_)) return *p;
  TypeMismatch();
}
const std::shared_ptr<Dispatch>& Variant::object() const {
  if (auto* p = std::get_if<ObjectRef>(&value_)) return p->ptr;
  TypeMismatch();
}
const Array& Variant::array() const {
  if (auto* p = std::get_if<ArrayRef>(&value_)) return **p;
  TypeMismatch();
}
Array& Variant::mutableArray() {
  auto* p = std::get_if<ArrayRef>(&value_);
  if (!p) TypeMismatch();
  if (p->use_count() > 1) *p = std::make_shared<Array>(**p);  // copy on write
  return **p;
}
const Bytes& Variant::bytes() const {
  if (auto* p = std::get_if<std::shared_ptr<const Bytes>>(&value_)) return **p;
  TypeMismatch();
}

bool Variant::operator==(const Variant& other) const {
  if (value_.index() != other.value_.index()) return false;
  switch (type()) {
    case VarType::Object:
      return object() == other.object();
    case VarType::Array:
      return array() == other.array();
    case VarType::ByteArray:
      return bytes() == other.bytes();
    default:
      return value_ == other.value_;
  }
}

Array::Array(std::int32_t lbound, std::int32_t ubound) : dims_(1) {
  if (ubound < lbound - 1) OutOfRange();
  lb_[0] = lbound;
  count_[0] = ubound - lbound + 1;
  items_.resize(static_cast<std::size_t>(count_[0]));
}

Array::Array(std::int32_t lbound0, std::int32_t ubound0, std::int32_t lbound1,
             std::int32_t ubound1)
    : dims_(2) {
  if (ubound0 < lbound0 - 1 || ubound1 < lbound1 - 1) OutOfRange();
  lb_[0] = lbound0;
  lb_[1] = lbound1;
  count_[0] = ubound0 - lbound0 + 1;
  count_[1] = ubound1 - lbound1 + 1;
  items_.resize(static_cast<std::size_t>(count_[0]) * static_cast<std::size_t>(count_[1]));
}

Array Array::Of(std::vector<Variant> values) {
  Array a;
  a.count_[0] = static_cast<std::int32_t>(values.size());
  a.items_ = std::move(values);
  return a;
}

std::int32_t Array::lbound(int dimension) const {
  if (dimension < 1 || dimension > dims_) OutOfRange();
  return lb_[dimension - 1];
}

std::int32_t Array::ubound(int dimension) const {
  if (dimension < 1 || dimension > dims_) OutOfRange();
  return lb_[dimension - 1] + count_[dimension - 1] - 1;
}

std::size_t Array::offset(std::int32_t i) const {
  if (dims_ != 1) OutOfRange();
  const std::int64_t k = static_cast<std::int64_t>(i) - lb_[0];
  if (k < 0 || k >= count_[0]) OutOfRange();
  return static_cast<std::size_t>(k);
}

std::size_t Array::offset(std::int32_t i, std::int32_t j) const {
  if (dims_ != 2) OutOfRange();
  const std::int64_t a = static_cast<std::int64_t>(i) - lb_[0];
  const std::int64_t b = static_cast<std::int64_t>(j) - lb_[1];
  if (a < 0 || a >= count_[0] || b < 0 || b >= count_[1]) OutOfRange();
  return static_cast<std::size_t>(a * count_[1] + b);
}

const Variant& Array::at(std::int32_t i) const { return items_[offset(i)]; }
Variant& Array::at(std::int32_t i) { return items_[offset(i)]; }
const Variant& Array::at(std::int32_t i, std::int32_t j) const { return items_[offset(i, j)]; }
Variant& Array::at(std::int32_t i, std::int32_t j) { return items_[offset(i, j)]; }

bool Array::operator==(const Array& other) const {
  if (dims_ != other.dims_) return false;
  for (int d = 0; d < dims_; ++d) {
    if (lb_[d] != other.lb_[d] || count_[d] != other.count_[d]) return false;
  }
  return items_ == other.items_;
}

}  // namespace kiv
