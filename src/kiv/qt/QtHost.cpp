#include "kiv/qt/QtHost.h"

#include <algorithm>

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include "kiv/host/Control.h"
#include "kiv/host/Form.h"
#include "kiv/qt/FormWindow.h"
#include "kiv/qt/MonthViewPeer.h"
#include "kiv/qt/PeerFactory.h"
#include "kiv/qt/Units.h"
#include "kiv/runtime/Error.h"

namespace kiv::qt {

namespace {

struct ButtonChoice {
  QMessageBox::StandardButton button;
  int result;
};

// The buttons of a message box style, in the order the host lays them out.
std::vector<ButtonChoice> ButtonsOf(int style) {
  using B = QMessageBox;
  switch (style & 0x0F) {
    case vb::vbOKCancel:
      return {{B::Ok, vb::vbOK}, {B::Cancel, vb::vbCancel}};
    case vb::vbAbortRetryIgnore:
      return {{B::Abort, vb::vbAbort}, {B::Retry, vb::vbRetry}, {B::Ignore, vb::vbIgnore}};
    case vb::vbYesNoCancel:
      return {{B::Yes, vb::vbYes}, {B::No, vb::vbNo}, {B::Cancel, vb::vbCancel}};
    case vb::vbYesNo:
      return {{B::Yes, vb::vbYes}, {B::No, vb::vbNo}};
    case vb::vbRetryCancel:
      return {{B::Retry, vb::vbRetry}, {B::Cancel, vb::vbCancel}};
    default:
      return {{B::Ok, vb::vbOK}};
  }
}

QMessageBox::Icon IconOf(int style) {
  switch (style & 0x70) {
    case vb::vbCritical:
      return QMessageBox::Critical;
    case vb::vbQuestion:
      return QMessageBox::Question;
    case vb::vbExclamation:
      return QMessageBox::Warning;
    case vb::vbInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

Qt::CursorShape CursorOf(int pointer) {
  switch (pointer) {
    case 2:
      return Qt::CrossCursor;
    case 3:
      return Qt::IBeamCursor;
    case 5:
      return Qt::SizeAllCursor;
    case 6:
      return Qt::SizeBDiagCursor;
    case 7:
      return Qt::SizeVerCursor;
    case 8:
      return Qt::SizeFDiagCursor;
    case 9:
      return Qt::SizeHorCursor;
    case 10:
      return Qt::UpArrowCursor;
    case 11:
      return Qt::WaitCursor;
    case 12:
      return Qt::ForbiddenCursor;
    case 13:
      return Qt::BusyCursor;
    case 14:
      return Qt::WhatsThisCursor;
    case 15:
      return Qt::SizeAllCursor;
    default:
      return Qt::ArrowCursor;
  }
}

// A settings path component: '/' and '\' would nest groups, so they are escaped.
QString SettingsPart(std::string_view text) {
  QString part = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  part.replace(QLatin1Char('%'), QStringLiteral("%25"));
  part.replace(QLatin1Char('/'), QStringLiteral("%2F"));
  part.replace(QLatin1Char('\\'), QStringLiteral("%5C"));
  return part;
}

QString SettingsKey(std::string_view app, std::string_view section, std::string_view key) {
  if (app.empty() || section.empty() || key.empty()) {
    throw Error(err::InvalidProcedureCall, "KivControls",
                "Invalid procedure call or argument: a setting needs an application, a "
                "section and a key name");
  }
  return SettingsPart(app) + QLatin1Char('/') + SettingsPart(section) + QLatin1Char('/') +
         SettingsPart(key);
}

// Keeps Escape and the window's close box from answering a box that has no
// Cancel: left to itself, Qt takes No for them, and No to "Do you want to
// save your changes?" throws the user's edits away.
class NeedsAButton : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      return true;
    }
    // A close the window system asks for; a button's own close is not spontaneous.
    if (event->type() == QEvent::Close && event->spontaneous()) {
      event->ignore();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

// Where a control of the screen stands, in global coordinates (empty when it
// is not shown).
QRect ScreenRectOf(Dispatch* owner) {
  const auto* control = dynamic_cast<Control*>(owner);
  QWidget* widget = control ? WidgetOf(*control) : nullptr;
  if (!widget || !widget->isVisible()) return {};
  return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

// Puts a drop-down below its anchor, or above it when the screen has no room
// below, and keeps it on the anchor's screen.
void DropDownBeside(QWidget& popup, const QRect& anchor) {
  QScreen* screen = QGuiApplication::screenAt(anchor.center());
  if (!screen) screen = popup.screen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QSize size = popup.frameGeometry().size();
  int y = anchor.bottom() + 1;
  if (y + size.height() > area.bottom() + 1 && anchor.top() - size.height() >= area.top())
    y = anchor.top() - size.height();
  const int x = std::clamp(anchor.left(), area.left(),
                           std::max(area.left(), area.right() + 1 - size.width()));
  y = std::clamp(y, area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
  popup.move(x, y);
}

char SingleChar(const QString& text, char fallback) {
  if (text.size() == 1 && text.at(0).unicode() < 0x80)
    return static_cast<char>(text.at(0).unicode());
  // A separator outside ASCII (a narrow no-break space) reads as a space.
  return text.isEmpty() ? fallback : ' ';
}

}  // namespace

QtHost::QtHost(QString settingsFile) {
  if (settingsFile.isEmpty()) {
    settings_ =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QStringLiteral("KivControls"), QStringLiteral("KivControls"));
  } else {
    settings_ = std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
  }
  const Locale system = LocaleOf(QLocale::system());
  systemLocaleName_ = system.name;
  setLocale(system);
  if (!QApplication::applicationName().isEmpty() &&
      QApplication::applicationName() != QApplication::applicationFilePath()) {
    SetAppTitle(QApplication::applicationName().toStdString());
  }
}

QtHost::~QtHost() {
  if (overrideCursor_) QApplication::restoreOverrideCursor();
}

int QtHost::MsgBox(std::string_view prompt, int buttons, std::string_view title) {
  const std::string shownTitle = title.empty() ? AppTitle() : std::string(title);
  QMessageBox box(IconOf(buttons), QString::fromStdString(shownTitle),
                  QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size())),
                  QMessageBox::NoButton, QApplication::activeWindow());
  const std::vector<ButtonChoice> choices = ButtonsOf(buttons);
  std::vector<QAbstractButton*> made;
  for (const ButtonChoice& choice : choices)
    made.push_back(box.addButton(choice.button));
  const std::size_t defaultIndex =
      std::min<std::size_t>(static_cast<std::size_t>((buttons >> 8) & 0x0F), choices.size() - 1);
  box.setDefaultButton(static_cast<QPushButton*>(made[defaultIndex]));
  // Escape answers Cancel, or OK on a box with OK alone; Yes/No and
  // Abort/Retry/Ignore boxes need a button.
  int escapeResult = 0;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (choices[i].result == vb::vbCancel || choices.size() == 1) {
      box.setEscapeButton(made[i]);
      escapeResult = choices[i].result;
    }
  }
  NeedsAButton needsAButton;
  if (escapeResult == 0) box.installEventFilter(&needsAButton);
  // The busy pointer does not stay over a question put to the user.
  const bool busy = overrideCursor_;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  if (messageBoxDriver_) {
    auto driver = messageBoxDriver_;
    QTimer::singleShot(0, &box, [driver, &box] { driver(box); });
  }
  box.exec();
  if (busy) QApplication::restoreOverrideCursor();
  QAbstractButton* clicked = box.clickedButton();
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (made[i] == clicked) return choices[i].result;
  }
  return escapeResult ? escapeResult : choices[defaultIndex].result;
}

