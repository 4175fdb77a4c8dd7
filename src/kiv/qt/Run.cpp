#include "kiv/qt/Run.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>
#include <QWindow>

#include "kiv/host/Form.h"
#include "kiv/qt/FormWindow.h"

namespace kiv::qt {

namespace {

// Polls a widget until its window is exposed. The window system maps a
// window some time after show(), and input sent before that is lost, so
// whoever reports a window as ready waits for this. A child of the widget:
// it goes away with it.
class ExposeWaiter : public QObject {
 public:
  ExposeWaiter(QWidget& widget, std::function<void()> then, int timeoutMs)
      : QObject(&widget), widget_(widget), then_(std::move(then)), timeoutMs_(timeoutMs) {
    started_.start();
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { check(); });
    timer_.start(10);
    QTimer::singleShot(0, this, [this] { check(); });
  }

 private:
  void check() {
    if (!then_) return;
    const QWindow* handle = widget_.windowHandle();
    if ((handle && handle->isExposed()) || started_.elapsed() >= timeoutMs_) {
      timer_.stop();
      auto then = std::move(then_);
      then_ = nullptr;
      deleteLater();
      then();
    }
  }

  QWidget& widget_;
  std::function<void()> then_;
  int timeoutMs_;
  QElapsedTimer started_;
  QTimer timer_;
};

}  // namespace

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

bool DisplayAvailable() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int RunWindow(Form& form, const std::function<void(FormWindow&)>& shown) {
  std::unique_ptr<QApplication> app = EnsureApplication(false);
  FormWindow window(form);
  window.show();
  if (shown) WhenExposed(window, [&window, shown] { shown(window); });
  if (!form.IsLoaded()) return 0;
  QEventLoop loop;
  const auto id = form.events.Unload.connect([&] { loop.quit(); });
  QObject::connect(qApp, &QApplication::lastWindowClosed, &loop, &QEventLoop::quit);
  const int status = loop.exec();
  form.events.Unload.disconnect(id);
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

void WhenExposed(QWidget& widget, std::function<void()> then, int timeoutMs) {
  new ExposeWaiter(widget, std::move(then), timeoutMs);
}

}  // namespace kiv::qt
