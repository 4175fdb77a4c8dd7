#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kiv {

class Dispatch;
class Array;

// Subtypes of a Variant, numbered as the host's VarType numbers them.
enum class VarType : std::int32_t {
  Empty = 0,
  Null = 1,
  Integer = 2,  // 16-bit
  Long = 3,     // 32-bit
  Double = 5,
  Currency = 6,
  Date = 7,
  String = 8,
  Object = 9,
  Boolean = 11,
  Array = 8192 + 12,      // array of Variant, one or two dimensions
  ByteArray = 8192 + 17,  // raw bytes (binary field values)
};

// The marker for a Null value: Variant(kNull).
struct NullValue {
  bool operator==(const NullValue&) const = default;
};
inline constexpr NullValue kNull{};

// A fixed-point amount with four decimals, as the host's Currency stores it.
struct Currency {
  std::int64_t scaled = 0;                   // value × 10,000
  static Currency FromDouble(double value);  // rounds half to even; raises 6 when out of range
  double ToDouble() const { return static_cast<double>(scaled) / 10000.0; }
  bool operator==(const Currency&) const = default;
};

// A date and time as the host stores it: days since 30 December 1899, with
// the time of day as the fraction.
struct DateTime {
  double serial = 0.0;
  bool operator==(const DateTime&) const = default;
};

using Bytes = std::vector<std::uint8_t>;

// A tagged value with the host's subtypes. Text is UTF-8. An Object holds a
// shared reference to a Dispatch, or nothing (a null pointer is the host's
// Nothing). Arrays have value semantics: copying a Variant copies its array
// (lazily, on the first write through mutableArray()).
class Variant {
 public:
  Variant() = default;  // Empty
  Variant(NullValue) : value_(NullValue{}) {}
  Variant(std::int16_t v) : value_(v) {}
  Variant(std::int32_t v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(Currency v) : value_(v) {}
  Variant(DateTime v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(std::shared_ptr<Dispatch> v) : value_(ObjectRef{std::move(v)}) {}
  template <class T>
  requires std::derived_from<T, Dispatch> Variant(std::shared_ptr<T> v)
      : value_(ObjectRef{std::shared_ptr<Dispatch>(std::move(v))}) {}
  Variant(Array array);
  Variant(Bytes bytes) : value_(std::make_shared<const Bytes>(std::move(bytes))) {}

  // Nothing: an Object subtype holding no object.
  static Variant Nothing() { return Variant(std::shared_ptr<Dispatch>()); }

  // Makes this a String holding `text`, reusing the text buffer it already
  // has: a value read over and over into the same Variant stops allocating
  // once the buffer is large enough.
  void assignText(std::string_view text) {
    if (auto* s = std::get_if<std::string>(&value_))
      s->assign(text);
    else
      value_.emplace<std::string>(text);
  }
  // Sets a value of a plain subtype in place: Null, Integer, Long, Double,
  // Currency, Date or Boolean (cheaper than assigning a new Variant when the
  // subtype stays the same).
  template <class T>
  requires(std::same_as<T, NullValue> || std::same_as<T, std::int16_t> ||
           std::same_as<T, std::int32_t> || std::same_as<T, double> || std::same_as<T, Currency> ||
           std::same_as<T, DateTime> || std::same_as<T, bool>) void assign(T v) {
    if (auto* p = std::get_if<T>(&value_))
      *p = v;
    else
      value_.template emplace<T>(v);
  }

  VarType type() const;
  // The host's TypeName for the subtype ("Integer", "String", "Nothing", "Variant()", ...).
  std::string typeName() const;

  bool isEmpty() const { return std::holds_alternative<std::monostate>(value_); }
  bool isNull() const { return std::holds_alternative<NullValue>(value_); }
  bool isString() const { return std::holds_alternative<std::string>(value_); }
  bool isObject() const { return std::holds_alternative<ObjectRef>(value_); }
  bool isNothing() const { return isObject() && !std::get<ObjectRef>(value_).ptr; }
  bool isArray() const { return std::holds_alternative<ArrayRef>(value_); }
  // Integer, Long, Double, Currency (the numeric subtypes; Boolean and Date excluded).
  bool isNumber() const;

  // Exact accessors: each raises error 13 (Type mismatch) when the subtype differs.
  // Use the conversions (CStr, CLng, ...) to convert between subtypes.
  std::int16_t integer() const;
  std::int32_t lng() const;
  double dbl() const;
  Currency currency() const;
  DateTime date() const;
  bool boolean() const;
  const std::string& string() const;
  const std::shared_ptr<Dispatch>& object() const;
  const Array& array() const;
  Array& mutableArray();
  const Bytes& bytes() const;

  // Structural equality: the same subtype and the same value (objects by
  // identity, arrays element by element). Not the host's "=" operator.
  bool operator==(const Variant& other) const;

 private:
  struct ObjectRef {
    std::shared_ptr<Dispatch> ptr;
    bool operator==(const ObjectRef&) const = default;  // identity
  };
  using ArrayRef = std::shared_ptr<Array>;
  std::variant<std::monostate, NullValue, std::int16_t, std::int32_t, double, Currency, DateTime,
               std::string, bool, ObjectRef, ArrayRef, std::shared_ptr<const Bytes>>
      value_;
};

// An array of Variants with one or two dimensions, each with its own lower
// bound, stored row-major (the first index varies slowest).
class Array {
 public:
  Array() = default;  // one dimension, no elements (ubound = lbound - 1)
  // One dimension, indexes lbound..ubound (ubound may be lbound - 1: empty).
  Array(std::int32_t lbound, std::int32_t ubound);
  // Two dimensions: first index lbound0..ubound0, second lbound1..ubound1.
  Array(std::int32_t lbound0, std::int32_t ubound0, std::int32_t lbound1, std::int32_t ubound1);
  // A one-dimensional array indexed from 0 holding the given values.
  static Array Of(std::vector<Variant> values);

  int dimensions() const { return dims_; }
  // dimension is 1 or 2 (as the host's LBound/UBound number them); raises 9 otherwise.
  std::int32_t lbound(int dimension = 1) const;
  std::int32_t ubound(int dimension = 1) const;
  std::size_t size() const { return items_.size(); }

  // Element access by index; raises 9 (Subscript out of range) outside the
  // bounds or with the wrong number of indexes.
  const Variant& at(std::int32_t i) const;
  Variant& at(std::int32_t i);
  const Variant& at(std::int32_t i, std::int32_t j) const;
  Variant& at(std::int32_t i, std::int32_t j);

  const std::vector<Variant>& items() const { return items_; }

  bool operator==(const Array& other) const;

 private:
  std::size_t offset(std::int32_t i) const;
  std::size_t offset(std::int32_t i, std::int32_t j) const;

  int dims_ = 1;
  std::int32_t lb_[2] = {0, 0};
  std::int32_t count_[2] = {0, 0};
  std::vector<Variant> items_;
};

}  // namespace kiv
