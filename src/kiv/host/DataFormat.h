#pragma once

#include <string>

#include "kiv/runtime/Dispatch.h"

namespace kiv {

// The data format a host attaches to a bound control (the extender's
// DataFormat): its Format string, "" when the host sets none.
class DataFormat : public Dispatch {
 public:
  DataFormat() = default;
  explicit DataFormat(std::string format) : Format(std::move(format)) {}

  std::string Format;

  std::string_view TypeName() const override { return "DataFormat"; }
  const MemberTable& memberTable() const override;
};

}  // namespace kiv
