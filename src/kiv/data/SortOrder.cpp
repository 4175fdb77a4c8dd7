#include "kiv/data/SortOrder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>

#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {

[[noreturn]] void Malformed() {
  throw Error(err::BadArguments);
}

inline char Up(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
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

// How a value ranks before its value is looked at: Null first, then numbers
// (a NaN below every other number, so the order stays total), then text,
// then values that have no order.
enum Rank : std::uint8_t { kNullRank, kNaNRank, kNumberRank, kTextRank, kOtherRank };

Rank RankOf(const Cell& c) {
  switch (c.type) {
    case VarType::Empty:
    case VarType::Null:
      return kNullRank;
    case VarType::String:
      return kTextRank;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Boolean:
    case VarType::Date:
      return std::isnan(c.number) ? kNaNRank : kNumberRank;
    default:
      return kOtherRank;
  }
}

inline int CompareBytes(const char* a, std::size_t na, const char* b, std::size_t nb) {
  const int c = std::memcmp(a, b, std::min(na, nb));
  if (c != 0) return c < 0 ? -1 : 1;
  return na == nb ? 0 : (na < nb ? -1 : 1);
}

// Text comparison without regard to case: byte order of the upper-cased UTF-8.
int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char ca = a[i], cb = b[i];
    if ((static_cast<unsigned char>(ca) | static_cast<unsigned char>(cb)) >= 0x80) {
      const std::string fa = UCase(a), fb = UCase(b);
      return CompareBytes(fa.data(), fa.size(), fb.data(), fb.size());
    }
    const auto ua = static_cast<unsigned char>(Up(ca)), ub = static_cast<unsigned char>(Up(cb));
    if (ua != ub) return ua < ub ? -1 : 1;
  }
  // The common prefix is ASCII; a longer rest may still fold to anything.
  const std::string_view restA = a.substr(n), restB = b.substr(n);
  if (restA.empty() && restB.empty()) return 0;
  for (char c : restA.empty() ? restB : restA) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      const std::string fa = UCase(a), fb = UCase(b);
      return CompareBytes(fa.data(), fa.size(), fb.data(), fb.size());
    }
  }
  return restA.empty() ? -1 : 1;
}

// One row's key for one sort pass: 24 bytes, so sorting moves little.
struct Entry {
  union {
    double number;
    const char* text;
  };
  std::uint32_t length;  // text only
  std::uint32_t row;
  Rank rank;
};

inline int CompareEntries(const Entry& a, const Entry& b) {
  if (a.rank != b.rank) return a.rank < b.rank ? -1 : 1;
  if (a.rank == kNumberRank) return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
  if (a.rank == kTextRank) return CompareBytes(a.text, a.length, b.text, b.length);
  return 0;
}

// Builds the entries of one key for the rows in the order `order`, folding
// text once per row into `arena` (text that is already upper-case ASCII is
// used where it lies), then sorts them stably.
void SortPass(const SortOrder::CellAt& cellAt, int column, bool descending,
              std::vector<std::uint32_t>& order) {
  std::vector<Entry> entries(order.size());
  std::string arena;
  std::vector<std::size_t> arenaEntries;  // entries whose text lives in the arena
  std::vector<std::size_t> arenaOffsets;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const Cell c = cellAt(order[i], column);
    Entry& e = entries[i];
    e.row = order[i];
    e.rank = RankOf(c);
    if (e.rank != kTextRank) {
      e.number = c.number;
      e.length = 0;
      continue;
    }
    const std::string_view s = c.text;
    bool nonAscii = false, lower = false;
    for (char ch : s) {
      if (static_cast<unsigned char>(ch) >= 0x80) {
        nonAscii = true;
        break;
      }
      lower |= (ch >= 'a' && ch <= 'z');
    }
    if (!nonAscii && !lower) {
      e.text = s.data();
      e.length = static_cast<std::uint32_t>(s.size());
      continue;
    }
    const std::size_t offset = arena.size();
    if (nonAscii) {
      arena += UCase(s);
    } else {
      arena.resize(offset + s.size());
      for (std::size_t j = 0; j < s.size(); ++j)
        arena[offset + j] = Up(s[j]);
    }
    e.length = static_cast<std::uint32_t>(arena.size() - offset);
    e.text = nullptr;
    arenaEntries.push_back(i);
    arenaOffsets.push_back(offset);
  }
  for (std::size_t k = 0; k < arenaEntries.size(); ++k)
    entries[arenaEntries[k]].text = arena.data() + arenaOffsets[k];

  if (descending) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return CompareEntries(b, a) < 0; });
  } else {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return CompareEntries(a, b) < 0; });
  }
  for (std::size_t i = 0; i < entries.size(); ++i)
    order[i] = entries[i].row;
}

}  // namespace

