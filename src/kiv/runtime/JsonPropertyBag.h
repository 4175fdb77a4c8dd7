#pragma once

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "kiv/runtime/ObjectResolver.h"
#include "kiv/runtime/PropertyBag.h"

namespace kiv {

// A property bag kept as one JSON object, one member per property, in the
// order the properties were first written. This is the bag of a control in a
// form file.
//
// Encoding of values (every Variant subtype comes back exactly as written):
//
//   String              "text"
//   Boolean             true / false
//   Long                5                       (a JSON integer from -2^31 to 2^31-1)
//   Double              2.5, 3.0, 1e+300        (written with a fraction or an exponent)
//                       {"$double": "NaN"}, {"$double": "Infinity"}, {"$double": "-Infinity"}
//   Integer             {"$integer": 5}         (16-bit)
//   Currency            {"$currency": "12.3400"} (exact, up to four decimals)
//   Date                {"$date": "2004-02-29"}, {"$date": "2004-02-29T13:05:00"}
//                       or {"$date": 38046.5451} (the day serial, used when the time
//                       is not a whole second)
//   Null                {"$null": true}
//   Empty               {"$empty": true}
//   Nothing             null
//   Object              {"$control": "ctlSearch"}, {"$connection": "main"}: any
//                       {"$<kind>": "<name>"} whose kind is not one of the tags here
//                       is a reference, turned into an object by the ObjectResolver
//   Array               [1, "a", null]          (one dimension, lower bound 0)
//                       {"$array": {"bounds": [[1, 3]], "items": [...]}}
//                       {"$array": {"bounds": [[0, 1], [0, 2]], "items": [...]}}
//                       (bounds are lower..upper per dimension; items row by row,
//                       the first index varying slowest)
//   bytes               {"$bytes": "AAEC/w=="} (base64)
//
// When reading, a plain JSON integer outside the 32-bit range reads as a
// Double. A JSON object that is none of the above is a malformed value.
//
// Writing a value equal to its default (same subtype and value) removes the
// property from the bag, as the host does; reading it back gives the default.
//
// Property names match without regard to case (a bag holding the same name
// twice in different cases is refused). Reads are recorded: unreadNames()
// lists the stored names no control asked for, so a loader can report them
// as unknown properties.
//
// Reading checks the stored value against the kind of the default, and
// raises kiv::Error(kLibraryError, "PropertyBag", "<owner>, property '<name>':
// ...") when it does not fit:
//   - a String, Empty, Null, Array or bytes default, or the 16-bit Integer
//     default that the host uses for Variant properties (FriendlyNames,
//     Caption): any value but an object or Nothing (Empty, Null, Array: any value);
//   - a Long, Double or Currency default: a number, a Boolean, a date, Empty or
//     a text that IsNumeric accepts;
//   - a Boolean default: a Boolean, a number, Empty or a text that CBool
//     converts ("True", "false", "-1");
//   - a Date default: a date, a number, Empty or a text that IsDate accepts;
//   - an Object default (Nothing or an object): an object or Nothing.
// The value is returned as stored; the control converts it to its property's
// type. ReadVariantProperty skips the check.
class JsonPropertyBag : public PropertyBag {
 public:
  // An empty bag for the control named `owner` (used in every error). The
  // resolver, when given, must outlive the bag's reads and writes of objects.
  explicit JsonPropertyBag(std::string owner, ObjectResolver* resolver = nullptr);
  // A bag over stored values, which must be a JSON object.
  JsonPropertyBag(std::string owner, const nlohmann::ordered_json& values,
                  ObjectResolver* resolver = nullptr);
  JsonPropertyBag(std::string owner, const nlohmann::json& values,
                  ObjectResolver* resolver = nullptr);
  // Parses JSON text; `origin` (a file name) starts the error message of
  // malformed text.
  static JsonPropertyBag Parse(std::string owner, std::string_view text,
                               ObjectResolver* resolver = nullptr, std::string_view origin = {});

  JsonPropertyBag(JsonPropertyBag&&) noexcept;
  JsonPropertyBag& operator=(JsonPropertyBag&&) noexcept;
  ~JsonPropertyBag() override;

  Variant ReadProperty(std::string_view name, const Variant& def) override;
  void WriteProperty(std::string_view name, const Variant& value, const Variant& def) override;
  Variant ReadVariantProperty(std::string_view name, const Variant& def) override;

  const std::string& owner() const;
  void setResolver(ObjectResolver* resolver);

  // Whether a value is stored under the name.
  bool contains(std::string_view name) const;
  // Stored names never read, in stored order.
  std::vector<std::string> unreadNames() const;

  const nlohmann::ordered_json& json() const;
  // The JSON text; indent < 0 gives one line.
  std::string dump(int indent = 2) const;

  // The JSON form of one value, and back (the encoding above). Errors name
  // the owner and the property given.
  static nlohmann::ordered_json Encode(const Variant& value, ObjectResolver* resolver,
                                       std::string_view owner, std::string_view property);
  static Variant Decode(const nlohmann::ordered_json& value, ObjectResolver* resolver,
                        std::string_view owner, std::string_view property);

 private:
  struct Impl;
  Variant read(std::string_view name, const Variant& def, bool check);
  std::unique_ptr<Impl> impl_;
};

}  // namespace kiv