void QtHost::Beep() {
  QApplication::beep();
}

void QtHost::SetMousePointer(int pointer) {
  Host::SetMousePointer(pointer);
  if (overrideCursor_) {
    QApplication::restoreOverrideCursor();
    overrideCursor_ = false;
  }
  if (pointer != vb::vbDefault) {
    QApplication::setOverrideCursor(QCursor(CursorOf(pointer)));
    overrideCursor_ = true;
  }
}

std::string QtHost::GetSetting(std::string_view app, std::string_view section, std::string_view key,
                               std::string_view defaultValue) {
  const QString name = SettingsKey(app, section, key);
  if (!settings_->contains(name)) return std::string(defaultValue);
  return settings_->value(name).toString().toStdString();
}

void QtHost::SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view value) {
  settings_->setValue(SettingsKey(app, section, key),
                      QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  settings_->sync();
  if (settings_->status() != QSettings::NoError) {
    throw Error(err::InvalidProcedureCall, "KivControls",
                "The setting '" + std::string(key) + "' could not be saved to " +
                    settings_->fileName().toStdString());
  }
}

void QtHost::ShowModal(Form& form, Dispatch* owner) {
  QDialog dialog(QApplication::activeWindow());
  dialog.setModal(true);
  auto* layout = new QVBoxLayout(&dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* window = new FormWindow(form, &dialog);
  layout->addWidget(window);
  dialog.setWindowTitle(QString::fromStdString(form.Caption()));
  if (form.MinimumWidth() > 0 || form.MinimumHeight() > 0) {
    window->setMinimumSize(TwipsToPixels(form.MinimumWidth(), window),
                           TwipsToPixels(form.MinimumHeight(), window));
  }
  dialog.resize(window->size());
  const QRect anchor = form.DropsDown() ? ScreenRectOf(owner) : QRect();
  if (form.DropsDown()) dialog.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  if (!anchor.isEmpty()) {
    DropDownBeside(dialog, anchor);
  } else if (form.StartUpPosition() == 2) {
    if (QScreen* screen = dialog.screen()) {
      QRect frame(QPoint(), dialog.size());
      frame.moveCenter(screen->availableGeometry().center());
      dialog.move(frame.topLeft());
    }
  }
  // The form ends its modal showing by unloading or hiding itself.
  QEventLoop loop;
  const auto unloadId = form.events.Unload.connect([&] { loop.quit(); });
  const auto changeId = form.events.PropertyChanged.connect([&](std::string& name) {
    if (name == "Visible" && !form.Visible()) loop.quit();
    if (name == "Caption") dialog.setWindowTitle(QString::fromStdString(form.Caption()));
  });
  // Closing the window unloads the form, as the host's close box does.
  QObject::connect(&dialog, &QDialog::rejected, &dialog, [&] {
    if (form.IsLoaded()) form.Unload();
    loop.quit();
  });
  dialog.show();
  if (modalDriver_) {
    auto driver = modalDriver_;
    QTimer::singleShot(0, &dialog, [driver, &form, &dialog] { driver(form, dialog); });
  }
  if (form.IsLoaded() && form.Visible()) loop.exec(QEventLoop::DialogExec);
  form.events.Unload.disconnect(unloadId);
  form.events.PropertyChanged.disconnect(changeId);
  dialog.hide();
}

std::pair<double, double> QtHost::MonthViewSize() const {
  if (!QApplication::instance()) return Host::MonthViewSize();
  const QSize fitted = MonthViewPeer::FittedSize();
  return {PixelsToTwips(fitted.width()), PixelsToTwips(fitted.height())};
}

void QtHost::setLocale(const Locale& locale) {
  Host::setLocale(locale);
  // The desktop's own QLocale keeps the user's per-category choices (numbers
  // from one country, dates from another) that a locale made by name lacks.
  QLocale::setDefault(locale.name == systemLocaleName_
                          ? QLocale::system()
                          : QLocale(QString::fromStdString(locale.name)));
}

Locale QtHost::LocaleOf(const QLocale& q) {
  Locale l = Locale::Invariant();
  l.name = q.bcp47Name().toStdString();
  l.decimalSeparator = SingleChar(q.decimalPoint(), '.');
  l.thousandsSeparator = SingleChar(q.groupSeparator(), ',');
  l.currencySymbol = q.currencySymbol().toStdString();
  const QString amount = q.toCurrencyString(1.0);
  l.currencySymbolAfter = amount.indexOf(q.currencySymbol()) > 0;
  l.currencyNegativeParentheses = q.toCurrencyString(-1.0).startsWith(QLatin1Char('('));
  QString shortDate = q.dateFormat(QLocale::ShortFormat);
  // A two-digit year loses the century of a stored date: show all four.
  if (!shortDate.contains(QStringLiteral("yyyy")))
    shortDate.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  l.shortDatePattern = shortDate.toStdString();
  l.longDatePattern = q.dateFormat(QLocale::LongFormat).toStdString();
  const qsizetype d = shortDate.indexOf(QLatin1Char('d'));
  const qsizetype m = shortDate.indexOf(QLatin1Char('M'));
  const qsizetype y = shortDate.indexOf(QLatin1Char('y'));
  if (y >= 0 && y < m && y < d) {
    l.dateOrder = Locale::DateOrder::YMD;
  } else if (d >= 0 && d < m) {
    l.dateOrder = Locale::DateOrder::DMY;
  } else {
    l.dateOrder = Locale::DateOrder::MDY;
  }
  for (QChar c : shortDate) {
    if (!c.isLetter()) {
      l.dateSeparator = c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '/';
      break;
    }
  }
  const QString time = q.timeFormat(QLocale::LongFormat);
  for (QChar c : time) {
    if (!c.isLetter() && !c.isSpace()) {
      l.timeSeparator = c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : ':';
      break;
    }
  }
  l.twentyFourHour = !time.contains(QLatin1Char('a'), Qt::CaseInsensitive);
  if (!q.amText().isEmpty()) l.amDesignator = q.amText().toStdString();
  if (!q.pmText().isEmpty()) l.pmDesignator = q.pmText().toStdString();
  for (int i = 0; i < 12; ++i) {
    l.monthNames[static_cast<std::size_t>(i)] =
        q.monthName(i + 1, QLocale::LongFormat).toStdString();
    l.monthAbbrevs[static_cast<std::size_t>(i)] =
        q.monthName(i + 1, QLocale::ShortFormat).toStdString();
  }
  for (int i = 0; i < 7; ++i) {
    const int qtDay = i == 0 ? 7 : i;  // Qt counts Monday 1 .. Sunday 7
    l.dayNames[static_cast<std::size_t>(i)] = q.dayName(qtDay, QLocale::LongFormat).toStdString();
    l.dayAbbrevs[static_cast<std::size_t>(i)] =
        q.dayName(qtDay, QLocale::ShortFormat).toStdString();
  }
  return l;
}

}  // namespace kiv::qt
