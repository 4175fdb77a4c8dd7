#pragma once

#include <QWidget>

namespace kiv {
class Control;
}

namespace kiv::qt {

class ControlPeer;

// Makes the peer that shows a control (its widget a child of parent): a text
// box, check box, command button, combo box, label, month view, data grid,
// or a user control with its constituents. A control of another kind shows
// as an empty frame of its size.
ControlPeer* CreatePeer(Control& control, QWidget* parent = nullptr);

// The widget showing a control, or nullptr when it has no Qt peer.
QWidget* WidgetOf(const Control& control);

// Embeds a control in an application's own Qt layout: its widget, made for
// the purpose, takes the control's size as its preferred size and is placed
// by the layout rather than by the control's Left and Top.
QWidget* Embed(Control& control, QWidget* parent = nullptr);

}  // namespace kiv::qt
