#include "kiv/host/UserControl.h"

#include <algorithm>

#include "kiv/host/Host.h"
#include "kiv/host/WidgetPeer.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {
// Resize may change the size again, which runs Resize again; a control whose
// Resize never settles stops here instead of recursing without end.
constexpr int kMaxResizeDepth = 4;
}  // namespace

UserControl::UserControl(std::string name) : Control(std::move(name)), extender_(*this) {}

UserControl::~UserControl() {
  for (const auto& c : constituents_)
    c->container_ = nullptr;
}

void UserControl::layout() {
  if (resizeDepth_ >= kMaxResizeDepth) return;
  ++resizeDepth_;
  try {
    Resize();
  } catch (...) {
    --resizeDepth_;
    throw;
  }
  --resizeDepth_;
}

void UserControl::geometryChanged(bool sizeChanged) {
  Control::geometryChanged(sizeChanged);
  if (sizeChanged) layout();
}

void UserControl::PropertyChanged(std::string_view name) {
  Host::Current().PropertyChanged(*this, name);
  notify(name);
}

void UserControl::addConstituent(std::shared_ptr<Control> widget) {
  if (!widget) return;
  if (widget->container_ && widget->container_ != this) {
    auto& others = widget->container_->constituents_;
    std::erase(others, widget);
  }
  if (widget->container_ == this) return;
  widget->container_ = this;
  constituents_.push_back(std::move(widget));
}

Control* UserControl::constituent(std::string_view name) const {
  const std::string wanted = AsciiLower(name);
  for (const auto& c : constituents_) {
    if (AsciiLower(c->Name()) == wanted) return c.get();
  }
  return nullptr;
}

bool UserControl::takesFocus() const {
  return constituents_.empty();
}

Control* UserControl::focusTarget() {
  if (constituents_.empty()) return this;
  std::vector<Control*> order;
  for (const auto& c : constituents_)
    order.push_back(c.get());
  std::stable_sort(order.begin(), order.end(),
                   [](Control* a, Control* b) { return a->TabIndex() < b->TabIndex(); });
  for (Control* c : order) {
    Control* target = c->focusTarget();
    if (target && target->takesFocus() && target->canTakeInput()) return target;
  }
  return nullptr;
}

const MemberTable& UserControl::Members() {
  using B = MemberTable::Builder<UserControl>;
  static const MemberTable table =
      B(&Control::Members())
          .property(
              "DataField", [](UserControl& u) { return Variant(u.extender().DataField()); },
              [](UserControl& u, const Variant& v) { u.extender().DataField(CStr(v)); })
          .objectProperty(
              "DataSource", [](UserControl& u) { return u.extender().DataSource(); },
              [](UserControl& u, const Variant& v) { u.extender().DataSource(v); })
          .objectProperty(
              "DataFormat", [](UserControl& u) { return Variant(u.extender().DataFormat()); },
              [](UserControl& u, const Variant& v) {
                auto format = ObjectAs<DataFormat>(v);
                if (!v.isNothing() && !format) {
                  throw Error(err::TypeMismatch, u.Name(),
                              "Type mismatch: DataFormat needs a data format object");
                }
                u.extender().DataFormat(format);
              })
          .build();
  return table;
}

}  // namespace kiv
