#include "kiv/runtime/Error.h"

#include <utility>

namespace kiv {

std::string_view StandardErrorText(std::int32_t number) {
  switch (number) {
    case err::InvalidProcedureCall:
      return "Invalid procedure call or argument";
    case err::Overflow:
      return "Overflow";
    case err::SubscriptOutOfRange:
      return "Subscript out of range";
    case err::DivisionByZero:
      return "Division by zero";
    case err::TypeMismatch:
      return "Type mismatch";
    case err::ObjectNotSet:
      return "Object variable or With block variable not set";
    case err::InvalidUseOfNull:
      return "Invalid use of Null";
    case err::ObjectRequired:
      return "Object required";
    case err::NotSupported:
      return "Object doesn't support this property or method";
    case err::WrongArguments:
      return "Wrong number of arguments or invalid property assignment";
    case err::BadArguments:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
             "with one another.";
    case err::NoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested "
             "operation requires a current record.";
    case err::NotUpdatable:
      return "Current Recordset does not support updating. This may be a limitation of the "
             "provider, or of the selected locktype.";
    case err::ItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or "
             "ordinal.";
    case err::ObjectClosed:
      return "Operation is not allowed when the object is closed.";
    case err::ObjectOpen:
      return "Operation is not allowed when the object is open.";
    case err::ConnectionUnusable:
      return "The connection cannot be used to perform this operation. It is either closed or "
             "invalid in this context.";
    default:
      return "";
  }
}

Error::Error(std::int32_t number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

Error::Error(std::int32_t number, std::string source)
    : Error(number, std::move(source), std::string(StandardErrorText(number))) {}

}  // namespace kiv
