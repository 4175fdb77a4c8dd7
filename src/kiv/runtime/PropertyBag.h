#pragma once

#include <string_view>

#include "kiv/runtime/Variant.h"

namespace kiv {

// The store a control's design-time properties are saved to and restored
// from. The host hands one to a control's ReadProperties and WriteProperties.
//
// ReadProperty gives the stored value, or `def` when nothing is stored under
// the name. The value comes back as it was stored (a control converts it to
// its property's type, as it would with the host's bag); a bag may check that
// it fits the default's kind and raise a kiv::Error naming the control and
// the property when it does not (see JsonPropertyBag).
//
// WriteProperty stores the value; a value equal to `def` may be left out of
// the store, so that reading it back gives the default.
class PropertyBag {
 public:
  virtual ~PropertyBag() = default;

  virtual Variant ReadProperty(std::string_view name, const Variant& def) = 0;
  virtual void WriteProperty(std::string_view name, const Variant& value, const Variant& def) = 0;

  // As ReadProperty, without the check of the stored value against the
  // default's kind: for a property whose values need not be of its default's
  // subtype (a caption persisted with the integer default 0).
  virtual Variant ReadVariantProperty(std::string_view name, const Variant& def) {
    return ReadProperty(name, def);
  }
};

}  // namespace kiv
