#include "kiv/data/SqlText.h"

#include <cctype>
#include <cstddef>

namespace kiv {
namespace {

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Walks SQL text token by token, passing over quoted texts, quoted names,
// bracketed names and comments. `visit(pos, depth)` is called for every
// character that is significant at parenthesis depth `depth`, and may return
// false to stop the walk.
template <class Visit>
void Scan(std::string_view sql, Visit&& visit) {
  int depth = 0;
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      if (!visit(i, depth)) return;
      std::size_t j = i + 1;
      while (j < sql.size()) {
        if (sql[j] == close) {
          if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
            j += 2;  // doubled quote inside
            continue;
          }
          break;
        }
        ++j;
      }
      i = j + 1;
      continue;
    }
    if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      while (i < sql.size() && sql[i] != '\n')
        ++i;
      continue;
    }
    if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      const auto end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
      continue;
    }
    if (c == '(') {
      if (!visit(i, depth)) return;
      ++depth;
      ++i;
      continue;
    }
    if (c == ')') {
      if (depth > 0) --depth;
      if (!visit(i, depth)) return;
      ++i;
      continue;
    }
    if (!IsBlank(c) && !visit(i, depth)) return;
    ++i;
  }
}

// The word starting at pos (letters, digits, _).
std::string_view WordAt(std::string_view sql, std::size_t pos) {
  std::size_t end = pos;
  while (end < sql.size() && IsWordChar(sql[end]))
    ++end;
  return sql.substr(pos, end - pos);
}

}  // namespace

bool HasTopLevelKeyword(std::string_view sql, std::string_view keyword) {
  bool found = false;
  Scan(sql, [&](std::size_t pos, int depth) {
    if (depth != 0 || (pos > 0 && IsWordChar(sql[pos - 1]))) return true;
    if (EqualsNoCase(WordAt(sql, pos), keyword)) {
      found = true;
      return false;
    }
    return true;
  });
  return found;
}

std::string NumberPlaceholders(std::string_view sql,
                               const std::function<std::string(int)>& placeholder, int* count) {
  std::string out;
  out.reserve(sql.size() + 8);
  std::size_t copied = 0;
  int n = 0;
  Scan(sql, [&](std::size_t pos, int) {
    if (sql[pos] != '?') return true;
    out.append(sql.substr(copied, pos - copied));
    out.append(placeholder(++n));
    copied = pos + 1;
    return true;
  });
  out.append(sql.substr(copied));
  if (count) *count = n;
  return out;
}

std::size_t SecondStatementAt(std::string_view sql) {
  bool ended = false;
  std::size_t found = std::string_view::npos;
  Scan(sql, [&](std::size_t pos, int depth) {
    if (sql[pos] == ';' && depth == 0) {
      ended = true;
      return true;
    }
    if (sql[pos] == ';' || !ended) return true;
    found = pos;
    return false;
  });
  return found;
}

std::string RewriteTop(std::string_view sql) {
  // The significant tokens at the start: SELECT [ALL|DISTINCT] TOP n.
  std::size_t pos = 0;
  auto skipBlanks = [&] {
    while (pos < sql.size() && IsBlank(sql[pos]))
      ++pos;
  };
  auto takeWord = [&](std::string_view word) {
    skipBlanks();
    const auto w = WordAt(sql, pos);
    if (!EqualsNoCase(w, word)) return false;
    pos += w.size();
    return true;
  };
  skipBlanks();
  if (!takeWord("SELECT")) return std::string(sql);
  const std::size_t afterSelect = pos;
  if (!takeWord("DISTINCT")) takeWord("ALL");
  const std::size_t beforeTop = pos;
  if (!takeWord("TOP")) return std::string(sql);
  skipBlanks();
  bool paren = false;
  if (pos < sql.size() && sql[pos] == '(') {
    paren = true;
    ++pos;
    skipBlanks();
  }
  const std::size_t digitsStart = pos;
  while (pos < sql.size() && std::isdigit(static_cast<unsigned char>(sql[pos])))
    ++pos;
  if (pos == digitsStart) return std::string(sql);
  const std::string count(sql.substr(digitsStart, pos - digitsStart));
  if (paren) {
    skipBlanks();
    if (pos >= sql.size() || sql[pos] != ')') return std::string(sql);
    ++pos;
  } else if (pos < sql.size() && IsWordChar(sql[pos])) {
    return std::string(sql);  // "TOP 5x": not a count
  }
  // TOP n PERCENT and TOP n WITH TIES have no LIMIT equivalent: left alone.
  {
    std::size_t p = pos;
    while (p < sql.size() && IsBlank(sql[p]))
      ++p;
    const auto next = WordAt(sql, p);
    if (EqualsNoCase(next, "PERCENT") || EqualsNoCase(next, "WITH")) return std::string(sql);
  }
  (void)afterSelect;

  // The end of the first statement: just after its last significant
  // character before a top-level ";" (so trailing blanks, comments and the
  // semicolon stay after the LIMIT clause).
  std::size_t lastSignificant = pos;
  Scan(sql, [&](std::size_t p, int depth) {
    if (p < pos) return true;
    if (depth == 0 && sql[p] == ';') return false;
    lastSignificant = p + 1;
    return true;
  });
  // A quoted token's visit reports its opening character: extend to its close.
  if (lastSignificant > 0 && lastSignificant <= sql.size()) {
    const char open = sql[lastSignificant - 1];
    if (open == '\'' || open == '"' || open == '`' || open == '[') {
      const char close = open == '[' ? ']' : open;
      std::size_t j = lastSignificant;
      while (j < sql.size()) {
        if (sql[j] == close) {
          if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      lastSignificant = j < sql.size() ? j + 1 : sql.size();
    }
  }
  std::string out;
  out.reserve(sql.size() + 16);
  out.append(sql.substr(0, beforeTop));
  // Drop "TOP n" and the blanks after it, keeping one blank.
  std::size_t rest = pos;
  while (rest < sql.size() && IsBlank(sql[rest]))
    ++rest;
  if (!out.empty() && !IsBlank(out.back())) out.push_back(' ');
  if (rest > lastSignificant) rest = lastSignificant;
  out.append(sql.substr(rest, lastSignificant - rest));
  out.append(" LIMIT ").append(count);
  out.append(sql.substr(lastSignificant));
  return out;
}

}  // namespace kiv
