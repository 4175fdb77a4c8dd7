#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kiv/host/Control.h"
#include "kiv/host/Extender.h"
#include "kiv/host/Font.h"
#include "kiv/runtime/PropertyBag.h"

namespace kiv {

// What the container tells a user control about its surroundings.
struct AmbientProperties {
  ::kiv::Font Font;  // the container's font, the default of a grid's Font
};

// The base of the library's controls: a control built from constituent
// widgets, with the container's life cycle (InitProperties for a new
// instance, ReadProperties / WriteProperties with a property bag, Resize),
// its extender and the ambient properties.
//
// Resize runs whenever Width or Height changes and when the host lays the
// control out (layout()); a Resize that changes the size again runs Resize
// again, as the host does (nested at most a few levels).
class UserControl : public Control {
 public:
  explicit UserControl(std::string name = "");
  ~UserControl() override;

  // ---- Life cycle, run by the host
  virtual void InitProperties() {}
  virtual void ReadProperties(PropertyBag& /*bag*/) {}
  virtual void WriteProperties(PropertyBag& /*bag*/) {}
  virtual void Resize() {}
  // The host lays the control out: runs Resize.
  void layout();

  // Tells the host and the peer that a persisted property changed.
  void PropertyChanged(std::string_view name);

  ::kiv::Extender& extender() { return extender_; }
  const ::kiv::Extender& extender() const { return extender_; }
  // Alias of extender(), as the container names it.
  ::kiv::Extender& Extender() { return extender_; }
  const ::kiv::Extender& Extender() const { return extender_; }
  const AmbientProperties& Ambient() const { return ambient_; }
  void setAmbientFont(const ::kiv::Font& font) { ambient_.Font = font; }

  // ---- Constituent widgets
  // Makes the widget a constituent: it sits inside this control, takes
  // input and focus like any widget, and is laid out by this control.
  void addConstituent(std::shared_ptr<Control> widget);
  const std::vector<std::shared_ptr<Control>>& constituents() const { return constituents_; }
  // The constituent of that name (without regard to case), or nullptr.
  Control* constituent(std::string_view name) const;

  // Focus entering or leaving the control (the focus moved to or from one of
  // its constituents, or the control itself).
  virtual void EnterFocus() {}
  virtual void ExitFocus() {}

  std::string_view TypeName() const override { return "UserControl"; }
  const MemberTable& memberTable() const override { return Members(); }
  // Control's members plus the extender's DataField, DataSource, DataFormat.
  static const MemberTable& Members();

 protected:
  void geometryChanged(bool sizeChanged) override;
  // A user control with constituents hands the focus to the first of them
  // (by TabIndex) that can take it; one without takes it itself.
  bool takesFocus() const override;
  Control* focusTarget() override;

 private:
  ::kiv::Extender extender_;
  AmbientProperties ambient_;
  std::vector<std::shared_ptr<Control>> constituents_;
  int resizeDepth_ = 0;
};

}  // namespace kiv
