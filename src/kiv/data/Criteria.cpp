#include "kiv/data/Criteria.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/Locale.h"

namespace kiv {

namespace {

// ---------------------------------------------------------------------------
// Text helpers. Text comparisons ignore case by comparing upper-cased UTF-8
// byte by byte. ASCII text is upper-cased on the fly; text holding other
// characters is folded once with the runtime's Unicode-aware UCase.

inline char Up(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool HasNonAscii(std::string_view s) {
  const char* p = s.data();
  std::size_t n = s.size();
  while (n >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if (w & 0x8080808080808080ULL) return true;
    p += 8;
    n -= 8;
  }
  while (n > 0) {
    if (static_cast<unsigned char>(*p) >= 0x80) return true;
    ++p;
    --n;
  }
  return false;
}

std::string Fold(std::string_view s) {
  if (HasNonAscii(s)) return UCase(s);
  std::string out(s);
  for (char& c : out)
    c = Up(c);
  return out;
}

// Length of the UTF-8 sequence that starts with `lead`; a stray continuation
// or invalid byte counts as one character.
inline std::size_t Utf8Length(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF8) return 4;
  return 1;
}

// Compares ASCII `text` (upper-cased on the fly) with the folded `upper`.
int CompareAscii(std::string_view text, std::string_view upper) {
  const std::size_t n = std::min(text.size(), upper.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto a = static_cast<unsigned char>(Up(text[i]));
    const auto b = static_cast<unsigned char>(upper[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  if (text.size() == upper.size()) return 0;
  return text.size() < upper.size() ? -1 : 1;
}

int CompareFolded(std::string_view text, std::string_view upper) {
  if (!HasNonAscii(text)) return CompareAscii(text, upper);
  const std::string folded = UCase(text);
  const int c = std::string_view(folded).compare(upper);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Equality without regard to case, with an early out on the length for
// ASCII text (the common case in a find over many rows).
bool EqualFolded(std::string_view text, std::string_view upper) {
  if (text.size() == upper.size()) {
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (static_cast<unsigned char>(c) >= 0x80) break;
      if (Up(c) != upper[i]) return false;
    }
    if (i == text.size()) return true;
  } else if (!HasNonAscii(text)) {
    return false;
  }
  return CompareFolded(text, upper) == 0;
}

// ---------------------------------------------------------------------------
// LIKE patterns, folded and split once into literal runs, stars and single
// character wildcards.

struct PatternToken {
  enum Kind : std::uint8_t { Literal, Star, One } kind;
  std::string text;  // Literal only (folded)
};

class Pattern {
 public:
  enum class Shape : std::uint8_t { Exact, Prefix, Suffix, Contains, Any, General };

  explicit Pattern(std::string_view folded) {
    std::string run;
    auto flush = [&] {
      if (!run.empty()) tokens_.push_back({PatternToken::Literal, std::move(run)});
      run.clear();
    };
    for (char c : folded) {
      if (c == '*' || c == '%') {
        flush();
        if (tokens_.empty() || tokens_.back().kind != PatternToken::Star)
          tokens_.push_back({PatternToken::Star, {}});
      } else if (c == '_' || c == '?') {
        flush();
        tokens_.push_back({PatternToken::One, {}});
      } else {
        run.push_back(c);
      }
    }
    flush();
    Classify();
  }

  // Matches `text`: ASCII text is compared upper-cased on the fly, other
  // text is folded first.
  bool Matches(std::string_view text) const {
    if (shape_ == Shape::Contains && asciiLiteral_) {
      // One pass that also watches for non-ASCII text: a hit among ASCII
      // bytes stays a hit once the text is folded, so only a miss over text
      // with other characters needs the fold.
      const std::size_t n = text.size();
      const std::size_t m = lit_.size();
      for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) return MatchAscii(UCase(text));
        if ((c == firstUpper_ || c == firstLower_) && n - i >= m && StartsWith(text, i, lit_))
          return true;
      }
      return false;
    }
    if (HasNonAscii(text)) {
      const std::string folded = UCase(text);
      return MatchAscii(folded);  // Up() leaves folded text unchanged
    }
    return MatchAscii(text);
  }

 private:
  void Classify() {
    const auto is = [&](std::size_t i, PatternToken::Kind k) { return tokens_[i].kind == k; };
    const std::size_t n = tokens_.size();
    if (n == 0) {
      shape_ = Shape::Exact;  // the empty pattern matches the empty text
    } else if (n == 1 && is(0, PatternToken::Star)) {
      shape_ = Shape::Any;
    } else if (n == 1 && is(0, PatternToken::Literal)) {
      shape_ = Shape::Exact, lit_ = tokens_[0].text;
    } else if (n == 2 && is(0, PatternToken::Literal) && is(1, PatternToken::Star)) {
      shape_ = Shape::Prefix, lit_ = tokens_[0].text;
    } else if (n == 2 && is(0, PatternToken::Star) && is(1, PatternToken::Literal)) {
      shape_ = Shape::Suffix, lit_ = tokens_[1].text;
    } else if (n == 3 && is(0, PatternToken::Star) && is(1, PatternToken::Literal) &&
               is(2, PatternToken::Star)) {
      shape_ = Shape::Contains, lit_ = tokens_[1].text;
    } else {
      shape_ = Shape::General;
    }
    asciiLiteral_ = !HasNonAscii(lit_);
    if (!lit_.empty()) {
      firstUpper_ = lit_[0];
      firstLower_ = (firstUpper_ >= 'A' && firstUpper_ <= 'Z') ? static_cast<char>(firstUpper_ + 32)
                                                               : firstUpper_;
    }
  }

  static bool StartsWith(std::string_view text, std::size_t at, std::string_view upper) {
    if (text.size() - at < upper.size()) return false;
    for (std::size_t j = 0; j < upper.size(); ++j)
      if (Up(text[at + j]) != upper[j]) return false;
    return true;
  }

  bool MatchAscii(std::string_view text) const {
    switch (shape_) {
      case Shape::Any:
        return true;
      case Shape::Exact:
        return text.size() == lit_.size() && StartsWith(text, 0, lit_);
      case Shape::Prefix:
        return StartsWith(text, 0, lit_);
      case Shape::Suffix:
        return text.size() >= lit_.size() && StartsWith(text, text.size() - lit_.size(), lit_);
      case Shape::Contains: {
        if (text.size() < lit_.size()) return false;
        const char first = lit_[0];
        const std::size_t last = text.size() - lit_.size();
        for (std::size_t i = 0; i <= last; ++i)
          if (Up(text[i]) == first && StartsWith(text, i, lit_)) return true;
        return false;
      }
      case Shape::General:
        break;
    }
    return MatchGeneral(text);
  }

  // Wildcard matching with backtracking to the last star only: linear in
  // the text for each star, never exponential.
  bool MatchGeneral(std::string_view text) const {
    const std::size_t n = text.size();
    const std::size_t count = tokens_.size();
    std::size_t ti = 0, pi = 0;
    std::size_t starP = count, starT = 0;  // count: no star seen
    while (ti < n) {
      if (pi < count && tokens_[pi].kind == PatternToken::One) {
        ti = std::min(n, ti + Utf8Length(static_cast<unsigned char>(text[ti])));
        ++pi;
      } else if (pi < count && tokens_[pi].kind == PatternToken::Literal &&
                 StartsWith(text, ti, tokens_[pi].text)) {
        ti += tokens_[pi].text.size();
        ++pi;
      } else if (pi < count && tokens_[pi].kind == PatternToken::Star) {
        starP = pi++;
        starT = ti;
      } else if (starP != count) {
        pi = starP + 1;
        starT = std::min(n, starT + Utf8Length(static_cast<unsigned char>(text[starT])));
        ti = starT;
      } else {
        return false;
      }
    }
    while (pi < count && tokens_[pi].kind == PatternToken::Star)
      ++pi;
    return pi == count;
  }

  std::vector<PatternToken> tokens_;
  Shape shape_ = Shape::General;
  std::string lit_;  // the literal of the simple shapes
  bool asciiLiteral_ = true;
  char firstUpper_ = 0, firstLower_ = 0;  // lit_[0] in both cases
};

// ---------------------------------------------------------------------------
// Compiled conditions.

enum class Op : std::uint8_t { Eq, Ne, Lt, Gt, Le, Ge, Like, IsNull, NotNull };

inline bool Apply(Op op, int cmp) {
  switch (op) {
    case Op::Eq:
      return cmp == 0;
    case Op::Ne:
      return cmp != 0;
    case Op::Lt:
      return cmp < 0;
    case Op::Gt:
      return cmp > 0;
    case Op::Le:
      return cmp <= 0;
    case Op::Ge:
      return cmp >= 0;
    default:
      return false;
  }
}

enum class LiteralKind : std::uint8_t { None, Number, Text, Date };

struct Condition {
  std::string field;  // as written, for resolving after the whole text parsed
  int column = -1;
  Op op = Op::Eq;
  LiteralKind kind = LiteralKind::None;
  std::string text;   // text as written (unescaped), number spelling, date text
  std::string upper;  // `text` folded, for text comparisons
  bool hasNumber = false;
  double number = 0.0;  // the value compared with numbers and Booleans
  bool hasDate = false;
  double serial = 0.0;               // the value compared with Dates
  std::unique_ptr<Pattern> pattern;  // LIKE only

  bool Matches(const Cell& v) const;

 private:
  bool Numeric(double value, bool isDate) const {
    if (std::isnan(value)) return false;
    double literal;
    if (isDate) {
      if (!hasDate) return false;
      literal = serial;
    } else {
      if (!hasNumber) return false;
      literal = number;
    }
    if (std::isnan(literal)) return false;
    return Apply(op, value < literal ? -1 : (value > literal ? 1 : 0));
  }
};

bool Condition::Matches(const Cell& v) const {
  if (v.type == VarType::String) {  // the common case first, without the subtype switch
    if (op == Op::Like) return pattern->Matches(v.text);
    if (op == Op::Eq) return EqualFolded(v.text, upper);
    if (op == Op::IsNull) return false;
    if (op == Op::NotNull) return true;
    if (op == Op::Ne) return !EqualFolded(v.text, upper);
    return Apply(op, CompareFolded(v.text, upper));
  }
  switch (v.type) {
    case VarType::Empty:
    case VarType::Null:
      return op == Op::IsNull;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Boolean:
    case VarType::Date: {
      if (op == Op::IsNull) return false;
      if (op == Op::NotNull) return true;
      if (op == Op::Like) {
        // A value without a text form (a date out of the calendar's range)
        // matches no pattern rather than failing the whole search.
        std::string text;
        if (!IgnoreErrors([&] { text = TextOf(VariantOf(v)); })) return false;
        return pattern->Matches(text);
      }
      return Numeric(v.number, v.type == VarType::Date);
    }
    default:
      // Binary values, objects and arrays: present, but not comparable.
      return op == Op::NotNull;
  }
}

// ---------------------------------------------------------------------------
// Parser.

[[noreturn]] void Malformed() {
  throw Error(err::BadArguments);
}

inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || u >= 0x80;
}

bool EqualsKeyword(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (Up(word[i]) != keyword[i]) return false;
  return true;
}

class Parser {
 public:
  Parser(std::string_view text, const ColumnResolver& resolve) : s_(text), resolve_(resolve) {}

