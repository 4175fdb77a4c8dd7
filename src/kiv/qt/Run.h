#pragma once

#include <string>

namespace kiv {
class Form;
}

namespace kiv::qt {

// Whether a window can be shown: a display server is named (DISPLAY or
// WAYLAND_DISPLAY) or a Qt platform was chosen (QT_QPA_PLATFORM).
bool DisplayAvailable();

// Shows a loaded form in a window and runs the event loop until the window
// is closed or the form unloads. Creates the QApplication when there is none
// and, with screenHost, makes a QtHost current for the duration (message
// boxes, settings and the pointer then go to the screen; without it the
// caller's host stays current). Returns the event loop's exit code.
int RunWindow(Form& form, bool screenHost = true);

// Renders a form off screen (the offscreen platform when no QApplication
// exists yet) and saves it as a PNG file. Returns false, with the reason in
// *error when given, when the image cannot be written.
bool Screenshot(Form& form, const std::string& path, std::string* error = nullptr);

}  // namespace kiv::qt
