#include "kiv/shared/Functions.h"

#include <string_view>

#include "kiv/data/AdoTypes.h"
#include "kiv/data/Field.h"
#include "kiv/host/Host.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Error.h"

namespace kiv {

// ---- GetDataFieldName ----

namespace {

// The text of a property read by name; "" when the member is missing or its
// value is not text (a Null, an object).
std::string ReadText(Dispatch& control, std::string_view member) {
  std::string text;
  IgnoreErrors([&] {
    const Variant value = control.get(member);
    text = value.isString() ? value.string() : CStr(value);
  });
  return text;
}

}  // namespace

std::string GetDataFieldName(Dispatch& control) {
  std::string name = ReadText(control, "Data_Field");
  if (!name.empty()) return name;
  return ReadText(control, "DataField");
}

std::string GetDataFieldName(const std::shared_ptr<Dispatch>& control) {
  return control ? GetDataFieldName(*control) : std::string();
}

std::string GetDataFieldName(const Variant& control) {
  if (!control.isObject()) return {};
  return GetDataFieldName(control.object());
}

// ---- AddWhereCondition ----

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// A character that continues a name: letters, digits, _, $, #, @ and every
// byte of a non-ASCII UTF-8 character.
bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' ||
         u == '$' || u == '#' || u == '@' || u >= 0x80;
}

// Whether text at pos holds the word (upper-case ASCII) without regard to
// case, not preceded or followed by a name character.
bool WordAt(std::string_view text, std::size_t pos, std::string_view word) {
  if (pos + word.size() > text.size()) return false;
  if (pos > 0 && IsNameChar(text[pos - 1])) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = text[pos + i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != word[i]) return false;
  }
  const std::size_t end = pos + word.size();
  return end == text.size() || !IsNameChar(text[end]);
}

// ORDER, white space, BY at pos.
bool OrderByAt(std::string_view text, std::size_t pos) {
  if (!WordAt(text, pos, "ORDER")) return false;
  std::size_t i = pos + 5;
  if (i >= text.size() || !IsSpace(text[i])) return false;
  while (i < text.size() && IsSpace(text[i]))
    ++i;
  return WordAt(text, i, "BY");
}

// Walks a statement, passing over quoted texts, quoted and bracketed names
// (a doubled delimiter is an escaped one) and comments, and calls
// visit(pos, depth) for every other character with its parenthesis depth;
// visit returns false to stop. Returns whether the text ends inside a "--"
// comment (which would swallow anything appended).
template <class Visit>
bool ScanStatement(std::string_view s, Visit&& visit) {
  int depth = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      ++i;
      while (i < s.size()) {
        if (s[i] == close) {
          if (i + 1 < s.size() && s[i + 1] == close) {
            i += 2;
            continue;
          }
          break;
        }
        ++i;
      }
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      while (i < s.size() && s[i] != '\n')
        ++i;
      if (i >= s.size()) return true;
      continue;
    }
    if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      const std::size_t close = s.find("*/", i + 2);
      i = close == std::string_view::npos ? s.size() : close + 2;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && depth > 0) --depth;
    if (!visit(i, depth)) return false;
    ++i;
  }
  return false;
}

struct Keywords {
  std::size_t where = std::string::npos;
  std::size_t orderBy = std::string::npos;
};

// The first top-level WHERE and ORDER BY of a statement.
Keywords FindKeywords(std::string_view s) {
  Keywords found;
  ScanStatement(s, [&](std::size_t i, int depth) {
    if (depth != 0) return true;
    if (found.where == std::string::npos && WordAt(s, i, "WHERE")) {
      found.where = i;
    } else if (OrderByAt(s, i)) {
      found.orderBy = i;
      return false;  // the ordering part runs to the end
    }
    return true;
  });
  return found;
}

bool IsBlank(std::string_view text) {
  for (char c : text)
    if (!IsSpace(c)) return false;
  return true;
}

// What a condition holds at its top level that a plain " AND " would change
// the meaning of: an OR (AND binds tighter), or a "--" comment still open at
// its end (it would swallow whatever is appended).
struct ConditionShape {
  bool topLevelOr = false;
  bool endsInComment = false;
};

ConditionShape ShapeOf(std::string_view s) {
  ConditionShape shape;
  shape.endsInComment = ScanStatement(s, [&](std::size_t i, int depth) {
    if (depth == 0 && WordAt(s, i, "OR")) shape.topLevelOr = true;
    return true;
  });
  return shape;
}

