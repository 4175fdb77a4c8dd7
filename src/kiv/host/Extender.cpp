#include "kiv/host/Extender.h"

#include "kiv/host/UserControl.h"
#include "kiv/runtime/Error.h"

namespace kiv {

const std::string& Extender::Name() const {
  return owner_.Name();
}

const std::string& Extender::Tag() const {
  return owner_.Tag();
}

void Extender::DataSource(const Variant& source) {
  if (!source.isObject()) {
    throw Error(err::ObjectRequired, owner_.Name(),
                "Object required: a DataSource is an object or Nothing");
  }
  dataSource_ = source;
}

}  // namespace kiv