  std::vector<Condition> Parse() {
    std::vector<Condition> conditions;
    SkipBlanks();
    if (AtEnd()) Malformed();
    for (;;) {
      conditions.push_back(ParseCondition());
      SkipBlanks();
      if (AtEnd()) break;
      if (!EqualsKeyword(Word(), "AND")) Malformed();
      pos_ += 3;
      SkipBlanks();
    }
    return conditions;
  }

  // The name of a field at the current position: [bracketed] or a plain
  // identifier.
  std::string ParseField() {
    if (AtEnd()) Malformed();
    if (s_[pos_] == '[') {
      const std::size_t close = s_.find(']', pos_ + 1);
      if (close == std::string_view::npos || close == pos_ + 1) Malformed();
      std::string name(s_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
      return name;
    }
    const std::string_view word = Word();
    if (word.empty()) Malformed();
    // A name of several words without brackets ("Order Date = #1/2/2004#", as
    // the search dialog writes a field name) is taken when the record set
    // has a field of that name: the longest run of words before the
    // operator that names a field wins; otherwise the first word is the name.
    std::vector<std::size_t> ends;         // end of each further word
    constexpr std::size_t kMaxWords = 16;  // keeps a long run of words linear
    for (std::size_t p = pos_ + word.size(); ends.size() < kMaxWords;) {
      std::size_t q = p;
      while (q < s_.size() && IsBlank(s_[q]))
        ++q;
      std::size_t e = q;
      while (e < s_.size() && IsNameChar(s_[e]))
        ++e;
      if (q == p || e == q || EqualsKeyword(s_.substr(q, e - q), "LIKE")) break;
      ends.push_back(e);
      p = e;
    }
    for (auto end = ends.rbegin(); end != ends.rend() && resolve_; ++end) {
      const std::string_view name = s_.substr(pos_, *end - pos_);
      if (resolve_(name) >= 0) {
        pos_ = *end;
        return std::string(name);
      }
    }
    pos_ += word.size();
    return std::string(word);
  }

 private:
  bool AtEnd() const { return pos_ >= s_.size(); }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(s_[pos_]))
      ++pos_;
  }
  // The run of name characters at the current position (may be empty).
  std::string_view Word() const {
    std::size_t end = pos_;
    while (end < s_.size() && IsNameChar(s_[end]))
      ++end;
    return s_.substr(pos_, end - pos_);
  }

