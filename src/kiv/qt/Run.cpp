#include "kiv/qt/Run.h"

#include <memory>

#include <QApplication>
#include <QEventLoop>
#include <QPixmap>

#include "kiv/host/Form.h"
#include "kiv/host/Host.h"
#include "kiv/qt/FormWindow.h"
#include "kiv/qt/QtHost.h"

namespace kiv::qt {

namespace {

// The application object for the calling code, made when there is none yet.
std::unique_ptr<QApplication> EnsureApplication(bool offscreen) {
  if (QApplication::instance()) return nullptr;
  if (offscreen && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  static int argc = 1;
  static char name[] = "kivform";
  static char* argv[] = {name, nullptr};
  auto app = std::make_unique<QApplication>(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KivControls"));
  return app;
}

}  // namespace

bool DisplayAvailable() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int RunWindow(Form& form, bool screenHost) {
  std::unique_ptr<QApplication> app = EnsureApplication(false);
  Host* previous = &Host::Current();
  std::unique_ptr<QtHost> host;
  if (screenHost) {
    host = std::make_unique<QtHost>();
    Host::SetCurrent(host.get());
  }
  int status = 0;
  {
    FormWindow window(form);
    window.show();
    if (form.IsLoaded()) {
      QEventLoop loop;
      const auto id = form.events.Unload.connect([&] { loop.quit(); });
      QObject::connect(qApp, &QApplication::lastWindowClosed, &loop, &QEventLoop::quit);
      status = loop.exec();
      form.events.Unload.disconnect(id);
    }
  }
  if (screenHost) Host::SetCurrent(previous);
  return status;
}

bool Screenshot(Form& form, const std::string& path, std::string* error) {
  std::unique_ptr<QApplication> app = EnsureApplication(true);
  FormWindow window(form);
  window.setAttribute(Qt::WA_DontShowOnScreen, true);
  window.show();
  QApplication::processEvents();
  const QPixmap image = window.grab();
  if (image.isNull() || !image.save(QString::fromStdString(path), "PNG")) {
    if (error) *error = "the screenshot could not be written to " + path;
    return false;
  }
  return true;
}

}  // namespace kiv::qt
