#pragma once

#include <string>

#include "kiv/runtime/Dispatch.h"

namespace kiv {

// A font as the host describes one (StdFont): name, size in points, bold,
// italic. A value type that is also reachable late-bound, so it can be an
// object property (a grid's Font, a property bag's "Font").
class Font : public Dispatch {
 public:
  Font() = default;
  Font(std::string name, double size, bool bold = false, bool italic = false)
      : Name(std::move(name)), Size(size), Bold(bold), Italic(italic) {}
  Font(const Font& other)
      : Dispatch(), Name(other.Name), Size(other.Size), Bold(other.Bold), Italic(other.Italic) {}
  Font& operator=(const Font& other) {
    Name = other.Name;
    Size = other.Size;
    Bold = other.Bold;
    Italic = other.Italic;
    return *this;
  }

  std::string Name = "MS Sans Serif";
  double Size = 8.25;
  bool Bold = false;
  bool Italic = false;

  bool operator==(const Font& other) const {
    return Name == other.Name && Size == other.Size && Bold == other.Bold && Italic == other.Italic;
  }

  std::string_view TypeName() const override { return "Font"; }
  const MemberTable& memberTable() const override;
};

}  // namespace kiv