  Condition ParseCondition() {
    Condition c;
    c.field = ParseField();
    SkipBlanks();
    c.op = ParseOperator();
    SkipBlanks();
    ParseValue(c);
    return c;
  }

  Op ParseOperator() {
    if (AtEnd()) Malformed();
    const char c = s_[pos_];
    const char next = pos_ + 1 < s_.size() ? s_[pos_ + 1] : '\0';
    if (c == '=') {
      ++pos_;
      return Op::Eq;
    }
    if (c == '<') {
      if (next == '>') return pos_ += 2, Op::Ne;
      if (next == '=') return pos_ += 2, Op::Le;
      return ++pos_, Op::Lt;
    }
    if (c == '>') {
      if (next == '=') return pos_ += 2, Op::Ge;
      return ++pos_, Op::Gt;
    }
    if (EqualsKeyword(Word(), "LIKE")) return pos_ += 4, Op::Like;
    Malformed();
  }

  void ParseValue(Condition& c) {
    if (AtEnd()) Malformed();
    const char first = s_[pos_];
    if (first == '\'') {
      ParseText(c);
    } else if (first == '#') {
      ParseDateLiteral(c);
    } else if (first == '+' || first == '-' || first == '.' || (first >= '0' && first <= '9')) {
      ParseNumberLiteral(c);
    } else if (EqualsKeyword(Word(), "NULL")) {
      pos_ += 4;
      if (c.op == Op::Eq)
        c.op = Op::IsNull;
      else if (c.op == Op::Ne)
        c.op = Op::NotNull;
      else
        Malformed();
      return;
    } else {
      Malformed();
    }
    if (c.op == Op::Like) {
      if (c.kind != LiteralKind::Text) Malformed();
      c.pattern = std::make_unique<Pattern>(c.upper);
    }
  }

