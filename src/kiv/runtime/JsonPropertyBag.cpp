#include "kiv/runtime/JsonPropertyBag.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>

#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Error.h"

namespace kiv {

using Json = nlohmann::ordered_json;

namespace {

constexpr int kMaxNesting = 64;  // arrays within arrays

[[noreturn]] void Fail(std::string_view owner, std::string_view property, std::string_view what) {
  std::string text;
  if (!owner.empty()) {
    text.append(owner);
    text.append(property.empty() ? ": " : ", ");
  }
  if (!property.empty()) {
    text.append("property '");
    text.append(property);
    text.append("': ");
  }
  text.append(what);
  throw Error(kLibraryError, "PropertyBag", std::move(text));
}

std::string Shorten(std::string text, std::size_t limit = 60) {
  if (text.size() > limit) {
    text.resize(limit);
    text.append("...");
  }
  return text;
}

// ---- dates: day serials (0 = 30 December 1899) and ISO text ----

// Days from 1 January 1970 to a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

const std::int64_t kSerialEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeap(std::int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(std::int64_t y, unsigned m) {
  static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// The serial of a date and a time of day, as the host composes them: the time
// is added to a day on or after the epoch and subtracted from a day before it.
double SerialOf(std::int64_t days, int seconds) {
  const double time = seconds / 86400.0;
  return days < 0 ? static_cast<double>(days) - time : static_cast<double>(days) + time;
}

bool ParseDigits(std::string_view text, std::size_t pos, std::size_t count, int& out) {
  if (pos + count > text.size()) return false;
  out = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    out = out * 10 + (text[i] - '0');
  }
  return true;
}

// "yyyy-mm-dd", optionally followed by "Thh:mm" or "Thh:mm:ss" (or a space for T).
bool ParseIsoDate(std::string_view text, double& serial) {
  int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
  if (!ParseDigits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' ||
      !ParseDigits(text, 5, 2, m) || text[7] != '-' || !ParseDigits(text, 8, 2, d))
    return false;
  if (text.size() > 10) {
    if ((text[10] != 'T' && text[10] != ' ') || !ParseDigits(text, 11, 2, hh) || text.size() < 16 ||
        text[13] != ':' || !ParseDigits(text, 14, 2, mm))
      return false;
    if (text.size() > 16 && (text.size() != 19 || text[16] != ':' || !ParseDigits(text, 17, 2, ss)))
      return false;
  }
  if (y < 100 || m < 1 || m > 12 || d < 1 || static_cast<unsigned>(d) > DaysInMonth(y, m) ||
      hh > 23 || mm > 59 || ss > 59)
    return false;
  serial = SerialOf(DaysFromCivil(y, m, d) - kSerialEpoch, hh * 3600 + mm * 60 + ss);
  return true;
}

// The ISO text of a serial when it names a whole second that reads back to
// exactly the same serial; empty otherwise.
std::string IsoText(double serial) {
  if (!std::isfinite(serial) || std::fabs(serial) > 3e6) return {};
  const double day = std::trunc(serial);
  const double secondsDouble = std::fabs(serial - day) * 86400.0;
  const double seconds = std::round(secondsDouble);
  if (seconds >= 86400.0) return {};
  const auto days = static_cast<std::int64_t>(day);
  std::int64_t y = 0;
  unsigned m = 0, d = 0;
  CivilFromDays(days + kSerialEpoch, y, m, d);
  if (y < 100 || y > 9999) return {};
  const int secs = static_cast<int>(seconds);
  char buffer[64];
  if (secs == 0)
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(y), m, d);
  else
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d", static_cast<int>(y), m, d,
                  secs / 3600, secs / 60 % 60, secs % 60);
  double back = 0;
  if (!ParseIsoDate(buffer, back) || back != serial || std::signbit(back) != std::signbit(serial))
    return {};
  return buffer;
}

// ---- currency text ----

std::string CurrencyText(Currency c) {
  const bool negative = c.scaled < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(c.scaled) : static_cast<std::uint64_t>(c.scaled);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", negative ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  return buffer;
}

bool ParseCurrency(std::string_view text, Currency& out) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  std::uint64_t whole = 0;
  std::size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    if (whole > 922337203685477ULL) return false;
    whole = whole * 10 + static_cast<unsigned>(text[i] - '0');
  }
  std::uint64_t fraction = 0;
  std::size_t fractionDigits = 0;
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      if (++fractionDigits > 4) return false;
      fraction = fraction * 10 + static_cast<unsigned>(text[i] - '0');
    }
  }
  if (i != text.size() || digits + fractionDigits == 0) return false;
  for (std::size_t k = fractionDigits; k < 4; ++k)
    fraction *= 10;
  // The range of a signed 64-bit count of ten-thousandths.
  const std::uint64_t limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
  if (whole > (limit - fraction) / 10000) return false;
  const std::uint64_t magnitude = whole * 10000 + fraction;
  out.scaled =
      negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

