#pragma once

#include <functional>
#include <memory>
#include <string>

class QApplication;
class QWidget;

namespace kiv {
class Form;
}

namespace kiv::qt {

class FormWindow;

// Whether a window can be shown: a display server is named (DISPLAY or
// WAYLAND_DISPLAY) or a Qt platform was chosen (QT_QPA_PLATFORM).
bool DisplayAvailable();

// The application object for the calling code, made when there is none yet
// (nullptr when one exists); offscreen picks the offscreen platform unless
// QT_QPA_PLATFORM names one. A program that shows a screen makes it first,
// then its QtHost, then loads the screen.
std::unique_ptr<QApplication> EnsureApplication(bool offscreen = false);

// Shows a loaded form in a window and runs the event loop until the window
// is closed or the form unloads; shown, when given, is called once the
// window is on the screen. Returns the event loop's exit code.
//
// The window keeps the current host (Host::Current()): the screen's controls
// were filled and formatted in that host's locale and read their input back
// in it, so a host that took over now would read the screen's own texts in
// other regional settings. Make a QtHost current before the form is loaded.
int RunWindow(Form& form, const std::function<void(FormWindow&)>& shown = {});

// Renders a form off screen (the offscreen platform when no QApplication
// exists yet) and saves it as a PNG file. Returns false, with the reason in
// *error when given, when the image cannot be written.
bool Screenshot(Form& form, const std::string& path, std::string* error = nullptr);

// Calls then once widget is on the screen (exposed), or after timeoutMs
// when it never gets there; nothing if the widget goes away first.
void WhenExposed(QWidget& widget, std::function<void()> then, int timeoutMs = 10000);

}  // namespace kiv::qt