  void ParseText(Condition& c) {
    ++pos_;  // opening quote
    std::string text;
    for (;;) {
      if (AtEnd()) Malformed();  // unterminated
      const char ch = s_[pos_++];
      if (ch == '\'') {
        if (!AtEnd() && s_[pos_] == '\'') {
          text.push_back('\'');
          ++pos_;
          continue;
        }
        break;
      }
      text.push_back(ch);
    }
    c.kind = LiteralKind::Text;
    c.upper = Fold(text);
    const Locale& locale = Locale::Current();
    double value = 0.0;
    if (ParseNumber(text, value, locale)) {
      c.hasNumber = true;
      c.number = value;
    } else if (EqualsKeyword(Trim(text), "TRUE")) {
      c.hasNumber = true;
      c.number = -1.0;
    } else if (EqualsKeyword(Trim(text), "FALSE")) {
      c.hasNumber = true;
      c.number = 0.0;
    }
    DateTime date;
    if (ParseDate(text, date, locale)) {
      c.hasDate = true;
      c.serial = date.serial;
    } else if (c.hasNumber) {
      c.hasDate = true;
      c.serial = c.number;
    }
    c.text = std::move(text);
  }

  void ParseDateLiteral(Condition& c) {
    const std::size_t close = s_.find('#', pos_ + 1);
    if (close == std::string_view::npos) Malformed();
    const std::string_view inner = s_.substr(pos_ + 1, close - pos_ - 1);
    DateTime date;
    if (inner.empty() || !ParseDate(inner, date, Locale::Current())) Malformed();
    pos_ = close + 1;
    c.kind = LiteralKind::Date;
    c.text = std::string(inner);
    c.upper = Fold(inner);
    c.hasDate = c.hasNumber = true;
    c.serial = c.number = date.serial;
  }

