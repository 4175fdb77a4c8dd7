// libFuzzer target: AddWhereCondition over arbitrary statements and
// conditions. The input is split at its first NUL byte (statement, then
// condition). Besides running clean under the sanitizers, the result must be
// the statement with the filter inserted and nothing else changed:
//   head " WHERE " condition " " ordering              (no WHERE yet), or
//   head " " "WHERE ..." " AND " condition " " ordering (a WHERE at the head's end).
// When either text holds an OR or a "--" (which may be bracketed or closed
// with a line break), the result must still hold the statement's characters
// in order, and the condition.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kiv/shared/Functions.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
  });
}

bool StartsWithWhere(std::string_view text) {
  if (text.size() < 5) return false;
  for (std::size_t i = 0; i < 5; ++i)
    if ((text[i] & ~0x20) != "WHERE"[i]) return false;
  return true;
}

// Whether result is base with `inserted` put in at one position.
bool IsInsertion(std::string_view base, std::string_view result, std::string_view inserted) {
  if (result.size() != base.size() + inserted.size()) return false;
  std::size_t prefix = 0;
  while (prefix < base.size() && base[prefix] == result[prefix])
    ++prefix;
  std::size_t suffix = 0;
  while (suffix < base.size() &&
         base[base.size() - 1 - suffix] == result[result.size() - 1 - suffix])
    ++suffix;
  const std::size_t from = base.size() - suffix;
  for (std::size_t p = from; p <= prefix; ++p)
    if (result.substr(p, inserted.size()) == inserted) return true;
  return false;
}

// result = base[..w] + " " + base[w..] with " AND " condition " " inserted,
// where base[w..] starts with WHERE.
bool IsJoin(std::string_view base, std::string_view result, const std::string& condition) {
  const std::string inserted = " AND " + condition + " ";
  if (result.size() != base.size() + 1 + inserted.size()) return false;
  for (std::size_t w = 0; w + 5 <= base.size(); ++w) {
    if (result[w] == ' ' && StartsWithWhere(base.substr(w)) &&
        IsInsertion(base.substr(w), result.substr(w + 1), inserted))
      return true;
    if (base[w] != result[w]) break;  // the head ends no later than here
  }
  return false;
}

bool MayBeGuarded(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if ((text[i] & ~0x20) == 'O' && (text[i + 1] & ~0x20) == 'R') return true;
    if (text[i] == '-' && text[i + 1] == '-') return true;
  }
  return false;
}

bool HoldsInOrder(std::string_view base, std::string_view result) {
  std::size_t at = 0;
  for (char c : result)
    if (at < base.size() && base[at] == c) ++at;
  return at == base.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string statement = input.substr(0, split);
  const std::string condition = split == std::string::npos ? "x = 1" : input.substr(split + 1);

  const std::string result = kiv::AddWhereCondition(statement, condition);
  if (IsBlank(condition)) {
    Check(result == statement);
    return 0;
  }
  if (MayBeGuarded(statement) || MayBeGuarded(condition)) {
    Check(HoldsInOrder(statement, result));
    Check(result.find(condition) != std::string::npos);
    return 0;
  }
  Check(IsInsertion(statement, result, " WHERE " + condition + " ") ||
        IsJoin(statement, result, condition));
  return 0;
}