// ---- base64 ----

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(const Bytes& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t n =
        (static_cast<std::uint32_t>(bytes[i]) << 16) |
        (i + 1 < bytes.size() ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0) |
        (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    out += kBase64[(n >> 18) & 63];
    out += kBase64[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kBase64[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kBase64[n & 63] : '=';
  }
  return out;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool Base64Decode(std::string_view text, Bytes& out) {
  if (text.size() % 4 != 0) return false;
  out.clear();
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int v[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[i + k];
      if (c == '=' && last && k >= 2) {
        v[k] = 0;
        ++padding;
        continue;
      }
      if (padding > 0) return false;  // data after padding
      v[k] = Base64Value(c);
      if (v[k] < 0) return false;
    }
    const std::uint32_t n =
        (static_cast<std::uint32_t>(v[0]) << 18) | (static_cast<std::uint32_t>(v[1]) << 12) |
        (static_cast<std::uint32_t>(v[2]) << 6) | static_cast<std::uint32_t>(v[3]);
    out.push_back(static_cast<std::uint8_t>(n >> 16));
    if (padding < 2) out.push_back(static_cast<std::uint8_t>(n >> 8));
    if (padding < 1) out.push_back(static_cast<std::uint8_t>(n));
  }
  return true;
}

// ---- encoding ----

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    std::uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static const std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

Json Tagged(const char* tag, Json value) {
  Json out = Json::object();
  out[tag] = std::move(value);
  return out;
}

struct Codec {
  ObjectResolver* resolver;
  std::string_view owner;
  std::string_view property;

  [[noreturn]] void fail(std::string_view what) const { Fail(owner, property, what); }

  Json encode(const Variant& v, int depth) const {
    switch (v.type()) {
      case VarType::Empty:
        return Tagged("$empty", true);
      case VarType::Null:
        return Tagged("$null", true);
      case VarType::Integer:
        return Tagged("$integer", v.integer());
      case VarType::Long:
        return Json(v.lng());
      case VarType::Double: {
        const double d = v.dbl();
        if (std::isnan(d)) return Tagged("$double", "NaN");
        if (std::isinf(d)) return Tagged("$double", d > 0 ? "Infinity" : "-Infinity");
        return Json(d);
      }
      case VarType::Currency:
        return Tagged("$currency", CurrencyText(v.currency()));
      case VarType::Date: {
        const double serial = v.date().serial;
        std::string iso = IsoText(serial);
        if (!iso.empty()) return Tagged("$date", std::move(iso));
        if (!std::isfinite(serial)) fail("a date that is not a finite day number cannot be stored");
        return Tagged("$date", serial);
      }
      case VarType::String:
        if (!IsUtf8(v.string())) fail("a text that is not valid UTF-8 cannot be stored");
        return Json(v.string());
      case VarType::Boolean:
        return Json(v.boolean());
      case VarType::Object: {
        const auto& object = v.object();
        if (!object) return Json(nullptr);
        const std::string type(object->TypeName());
        if (!resolver) fail("cannot store a " + type + " object: objects cannot be stored here");
        auto ref = resolver->nameOf(object);
        if (!ref) fail("cannot store a " + type + " object: the form has no name for it");
        if (ref->kind.empty() || IsValueTag(ref->kind))
          fail("cannot store a " + type + " object as a reference of kind '" + ref->kind + "'");
        return Tagged(("$" + ref->kind).c_str(), ref->name);
      }
      case VarType::Array: {
        if (depth >= kMaxNesting) fail("arrays are nested too deeply to store");
        const Array& a = v.array();
        Json items = Json::array();
        for (const Variant& item : a.items())
          items.push_back(encode(item, depth + 1));
        if (a.dimensions() == 1 && a.lbound(1) == 0) return items;
        Json bounds = Json::array();
        for (int dim = 1; dim <= a.dimensions(); ++dim)
          bounds.push_back(Json::array({a.lbound(dim), a.ubound(dim)}));
        Json body = Json::object();
        body["bounds"] = std::move(bounds);
        body["items"] = std::move(items);
        return Tagged("$array", std::move(body));
      }
      case VarType::ByteArray:
        return Tagged("$bytes", Base64Encode(v.bytes()));
    }
    fail("a value of an unknown subtype cannot be stored");
  }

  static bool IsValueTag(std::string_view kind) {
    for (const char* tag :
         {"integer", "long", "double", "currency", "date", "null", "empty", "array", "bytes"})
      if (kind == tag) return true;
    return false;
  }

  [[noreturn]] void malformed(const Json& value, std::string_view why) const {
    fail("malformed value " + Shorten(value.dump()) + ": " + std::string(why));
  }

  Variant decode(const Json& j, int depth) const {
    switch (j.type()) {
      case Json::value_t::null:
        return Variant::Nothing();
      case Json::value_t::boolean:
        return Variant(j.get<bool>());
      case Json::value_t::string:
        return Variant(j.get<std::string>());
      case Json::value_t::number_integer: {
        const auto n = j.get<std::int64_t>();
        if (n >= std::numeric_limits<std::int32_t>::min() &&
            n <= std::numeric_limits<std::int32_t>::max())
          return Variant(static_cast<std::int32_t>(n));
        return Variant(static_cast<double>(n));
      }
      case Json::value_t::number_unsigned: {
        const auto n = j.get<std::uint64_t>();
        if (n <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
          return Variant(static_cast<std::int32_t>(n));
        return Variant(static_cast<double>(n));
      }
      case Json::value_t::number_float:
        return Variant(j.get<double>());
      case Json::value_t::array: {
        if (depth >= kMaxNesting) malformed(j, "arrays are nested too deeply");
        if (j.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
          malformed(j, "too many items");
        Array a(0, static_cast<std::int32_t>(j.size()) - 1);
        std::int32_t i = 0;
        for (const Json& item : j)
          a.at(i++) = decode(item, depth + 1);
        return Variant(std::move(a));
      }
      case Json::value_t::object:
        return decodeTagged(j, depth);
      default:
        malformed(j, "not a value");
    }
  }

  Variant decodeTagged(const Json& j, int depth) const {
    if (j.size() != 1 || j.begin().key().size() < 2 || j.begin().key()[0] != '$')
      malformed(j, "an object must have exactly one member, a \"$\" tag");
    const std::string tag = j.begin().key().substr(1);
    const Json& body = j.begin().value();
    if (tag == "empty" || tag == "null") {
      if (body != Json(true)) malformed(j, "$" + tag + " takes true");
      return tag == "empty" ? Variant() : Variant(kNull);
    }
    if (tag == "integer" || tag == "long") {
      const bool small = tag == "integer";
      const std::int64_t low = small ? std::numeric_limits<std::int16_t>::min()
                                     : std::numeric_limits<std::int32_t>::min();
      const std::int64_t high = small ? std::numeric_limits<std::int16_t>::max()
                                      : std::numeric_limits<std::int32_t>::max();
      bool ok = body.is_number_integer();
      if (ok && body.is_number_unsigned())
        ok = body.get<std::uint64_t>() <= static_cast<std::uint64_t>(high);
      if (ok) ok = body.get<std::int64_t>() >= low && body.get<std::int64_t>() <= high;
      if (!ok)
        malformed(j, "$" + tag + " takes a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high));
      if (small) return Variant(static_cast<std::int16_t>(body.get<std::int64_t>()));
      return Variant(static_cast<std::int32_t>(body.get<std::int64_t>()));
    }
    if (tag == "double") {
      if (body.is_number()) return Variant(body.get<double>());
      if (body == Json("NaN")) return Variant(std::numeric_limits<double>::quiet_NaN());
      if (body == Json("Infinity")) return Variant(std::numeric_limits<double>::infinity());
      if (body == Json("-Infinity")) return Variant(-std::numeric_limits<double>::infinity());
      malformed(j, "$double takes a number, \"NaN\", \"Infinity\" or \"-Infinity\"");
    }
    if (tag == "currency") {
      Currency c;
      if (body.is_string() && ParseCurrency(body.get_ref<const std::string&>(), c))
        return Variant(c);
      if (body.is_number_integer() && !body.is_number_unsigned() &&
          ParseCurrency(std::to_string(body.get<std::int64_t>()), c))
        return Variant(c);
      if (body.is_number_unsigned() && ParseCurrency(std::to_string(body.get<std::uint64_t>()), c))
        return Variant(c);
      malformed(j, "$currency takes a text such as \"12.3400\" (at most four decimals, in range)");
    }
    if (tag == "date") {
      if (body.is_number()) {
        const double serial = body.get<double>();
        if (std::isfinite(serial)) return Variant(DateTime{serial});
      }
      double serial = 0;
      if (body.is_string() && ParseIsoDate(body.get_ref<const std::string&>(), serial))
        return Variant(DateTime{serial});
      malformed(j, "$date takes \"yyyy-mm-dd\", \"yyyy-mm-ddThh:mm:ss\" or a day number");
    }
    if (tag == "bytes") {
      Bytes bytes;
      if (body.is_string() && Base64Decode(body.get_ref<const std::string&>(), bytes))
        return Variant(std::move(bytes));
      malformed(j, "$bytes takes base64 text");
    }
    if (tag == "array") return decodeArray(j, body, depth);
    // Any other tag is a reference to a named object.
    if (!body.is_string()) malformed(j, "a reference takes the object's name as a text");
    const std::string& name = body.get_ref<const std::string&>();
    if (!resolver) fail("refers to " + tag + " '" + name + "', but objects cannot be read here");
    auto object = resolver->resolve(tag, name);
    if (!object) fail("refers to " + tag + " '" + name + "', which is not known");
    return Variant(std::move(object));
  }

  Variant decodeArray(const Json& j, const Json& body, int depth) const {
    if (depth >= kMaxNesting) malformed(j, "arrays are nested too deeply");
    const char* shape =
        "$array takes {\"bounds\": [[lower, upper]] or [[l1, u1], [l2, u2]], \"items\": [...]}";
    if (!body.is_object() || body.size() != 2 || !body.contains("bounds") ||
        !body.contains("items"))
      malformed(j, shape);
    const Json& bounds = body["bounds"];
    const Json& items = body["items"];
    if (!bounds.is_array() || bounds.empty() || bounds.size() > 2 || !items.is_array())
      malformed(j, shape);
    std::int32_t lb[2] = {0, 0}, ub[2] = {0, 0};
    std::int64_t count = 1;
    for (std::size_t d = 0; d < bounds.size(); ++d) {
      const Json& pair = bounds[d];
      if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number_integer() ||
          !pair[1].is_number_integer())
        malformed(j, shape);
      const std::int64_t low = pair[0].get<std::int64_t>(), high = pair[1].get<std::int64_t>();
      if (low < std::numeric_limits<std::int32_t>::min() ||
          high > std::numeric_limits<std::int32_t>::max() || high < low - 1 ||
          (pair[0].is_number_unsigned() && pair[0].get<std::uint64_t>() > 0x7fffffffULL) ||
          (pair[1].is_number_unsigned() && pair[1].get<std::uint64_t>() > 0x7fffffffULL))
        malformed(j, "array bounds out of range");
      lb[d] = static_cast<std::int32_t>(low);
      ub[d] = static_cast<std::int32_t>(high);
      count *= high - low + 1;
      if (count > static_cast<std::int64_t>(items.size())) break;
    }
    if (count != static_cast<std::int64_t>(items.size()))
      malformed(j, "the number of items does not match the bounds");
    Array a = bounds.size() == 1 ? Array(lb[0], ub[0]) : Array(lb[0], ub[0], lb[1], ub[1]);
    std::size_t k = 0;
    if (bounds.size() == 1) {
      for (std::int32_t i = lb[0]; k < items.size(); ++i)
        a.at(i) = decode(items[k++], depth + 1);
    } else {
      for (std::int32_t i = lb[0]; k < items.size(); ++i)
        for (std::int32_t jj = lb[1]; jj <= ub[1]; ++jj)
          a.at(i, jj) = decode(items[k++], depth + 1);
    }
    return Variant(std::move(a));
  }
};

// ---- the check of a stored value against its default ----

std::string Describe(const Variant& v) {
  switch (v.type()) {
    case VarType::String:
      return "the text \"" + Shorten(v.string(), 40) + "\"";
    case VarType::Object:
      return v.isNothing() ? "Nothing" : "an object reference";
    case VarType::Null:
      return "Null";
    case VarType::Array:
      return "an array";
    case VarType::ByteArray:
      return "bytes";
    default:
      return "a value of type " + v.typeName();
  }
}

// Empty when the stored value fits the default; otherwise what was expected.
std::string Misfit(const Variant& stored, const Variant& def) {
  const VarType t = stored.type();
  const bool isObject = t == VarType::Object;
  switch (def.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Array:
      return {};
    case VarType::String:
      return isObject ? "a text" : "";
    case VarType::Integer:
    case VarType::ByteArray:
      return isObject ? "a value that is not an object" : "";
    case VarType::Object:
      return isObject ? "" : "an object reference or null";
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
      if (stored.isNumber() || t == VarType::Boolean || t == VarType::Date || t == VarType::Empty)
        return {};
      if (stored.isString() && IsNumeric(stored)) return {};
      return "a number";
    case VarType::Boolean:
      if (stored.isNumber() || t == VarType::Boolean || t == VarType::Empty) return {};
      if (stored.isString() && IgnoreErrors([&] { (void)CBool(stored); })) return {};
      return "true or false";
    case VarType::Date:
      if (stored.isNumber() || t == VarType::Date || t == VarType::Empty) return {};
      if (stored.isString() && IsDate(stored)) return {};
      return "a date";
  }
  return {};
}

std::string Lower(std::string_view name) {
  return AsciiLower(name);
}

}  // namespace

struct JsonPropertyBag::Impl {
  std::string owner;
  ObjectResolver* resolver = nullptr;
  Json values = Json::object();
  std::set<std::string> read;  // lower-cased names asked for

  // The stored member whose name matches, or end().
  Json::iterator find(std::string_view name) {
    const std::string key = Lower(name);
    for (auto it = values.begin(); it != values.end(); ++it)
      if (Lower(it.key()) == key) return it;
    return values.end();
  }

  void adopt(Json json) {
    if (!json.is_object())
      Fail(owner, {},
           "the property bag must be a JSON object, not " + std::string(json.type_name()));
    std::set<std::string> seen;
    for (auto it = json.begin(); it != json.end(); ++it) {
      if (!seen.insert(Lower(it.key())).second)
        Fail(owner, it.key(), "is stored more than once (names do not depend on case)");
    }
    values = std::move(json);
  }
};

JsonPropertyBag::JsonPropertyBag(std::string owner, ObjectResolver* resolver)
    : impl_(std::make_unique<Impl>()) {
  impl_->owner = std::move(owner);
  impl_->resolver = resolver;
}

JsonPropertyBag::JsonPropertyBag(std::string owner, const nlohmann::ordered_json& values,
                                 ObjectResolver* resolver)
    : JsonPropertyBag(std::move(owner), resolver) {
  impl_->adopt(values);
}

JsonPropertyBag::JsonPropertyBag(std::string owner, const nlohmann::json& values,
                                 ObjectResolver* resolver)
    : JsonPropertyBag(std::move(owner), resolver) {
  impl_->adopt(Json(values));
}

JsonPropertyBag JsonPropertyBag::Parse(std::string owner, std::string_view text,
                                       ObjectResolver* resolver, std::string_view origin) {
  Json parsed = Json::parse(text.begin(), text.end(), nullptr, false);
  if (parsed.is_discarded()) {
    std::string where(origin);
    if (!where.empty()) where += ": ";
    // Re-parse with exceptions on to get the parser's description of the fault.
    std::string detail;
    try {
      const Json again = Json::parse(text.begin(), text.end());
      (void)again;
    } catch (const nlohmann::json::exception& e) {
      detail = e.what();
    }
    Fail(where + owner, {}, "the property bag is not valid JSON: " + detail);
  }
  return JsonPropertyBag(std::move(owner), parsed, resolver);
}

JsonPropertyBag::JsonPropertyBag(JsonPropertyBag&&) noexcept = default;
JsonPropertyBag& JsonPropertyBag::operator=(JsonPropertyBag&&) noexcept = default;
JsonPropertyBag::~JsonPropertyBag() = default;

Variant JsonPropertyBag::read(std::string_view name, const Variant& def, bool check) {
  impl_->read.insert(Lower(name));
  auto it = impl_->find(name);
  if (it == impl_->values.end()) return def;
  Variant value = Decode(it.value(), impl_->resolver, impl_->owner, name);
  if (check) {
    const std::string expected = Misfit(value, def);
    if (!expected.empty())
      Fail(impl_->owner, name, "expected " + expected + ", found " + Describe(value));
  }
  return value;
}

Variant JsonPropertyBag::ReadProperty(std::string_view name, const Variant& def) {
  return read(name, def, true);
}

Variant JsonPropertyBag::ReadVariantProperty(std::string_view name, const Variant& def) {
  return read(name, def, false);
}

void JsonPropertyBag::WriteProperty(std::string_view name, const Variant& value,
                                    const Variant& def) {
  if (name.empty()) Fail(impl_->owner, {}, "a property needs a name");
  auto it = impl_->find(name);
  if (value == def) {
    if (it != impl_->values.end()) impl_->values.erase(it.key());
    return;
  }
  // Encode first, so a value that cannot be stored leaves the bag as it was.
  Json encoded = Encode(value, impl_->resolver, impl_->owner, name);
  if (it != impl_->values.end() && it.key() == name) {
    it.value() = std::move(encoded);
    return;
  }
  if (it != impl_->values.end()) impl_->values.erase(it.key());
  impl_->values[std::string(name)] = std::move(encoded);
}

const std::string& JsonPropertyBag::owner() const {
  return impl_->owner;
}

void JsonPropertyBag::setResolver(ObjectResolver* resolver) {
  impl_->resolver = resolver;
}

bool JsonPropertyBag::contains(std::string_view name) const {
  return impl_->find(name) != impl_->values.end();
}

std::vector<std::string> JsonPropertyBag::unreadNames() const {
  std::vector<std::string> names;
  for (auto it = impl_->values.begin(); it != impl_->values.end(); ++it)
    if (!impl_->read.count(Lower(it.key()))) names.push_back(it.key());
  return names;
}

const nlohmann::ordered_json& JsonPropertyBag::json() const {
  return impl_->values;
}

std::string JsonPropertyBag::dump(int indent) const {
  return impl_->values.dump(indent);
}

nlohmann::ordered_json JsonPropertyBag::Encode(const Variant& value, ObjectResolver* resolver,
                                               std::string_view owner, std::string_view property) {
  return Codec{resolver, owner, property}.encode(value, 0);
}

Variant JsonPropertyBag::Decode(const nlohmann::ordered_json& value, ObjectResolver* resolver,
                                std::string_view owner, std::string_view property) {
  return Codec{resolver, owner, property}.decode(value, 0);
}

}  // namespace kiv
