#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "kiv/runtime/Variant.h"

namespace kiv {

// Maps a field name (as written in a criterion or sort text, brackets
// removed) to its column index in a row, or -1 when the record set has no
// such field. Names are matched as the record set matches them (without
// regard to case).
using ColumnResolver = std::function<int(std::string_view name)>;

// One stored value as the find and sort engines read it: the subtype its
// Variant has, and a view of its value, so that text kept in a record set's
// storage is compared where it lies instead of being copied into a Variant.
struct Cell {
  VarType type = VarType::Null;
  double number = 0.0;      // Integer, Long, Double, Currency, Date (serial), Boolean (-1, 0)
  std::int64_t scaled = 0;  // Currency: the value times 10,000
  std::string_view text;    // String
  const Variant* value = nullptr;  // any other subtype, when a Variant holds it
};
// The cell of a Variant (which must outlive it).
Cell CellOf(const Variant& value);
// The Variant of a cell of a numeric, Boolean, Date or String subtype.
Variant VariantOf(const Cell& cell);

// A compiled find criterion: the text a record set's Find takes, parsed once
// and evaluated on many rows.
//
// Language:
//   criteria   := condition { AND condition }
//   condition  := field op value
//   field      := identifier | [any text but "]"] | words
// where words are identifiers separated by blanks that together name a field
// of the record set ("Order Date = #1/2/2004#"; the longest such run wins).
//   op         := = | <> | < | > | <= | >= | LIKE
//   value      := number | 'text' | #date# | NULL
// Keywords (AND, LIKE, NULL) ignore case; blanks may surround every token,
// including trailing blanks after the last value. A doubled '' inside a text
// is one quote. Numbers are written with "." decimals and may carry a sign
// and an exponent. A #date# is read as IsDate reads text, in the current
// locale at the time of parsing. NULL goes only with = (the field is Null)
// and <> (the field is not Null). LIKE takes a 'text' pattern in which * and
// % stand for any run of characters and _ and ? for exactly one character
// (one character, not one byte, of UTF-8 text). OR, parentheses and other
// operators are not part of the language.
//
// Errors: anything malformed raises kiv::Error 3001; a field the resolver
// does not know raises 3265.
//
// Matching compares the row's value with the literal by the value's subtype:
//   - numbers (Integer, Long, Double, Currency), Booleans (True is -1, False
//     0) and Dates (by serial) compare numerically; a text literal is read as
//     a number (or, for a Date field, as a date) and a text that is neither
//     never matches;
//   - text compares without regard to case (byte order of the upper-cased
//     UTF-8), against a text literal, or against a number or date literal as
//     written in the criterion;
//   - LIKE on a non-text value matches the value's text form (a value that
//     has none, such as a date beyond the calendar, matches nothing);
//   - Null (and Empty) matches only "= NULL"; every other comparison with a
//     Null value is false, and "<> NULL" is true for any non-Null value;
//   - binary and object values match only "<> NULL".
// Evaluation never raises and does not allocate for ASCII text.
class Criteria {
 public:
  // Parses and compiles `text`; raises 3001 or 3265 as above.
  Criteria(std::string_view text, const ColumnResolver& resolve);
  ~Criteria();
  Criteria(Criteria&&) noexcept;
  Criteria& operator=(Criteria&&) noexcept;
  Criteria(const Criteria&) = delete;
  Criteria& operator=(const Criteria&) = delete;

  // True when the row satisfies every condition. `row` points to the row's
  // first column; every column the criteria name must be readable.
  bool Matches(const Variant* row) const;
  // The same over cells: cellAt(column) gives the row's cell of a column.
  template <class CellAt>
  bool MatchesCells(CellAt&& cellAt) const {
    for (std::size_t i = 0; i < columns_.size(); ++i)
      if (!Matches(i, cellAt(columns_[i]))) return false;
    return true;
  }
  // Whether the cell satisfies condition i (0-based, in the order written).
  bool Matches(std::size_t condition, const Cell& cell) const;

  // The column indexes the conditions read, in the order written.
  const std::vector<int>& Columns() const { return columns_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::vector<int> columns_;
};

}  // namespace kiv