// A condition as it goes into an "existing AND new" filter: unchanged when
// an AND cannot change its meaning, else bracketed (a top-level OR) and with
// a line break closing a trailing "--" comment.
std::string Guarded(std::string_view condition, bool bracketOr) {
  const ConditionShape shape = ShapeOf(condition);
  std::string out;
  if (shape.topLevelOr && bracketOr) {
    out = "(";
    out.append(condition);
    if (shape.endsInComment) out += '\n';
    out += ')';
    return out;
  }
  out.assign(condition);
  if (shape.endsInComment) out += '\n';
  return out;
}

// The existing "WHERE ..." filter, guarded the same way; its blanks are kept
// around the bracketed part so that ordinary statements keep their spacing.
std::string GuardedFilter(std::string_view filter) {
  std::string_view body = filter.substr(5);  // after WHERE
  const ConditionShape shape = ShapeOf(body);
  if (!shape.topLevelOr && !shape.endsInComment) return std::string(filter);
  std::size_t lead = 0;
  while (lead < body.size() && IsSpace(body[lead]))
    ++lead;
  std::size_t end = body.size();
  if (!shape.endsInComment)
    while (end > lead && IsSpace(body[end - 1]))
      --end;
  std::string out(filter.substr(0, 5 + lead));
  out += Guarded(body.substr(lead, end - lead), true);
  out.append(body.substr(end));
  return out;
}

}  // namespace

std::string AddWhereCondition(const std::string& statement, const std::string& condition) {
  if (IsBlank(condition)) return statement;
  const Keywords k = FindKeywords(statement);
  const std::size_t orderPos = k.orderBy == std::string::npos ? statement.size() : k.orderBy;
  const std::size_t wherePos = k.where == std::string::npos ? orderPos : k.where;

  std::string result;
  result.reserve(statement.size() + condition.size() + 16);
  result.append(statement, 0, wherePos);
  result += ' ';
  if (wherePos == orderPos) {
    result += "WHERE ";
    result += Guarded(condition, false);
  } else {
    result += GuardedFilter(std::string_view(statement).substr(wherePos, orderPos - wherePos));
    result += " AND ";
    result += Guarded(condition, true);
  }
  result += ' ';
  result.append(statement, orderPos, std::string::npos);
  return result;
}

// ---- FieldTypeCategory ----

std::int32_t FieldTypeCategoryOf(std::int32_t adoType) {
  switch (adoType) {
    case adSmallInt:
    case adInteger:
    case adSingle:
    case adDouble:
    case adCurrency:
    case adDecimal:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adUnsignedSmallInt:
    case adUnsignedInt:
    case adBigInt:
    case adUnsignedBigInt:
    case adNumeric:
      return kCategoryNumber;
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
      return kCategoryDate;
    case adBSTR:
    case adChar:
    case adWChar:
    case adVarChar:
    case adLongVarChar:
    case adVarWChar:
    case adLongVarWChar:
      return kCategoryText;
    case adBoolean:
      return kCategoryBoolean;
    default:
      return kCategoryOther;
  }
}

namespace {

// Runs readType; a failure is reported to the user and gives category 0.
template <class F>
std::int32_t CategoryOrReport(F&& readType) {
  try {
    return FieldTypeCategoryOf(readType());
  } catch (const Error& e) {
    Host::Current().MsgBox("The following error occurred while searching: \r\n" +
                               std::to_string(e.number()) + " - " + e.description(),
                           vb::vbCritical + vb::vbOKOnly, "Search Error");
    return kCategoryOther;
  }
}

}  // namespace

std::int32_t FieldTypeCategory(Dispatch& field) {
  return CategoryOrReport([&] { return CLng(field.get("Type")); });
}

std::int32_t FieldTypeCategory(const std::shared_ptr<Dispatch>& field) {
  return CategoryOrReport([&] {
    if (!field) throw Error(err::ObjectNotSet, "KivControls");
    return CLng(field->get("Type"));
  });
}

std::int32_t FieldTypeCategory(const Variant& field) {
  return CategoryOrReport([&] {
    if (!field.isObject()) throw Error(err::ObjectRequired, "KivControls");
    if (!field.object()) throw Error(err::ObjectNotSet, "KivControls");
    return CLng(field.object()->get("Type"));
  });
}

std::int32_t FieldTypeCategory(const Field& field) {
  return CategoryOrReport([&] { return field.Type(); });
}

}  // namespace kiv