  void ParseNumberLiteral(Condition& c) {
    const std::size_t start = pos_;
    std::size_t p = pos_;
    if (s_[p] == '+' || s_[p] == '-') ++p;
    std::size_t digits = 0;
    while (p < s_.size() && s_[p] >= '0' && s_[p] <= '9')
      ++p, ++digits;
    if (p < s_.size() && s_[p] == '.') {
      ++p;
      while (p < s_.size() && s_[p] >= '0' && s_[p] <= '9')
        ++p, ++digits;
    }
    if (digits == 0) Malformed();
    if (p < s_.size() && (s_[p] == 'e' || s_[p] == 'E')) {
      std::size_t q = p + 1;
      if (q < s_.size() && (s_[q] == '+' || s_[q] == '-')) ++q;
      std::size_t expDigits = 0;
      while (q < s_.size() && s_[q] >= '0' && s_[q] <= '9')
        ++q, ++expDigits;
      if (expDigits == 0) Malformed();
      p = q;
    }
    // A number runs up to a blank or the end: "5abc" or "1.2.3" is no number.
    if (p < s_.size() && (IsNameChar(s_[p]) || s_[p] == '.' || s_[p] == '\'' || s_[p] == '#'))
      Malformed();
    const std::string_view spelling = s_.substr(start, p - start);
    const std::string_view unsigned_ = spelling[0] == '+' ? spelling.substr(1) : spelling;
    double value = 0.0;
    const auto result =
        std::from_chars(unsigned_.data(), unsigned_.data() + unsigned_.size(), value);
    if (result.ec != std::errc() || result.ptr != unsigned_.data() + unsigned_.size() ||
        !std::isfinite(value))
      Malformed();
    pos_ = p;
    c.kind = LiteralKind::Number;
    c.text = std::string(spelling);
    c.upper = Fold(spelling);
    c.hasNumber = c.hasDate = true;
    c.number = c.serial = value;
  }

  std::string_view s_;
  const ColumnResolver& resolve_;
  std::size_t pos_ = 0;
};

}  // namespace

Cell CellOf(const Variant& v) {
  Cell c;
  c.type = v.type();
  switch (c.type) {
    case VarType::Integer:
      c.number = v.integer();
      break;
    case VarType::Long:
      c.number = v.lng();
      break;
    case VarType::Double:
      c.number = v.dbl();
      break;
    case VarType::Currency:
      c.scaled = v.currency().scaled;
      c.number = v.currency().ToDouble();
      break;
    case VarType::Boolean:
      c.number = v.boolean() ? -1.0 : 0.0;
      break;
    case VarType::Date:
      c.number = v.date().serial;
      break;
    case VarType::String:
      c.text = v.string();
      break;
    case VarType::Empty:
    case VarType::Null:
      break;
    default:
      c.value = &v;
      break;
  }
  return c;
}

Variant VariantOf(const Cell& c) {
  switch (c.type) {
    case VarType::Empty:
      return Variant();
    case VarType::Null:
      return Variant(kNull);
    case VarType::Integer:
      return Variant(static_cast<std::int16_t>(c.number));
    case VarType::Long:
      return Variant(static_cast<std::int32_t>(c.number));
    case VarType::Double:
      return Variant(c.number);
    case VarType::Currency:
      return Variant(Currency{c.scaled});
    case VarType::Boolean:
      return Variant(c.number != 0.0);
    case VarType::Date:
      return Variant(DateTime{c.number});
    case VarType::String:
      return Variant(c.text);
    default:
      return c.value ? *c.value : Variant(kNull);
  }
}

struct Criteria::Impl {
  std::vector<Condition> conditions;
};

Criteria::Criteria(std::string_view text, const ColumnResolver& resolve)
    : impl_(std::make_unique<Impl>()) {
  impl_->conditions = Parser(text, resolve).Parse();
  // Names are resolved once the whole text is known to be well formed, so a
  // malformed text reports 3001 even when it also names an unknown field.
  for (Condition& c : impl_->conditions) {
    c.column = resolve ? resolve(c.field) : -1;
    if (c.column < 0) throw Error(err::ItemNotFound);
    columns_.push_back(c.column);
  }
}

Criteria::~Criteria() = default;
Criteria::Criteria(Criteria&&) noexcept = default;
Criteria& Criteria::operator=(Criteria&&) noexcept = default;

bool Criteria::Matches(const Variant* row) const {
  return MatchesCells([row](int column) { return CellOf(row[column]); });
}

bool Criteria::Matches(std::size_t condition, const Cell& cell) const {
  return impl_->conditions[condition].Matches(cell);
}

}  // namespace kiv
