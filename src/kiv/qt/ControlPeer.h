#pragma once

#include <cstdint>
#include <string_view>

#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QWidget>

#include <exception>
#include <memory>
#include <vector>

#include "kiv/host/Control.h"
#include "kiv/host/WidgetPeer.h"
#include "kiv/runtime/Error.h"

class QKeyEvent;
class QMouseEvent;

namespace kiv::qt {

// The part every peer shares: it shows one control of the model in one Qt
// widget and feeds the widget's real input back through the control's
// simulated-input entry points, so the events run in the order the headless
// host raises them. The model stays the source of truth: the widget only
// mirrors it.
//
// The peer is a child of its widget: deleting the widget detaches the peer
// from the control. A control destroyed first leaves the widget hidden and
// scheduled for deletion.
class ControlPeer : public QObject, public WidgetPeer {
  Q_OBJECT
 public:
  ControlPeer(Control& control, QWidget* widget);
  ~ControlPeer() override;

  // The control shown, or nullptr once it has gone away.
  Control* control() const { return control_; }
  QWidget* widget() const { return widget_; }
  // The peer showing a widget, or nullptr.
  static ControlPeer* of(const QWidget* widget);

  // Reads every property from the model again.
  void refresh();

  // WidgetPeer
  void propertyChanged(Control& control, std::string_view name) final;
  void geometryChanged(Control& control) override;
  void focusChanged(Control& control, bool hasFocus) override;
  void visibilityChanged(Control& control, bool visible) override;
  void detached(Control& control) override;

  // Shows a failure raised by an event handler while real input ran (the
  // host's message box); nothing of it escapes into Qt's event loop.
  static void ReportError(const kiv::Error& error);

 protected:
  // The kind's own properties (Text, Caption, Value, ...); name is "" for all.
  virtual void showProperty(std::string_view name) = 0;
  // Real input. Each returns whether the event was used up (Qt does not see it).
  virtual bool keyPressed(QKeyEvent& event);
  virtual bool keyReleased(QKeyEvent& event);
  virtual bool mousePressed(QMouseEvent& event);
  virtual bool mouseReleased(QMouseEvent& event);
  virtual bool mouseDoubleClicked(QMouseEvent& event);

  bool eventFilter(QObject* watched, QEvent* event) override;
  // Routes a part of the widget (a view's viewport, a calendar's grid) through
  // the same input handling.
  void watch(QWidget* part);

  // Runs model calls made for real input: a kiv::Error goes to ReportError.
  template <class F>
  void fromUser(F&& call);
  // Whether the peer itself is writing to the widget (its signals are echoes).
  bool mirroring() const { return mirroring_ > 0; }
  struct Mirror {
    explicit Mirror(ControlPeer& p) : peer(p) {
      ++peer.mirroring_;
      ++MirroringAny();
    }
    ~Mirror() {
      --peer.mirroring_;
      --MirroringAny();
    }
    ControlPeer& peer;
  };
  // How many peers are writing to their widgets right now. Qt moves its
  // focus off a widget a peer hides; that move is Qt's, not the user's.
  static int& MirroringAny();
  // Paints the widget's background and text roles with host colours.
  void showColours(std::int32_t back, std::int32_t fore,
                   QPalette::ColorRole backRole = QPalette::Base,
                   QPalette::ColorRole foreRole = QPalette::Text);
  // Mouse position in twips from the widget's corner.
  float twipsX(const QMouseEvent& event) const;
  float twipsY(const QMouseEvent& event) const;

 private:
  void showGeometry();
  void showVisible();
  void keepFocus();

  Control* control_;
  QPointer<QWidget> widget_;
  QPalette basePalette_;
  int mirroring_ = 0;
  std::vector<QPointer<QWidget>> parts_;
  bool focusing_ = false;
  bool swallowRelease_ = false;
};

template <class F>
void ControlPeer::fromUser(F&& call) {
  if (!control_) return;
  // Keep the control alive while its handlers run (one may remove it).
  std::shared_ptr<Dispatch> keep = control_->weak_from_this().lock();
  try {
    call();
  } catch (const kiv::Error& error) {
    ReportError(error);
  } catch (const std::exception& error) {
    ReportError(kiv::Error(err::InvalidProcedureCall, "KivControls", error.what()));
  }
}

}  // namespace kiv::qt
