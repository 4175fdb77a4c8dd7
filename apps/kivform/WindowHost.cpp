#include "kivform/WindowHost.h"

#include <cmath>
#include <utility>
#include <vector>

#include <QMessageBox>

#include "kiv/host/Control.h"
#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/host/MonthView.h"
#include "kiv/host/UserControl.h"
#include "kiv/qt/FormWindow.h"
#include "kiv/qt/RecordPosition.h"
#include "kiv/qt/Run.h"
#include "kiv/runtime/Conversions.h"

namespace kivform {

namespace {

// A caption in quotes, on one line whatever it holds.
std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

std::string Place(const QPoint& at, const QSize& size) {
  return "at " + std::to_string(at.x()) + "," + std::to_string(at.y()) + " size " +
         std::to_string(size.width()) + "x" + std::to_string(size.height());
}

}  // namespace

WindowHost::WindowHost(std::ostream& out) : out_(&out) {
  onMessageBox([this](QMessageBox& box) {
    kiv::qt::WhenExposed(
        box, [this, &box] { write(windowLine("MsgBox", box.windowTitle().toStdString(), box)); });
  });
  onModalForm([this](kiv::Form&, QWidget& dialog) {
    if (auto* window = dialog.findChild<kiv::qt::FormWindow*>()) {
      kiv::qt::WhenExposed(dialog, [this, window] { windowShown(*window); });
    }
  });
}

void WindowHost::write(const std::string& line) {
  *out_ << line << "\n";
  out_->flush();
}

std::string WindowHost::windowLine(const std::string& kind, const std::string& caption,
                                   QWidget& window) {
  QWidget& top = *window.window();
  return "Window " + kind + " " + Quote(caption) + " id=" + std::to_string(top.winId()) + " " +
         Place(top.geometry().topLeft(), top.geometry().size());
}

void WindowHost::windowShown(kiv::qt::FormWindow& window) {
  kiv::Form* form = window.form();
  if (!form) return;
  QWidget& top = *window.window();
  std::vector<std::string> widgets;
  auto widgetLine = [&](const std::string& name, const kiv::Control& control) {
    QWidget* widget = window.widgetOf(control);
    if (!widget || !widget->isVisible()) return;
    widgets.push_back("Widget " + name + " " +
                      Place(widget->mapTo(&top, QPoint(0, 0)), widget->size()));
  };
  for (const auto& control : form->Controls()) {
    widgetLine(control->Name(), *control);
    if (auto* user = dynamic_cast<kiv::UserControl*>(control.get())) {
      for (const auto& inner : user->constituents())
        widgetLine(control->Name() + "." + inner->Name(), *inner);
    }
  }
  // The count lets a reader tell a whole list from one still being written.
  std::string block = windowLine(form->Name(), form->Caption(), window) + " widgets " +
                      std::to_string(widgets.size());
  for (const auto& line : widgets)
    block += "\n" + line;
  write(block);
  // The record position the status bar shows, now and after every change.
  if (kiv::qt::RecordPosition* position = window.recordPosition()) {
    write("Status " + Quote(position->text().toStdString()));
    if (!position->property("kivTranscribed").toBool()) {
      position->setProperty("kivTranscribed", true);
      QObject::connect(
          position, &kiv::qt::RecordPosition::positionChanged, position,
          [this](const QString& text) { write("Status " + Quote(text.toStdString())); });
    }
  }
}

void WindowHost::setToday(kiv::DateTime today) {
  today_ = kiv::DateTime{std::floor(today.serial)};
}

kiv::DateTime WindowHost::Now() {
  return today_ ? *today_ : QtHost::Now();
}

int WindowHost::MsgBox(std::string_view prompt, int buttons, std::string_view title) {
  const std::string shownTitle = title.empty() ? AppTitle() : std::string(title);
  const int answer = QtHost::MsgBox(prompt, buttons, title);
  write("MsgBox " + kiv::HeadlessHost::DescribeMsgBox(prompt, buttons, shownTitle) + " -> " +
        kiv::HeadlessHost::ResultName(answer));
  return answer;
}

void WindowHost::Beep() {
  write("Beep");
  QtHost::Beep();
}

void WindowHost::ShowModal(kiv::Form& form, kiv::Dispatch* owner) {
  write("Modal show " + form.Name());
  // What the user picked in a calendar, in a form that reads the same in
  // every locale.
  std::vector<std::pair<kiv::MonthView*, kiv::Event<kiv::DateTime>::Id>> picks;
  for (const auto& control : form.Controls()) {
    if (auto* view = dynamic_cast<kiv::MonthView*>(control.get())) {
      const std::string name = form.Name() + "." + view->Name();
      picks.emplace_back(view, view->events.DateClick.connect([this, name](kiv::DateTime& date) {
        Trace("Event " + name + ".DateClick " + kiv::Format(kiv::Variant(date), "yyyy-mm-dd"));
      }));
    }
  }
  struct Disconnect {
    decltype(picks)& list;
    ~Disconnect() {
      for (auto& [view, id] : list)
        view->events.DateClick.disconnect(id);
    }
  } disconnect{picks};
  QtHost::ShowModal(form, owner);
  write("Modal closed " + form.Name());
}

void WindowHost::Trace(std::string line) {
  write(line);
}

}  // namespace kivform
