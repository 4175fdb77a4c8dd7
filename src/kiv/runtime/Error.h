#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kiv {

// The host's object error base; library errors use kObjectErrorBase + 1.
inline constexpr std::int32_t kObjectErrorBase = -2147221504;
inline constexpr std::int32_t kLibraryError = kObjectErrorBase + 1;  // -2147221503

// Error numbers the runtime and the record source raise, with the host's texts.
namespace err {
inline constexpr std::int32_t InvalidProcedureCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t DivisionByZero = 11;
inline constexpr std::int32_t TypeMismatch = 13;
inline constexpr std::int32_t ObjectNotSet = 91;
inline constexpr std::int32_t InvalidUseOfNull = 94;
inline constexpr std::int32_t ObjectRequired = 424;
inline constexpr std::int32_t NotSupported = 438;
inline constexpr std::int32_t WrongArguments = 450;
// Record source (ADO) errors.
inline constexpr std::int32_t BadArguments = 3001;
inline constexpr std::int32_t NoCurrentRecord = 3021;
inline constexpr std::int32_t NotUpdatable = 3251;
inline constexpr std::int32_t ItemNotFound = 3265;
inline constexpr std::int32_t ObjectClosed = 3704;
inline constexpr std::int32_t ObjectOpen = 3705;
inline constexpr std::int32_t ConnectionUnusable = 3709;
// Provider errors that carry a database's own message.
inline constexpr std::int32_t ProviderError = -2147467259;  // E_FAIL
// An optimistic save found its row changed by another user.
inline constexpr std::int32_t RowConflict = -2147217864;
}  // namespace err

// The host's standard description for a runtime or record source error number,
// or "" when the number has no standard text.
std::string_view StandardErrorText(std::int32_t number);

// The one exception type of the library: number, source and description, as
// the host's error object carries them.
class Error : public std::runtime_error {
 public:
  Error(std::int32_t number, std::string source, std::string description);
  // An error with the standard text for its number (see StandardErrorText).
  explicit Error(std::int32_t number, std::string source = "KivControls");

  std::int32_t number() const noexcept { return number_; }
  const std::string& source() const noexcept { return source_; }
  const std::string& description() const noexcept { return description_; }

 private:
  std::int32_t number_;
  std::string source_;
  std::string description_;
};

// Runs one step of a procedure that passes over failing calls ("ignore errors
// and go on"). Only kiv::Error is swallowed: a bad_alloc or a logic error
// still propagates. Returns true when the step succeeded.
template <class F>
bool IgnoreErrors(F&& step) {
  try {
    step();
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace kiv