SortOrder::SortOrder(std::string_view text, const ColumnResolver& resolve) {
  std::size_t pos = 0;
  const auto skipBlanks = [&] {
    while (pos < text.size() && IsBlank(text[pos]))
      ++pos;
  };
  const auto word = [&] {
    std::size_t end = pos;
    while (end < text.size() && IsNameChar(text[end]))
      ++end;
    return text.substr(pos, end - pos);
  };
  skipBlanks();
  if (pos == text.size()) return;  // the empty order
  std::vector<Key> keys;
  for (;;) {
    skipBlanks();
    Key key;
    const auto isDirection = [&](std::string_view w) {
      return EqualsKeyword(w, "DESC") || EqualsKeyword(w, "ASC");
    };
    if (pos < text.size() && text[pos] == '[') {
      const std::size_t close = text.find(']', pos + 1);
      if (close == std::string_view::npos || close == pos + 1) Malformed();
      key.name = std::string(text.substr(pos + 1, close - pos - 1));
      pos = close + 1;
      skipBlanks();
      const std::string_view direction = word();
      if (!direction.empty()) {
        if (!isDirection(direction)) Malformed();
        key.descending = EqualsKeyword(direction, "DESC");
        pos += direction.size();
      }
    } else {
      // The words up to the comma: a name, then perhaps a direction. A name
      // of several words without brackets ("Order Date DESC", as the search
      // dialog writes a field name) is taken when the record set has a
      // field of exactly that name.
      std::vector<std::pair<std::size_t, std::size_t>> words;  // [begin, end)
      for (;;) {
        skipBlanks();
        const std::string_view w = word();
        if (w.empty()) break;
        words.emplace_back(pos, pos + w.size());
        pos += w.size();
      }
      if (words.empty()) Malformed();
      std::size_t nameWords = words.size();
      const auto& last = words.back();
      const std::string_view lastWord = text.substr(last.first, last.second - last.first);
      if (nameWords >= 2 && isDirection(lastWord)) {
        key.descending = EqualsKeyword(lastWord, "DESC");
        --nameWords;
      }
      const std::size_t begin = words[0].first, end = words[nameWords - 1].second;
      key.name = std::string(text.substr(begin, end - begin));
      if (nameWords > 1 && (!resolve || resolve(key.name) < 0)) Malformed();
    }
    keys.push_back(std::move(key));
    skipBlanks();
    if (pos == text.size()) break;
    if (text[pos] != ',') Malformed();
    ++pos;
  }
  // Names are resolved once the whole text is known to be well formed.
  for (Key& key : keys) {
    key.column = resolve ? resolve(key.name) : -1;
    if (key.column < 0) throw Error(err::ItemNotFound);
  }
  keys_ = std::move(keys);
}

std::vector<std::uint32_t> SortOrder::Order(std::vector<std::uint32_t> rows,
                                            const CellAt& cellAt) const {
  // Stable passes from the last key to the first give the order of all keys.
  for (auto key = keys_.rbegin(); key != keys_.rend(); ++key)
    SortPass(cellAt, key->column, key->descending, rows);
  return rows;
}

std::vector<std::size_t> SortOrder::Order(std::span<const Variant* const> rows) const {
  if (rows.size() > std::numeric_limits<std::uint32_t>::max()) throw Error(err::Overflow);
  std::vector<std::uint32_t> ids(rows.size());
  std::iota(ids.begin(), ids.end(), std::uint32_t{0});
  const auto sorted = Order(
      std::move(ids), [&rows](std::uint32_t row, int column) { return CellOf(rows[row][column]); });
  return std::vector<std::size_t>(sorted.begin(), sorted.end());
}

int SortOrder::Compare(const Variant* a, const Variant* b) const {
  for (const Key& key : keys_) {
    const int c = CompareValues(a[key.column], b[key.column]);
    if (c != 0) return key.descending ? -c : c;
  }
  return 0;
}

int SortOrder::CompareValues(const Variant& a, const Variant& b) {
  const Cell ca = CellOf(a), cb = CellOf(b);
  const Rank ra = RankOf(ca), rb = RankOf(cb);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == kNumberRank) return ca.number < cb.number ? -1 : (ca.number > cb.number ? 1 : 0);
  if (ra == kTextRank) return CompareText(ca.text, cb.text);
  return 0;
}

}  // namespace kiv
