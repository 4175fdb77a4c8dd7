#pragma once

#include <memory>
#include <string>

#include "kiv/host/DataFormat.h"
#include "kiv/runtime/Variant.h"

namespace kiv {

class UserControl;

// What the host adds around a user control on its form: the name and tag
// the form knows it by, and the host's data binding (DataSource, DataField,
// DataFormat). Name and Tag are the control's own Name and Tag.
class Extender {
 public:
  explicit Extender(UserControl& owner) : owner_(owner) {}
  Extender(const Extender&) = delete;
  Extender& operator=(const Extender&) = delete;

  const std::string& Name() const;
  const std::string& Tag() const;

  const Variant& DataSource() const { return dataSource_; }
  // An object or Nothing; anything else raises 424 (Object required).
  void DataSource(const Variant& source);
  const std::string& DataField() const { return dataField_; }
  void DataField(std::string value) { dataField_ = std::move(value); }
  // The data format, or nullptr when the host offers none.
  const std::shared_ptr<kiv::DataFormat>& DataFormat() const { return dataFormat_; }
  void DataFormat(std::shared_ptr<kiv::DataFormat> format) { dataFormat_ = std::move(format); }
  // The data format's Format string, "" when there is none.
  std::string DataFormatString() const { return dataFormat_ ? dataFormat_->Format : std::string(); }

 private:
  UserControl& owner_;
  Variant dataSource_;
  std::string dataField_;
  std::shared_ptr<kiv::DataFormat> dataFormat_;
};

}  // namespace kiv
