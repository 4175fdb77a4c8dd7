// Fuzzes the find criteria and sort text parsers and their evaluation.
//
// Input: criteria text, optionally followed by a NUL byte and a text that
// becomes a field value of one of the rows, so the matcher also sees
// arbitrary text. Besides "no crash, only kiv::Error", it checks that a
// value is found by = and LIKE with itself as the literal, and that a sort
// order is a permutation consistent with the row comparison.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "kiv/data/Criteria.h"
#include "kiv/data/SortOrder.h"
#include "kiv/runtime/Error.h"

namespace {

int Resolve(std::string_view name) {
  static const char* const kNames[] = {"Name", "Qty", "Price", "Due", "Active", "Note", "Blob"};
  for (int i = 0; i < 7; ++i) {
    const std::string_view known = kNames[i];
    if (known.size() == name.size() &&
        std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
          return (a | 32) == (b | 32);
        }))
      return i;
  }
  return -1;
}

std::vector<std::vector<kiv::Variant>> Rows(const std::string& text) {
  using kiv::Variant;
  return {
      {Variant(text), Variant(std::int32_t{5}), Variant(1.5), Variant(kiv::DateTime{37988.0}),
       Variant(true), Variant(kiv::kNull), Variant(kiv::Bytes{1, 2})},
      {Variant("Sm\xC3\xB6th"), Variant(std::int16_t{-3}), Variant(std::nan("")),
       Variant(kiv::DateTime{0.5}), Variant(false), Variant(text), Variant()},
      {Variant(kiv::kNull), Variant(kiv::kNull), Variant(kiv::Currency{12345}), Variant(kiv::kNull),
       Variant(kiv::kNull), Variant(""), Variant(kiv::kNull)},
      {Variant("\xFF\xC3"), Variant(std::numeric_limits<std::int32_t>::min()),
       Variant(std::numeric_limits<double>::infinity()), Variant(kiv::DateTime{-1e6}),
       Variant(true), Variant("O'Brien"), Variant(text)},
  };
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view criteria = input.substr(0, nul);
  const std::string value(nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1));
  const auto rows = Rows(value);

  try {
    const kiv::Criteria compiled(criteria, Resolve);
    for (const auto& row : rows) (void)compiled.Matches(row.data());
  } catch (const kiv::Error&) {
  }

  // The value is found by = and by LIKE when written as a literal (quotes
  // doubled) that holds no wildcard.
  if (value.find_first_of("*%_?") == std::string::npos) {
    std::string literal;
    for (char c : value) {
      literal.push_back(c);
      if (c == '\'') literal.push_back('\'');
    }
    for (const char* op : {" = '", " LIKE '"}) {
      const kiv::Criteria compiled(std::string("Name") + op + literal + "'", Resolve);
      Check(compiled.Matches(rows[0].data()));
    }
  }

  try {
    const kiv::SortOrder order(criteria, Resolve);
    std::vector<const kiv::Variant*> pointers;
    for (const auto& row : rows) pointers.push_back(row.data());
    const auto result = order.Order(pointers);
    Check(result.size() == pointers.size());
    std::vector<bool> seen(result.size());
    for (std::size_t i = 0; i < result.size(); ++i) {
      Check(result[i] < seen.size() && !seen[result[i]]);
      seen[result[i]] = true;
      if (i > 0) {
        const int c = order.Compare(pointers[result[i - 1]], pointers[result[i]]);
        Check(c < 0 || (c == 0 && result[i - 1] < result[i]));
      }
    }
  } catch (const kiv::Error&) {
  }
  return 0;
}
