#include "kiv/host/Form.h"

#include <algorithm>

#include "kiv/host/CommandButton.h"
#include "kiv/host/Control.h"
#include "kiv/host/Host.h"
#include "kiv/host/MonthView.h"
#include "kiv/host/UserControl.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {

constexpr std::int32_t kFormAlreadyDisplayed = 400;
constexpr int kMaxResizeDepth = 4;

thread_local std::uint64_t tlModalShows = 0;

bool Contains(const Control* container, const Control* control) {
  for (const Control* c = control; c; c = c->Container()) {
    if (c == container) return true;
  }
  return false;
}

// The widgets of a control in tab order: a user control's constituents
// (by TabIndex), or the control itself.
void TabOrder(Control& control, std::vector<Control*>& out) {
  auto* user = dynamic_cast<UserControl*>(&control);
  if (!user || user->constituents().empty()) {
    out.push_back(&control);
    return;
  }
  std::vector<Control*> inner;
  for (const auto& c : user->constituents())
    inner.push_back(c.get());
  std::stable_sort(inner.begin(), inner.end(),
                   [](Control* a, Control* b) { return a->TabIndex() < b->TabIndex(); });
  for (Control* c : inner)
    TabOrder(*c, out);
}

}  // namespace

Form::Form(std::string name) : name_(std::move(name)) {}

Form::~Form() {
  for (const auto& c : controls_)
    c->form_ = nullptr;
}

std::uint64_t Form::ModalShowCount() {
  return tlModalShows;
}

void Form::changed(const char* property) {
  std::string name(property);
  events.PropertyChanged.raise(name);
}

void Form::setVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  changed("Visible");
}

void Form::Caption(std::string value) {
  if (value == caption_) return;
  caption_ = std::move(value);
  changed("Caption");
}

void Form::Left(double value) {
  if (value == left_) return;
  left_ = value;
  changed("Left");
}

void Form::Top(double value) {
  if (value == top_) return;
  top_ = value;
  changed("Top");
}

void Form::Width(double value) {
  if (value == width_) return;
  width_ = value;
  changed("Width");
  if (loaded_) resized();
}

void Form::Height(double value) {
  if (value == height_) return;
  height_ = value;
  changed("Height");
  if (loaded_) resized();
}

// ---- Controls

void Form::Add(std::shared_ptr<Control> control) {
  if (!control) return;
  if (control->form_ == this) return;
  if (control->form_) control->form_->Remove(*control);
  control->form_ = this;
  controls_.push_back(std::move(control));
}

void Form::Remove(Control& control) {
  if (control.form_ != this) return;
  forgetControl(control);
  control.form_ = nullptr;
  std::erase_if(controls_, [&](const std::shared_ptr<Control>& c) { return c.get() == &control; });
}

void Form::forgetControl(Control& control) {
  if (active_ && Contains(&control, active_)) active_ = nullptr;
}

Control* Form::control(std::string_view name) const {
  return controlPtr(name).get();
}

std::shared_ptr<Control> Form::controlPtr(std::string_view name) const {
  const std::string wanted = AsciiLower(name);
  for (const auto& c : controls_) {
    if (AsciiLower(c->Name()) == wanted) return c;
  }
  return nullptr;
}

// ---- Focus

void Form::SetFocus(Control& control) {
  if (control.Parent() != this) {
    throw Error(err::InvalidProcedureCall, name_,
                "Invalid procedure call or argument: '" + control.Name() + "' is not on form '" +
                    name_ + "'");
  }
  control.SetFocus();
}

void Form::moveFocus(Control* target) {
  Control::moveFocus(active_, target);
}

bool Form::tab(bool backwards) {
  std::vector<Control*> top;
  for (const auto& c : controls_)
    top.push_back(c.get());
  std::stable_sort(top.begin(), top.end(),
                   [](Control* a, Control* b) { return a->TabIndex() < b->TabIndex(); });
  std::vector<Control*> order;
  for (Control* c : top)
    TabOrder(*c, order);
  std::vector<Control*> candidates;
  for (Control* c : order) {
    if (c == active_ || c->CanFocus()) candidates.push_back(c);
  }
  if (candidates.empty()) return false;
  auto it = std::find(candidates.begin(), candidates.end(), active_);
  Control* next;
  if (it == candidates.end()) {
    next = backwards ? candidates.back() : candidates.front();
  } else {
    const std::size_t i = static_cast<std::size_t>(it - candidates.begin());
    const std::size_t n = candidates.size();
    next = candidates[backwards ? (i + n - 1) % n : (i + 1) % n];
  }
  if (next == active_ || !next->CanFocus()) return false;
  moveFocus(next);
  return true;
}

CommandButton* Form::defaultButton() const {
  for (const auto& c : controls_) {
    auto* b = dynamic_cast<CommandButton*>(c.get());
    if (b && b->Default() && b->canTakeInput()) return b;
  }
  return nullptr;
}

CommandButton* Form::cancelButton() const {
  for (const auto& c : controls_) {
    auto* b = dynamic_cast<CommandButton*>(c.get());
    if (b && b->Cancel() && b->canTakeInput()) return b;
  }
  return nullptr;
}

// ---- Life cycle

void Form::load() {
  loaded_ = true;
  for (const auto& c : controls_) {
    if (auto* u = dynamic_cast<UserControl*>(c.get())) IgnoreErrors([&] { u->layout(); });
    if (auto* view = dynamic_cast<MonthView*>(c.get())) IgnoreErrors([&] { view->fitToHost(); });
  }
  Form_Load();
  events.Load.raise();
  if (loaded_) resized();
}

void Form::resized() {
  if (resizeDepth_ >= kMaxResizeDepth) return;
  ++resizeDepth_;
  try {
    Form_Resize();
    events.Resize.raise();
  } catch (...) {
    --resizeDepth_;
    throw;
  }
  --resizeDepth_;
}

void Form::Show(int modal, Dispatch* owner) {
  if (modal == 0) {
    if (modalDepth_ > 0) return;  // already shown modally
    if (!loaded_) load();
    if (loaded_) setVisible(true);
    return;
  }
  if (modalDepth_ > 0 || visible_) {
    throw Error(kFormAlreadyDisplayed, name_, "Form already displayed; can't show modally");
  }
  if (!loaded_) load();
  if (!loaded_) return;  // the form unloaded itself while loading
  setVisible(true);
  owner_ = owner;
  ++modalDepth_;
  ++tlModalShows;
  try {
    Host::Current().ShowModal(*this, owner);
  } catch (...) {
    --modalDepth_;
    owner_ = nullptr;
    throw;
  }
  --modalDepth_;
  owner_ = nullptr;
}

void Form::Hide() {
  setVisible(false);
}

void Form::Unload() {
  if (!loaded_ || unloading_) return;
  unloading_ = true;
  try {
    Form_Unload();
    events.Unload.raise();
  } catch (...) {
    unloading_ = false;
    loaded_ = false;
    active_ = nullptr;
    setVisible(false);
    throw;
  }
  unloading_ = false;
  loaded_ = false;
  active_ = nullptr;
  setVisible(false);
}

// ---- Late binding

const MemberTable& Form::Members() {
  using B = MemberTable::Builder<Form>;
  static const MemberTable table =
      B().property(
             "Name", [](Form& f) { return Variant(f.Name()); },
             [](Form& f, const Variant& v) { f.Name(CStr(v)); })
          .property(
              "Caption", [](Form& f) { return Variant(f.Caption()); },
              [](Form& f, const Variant& v) { f.Caption(TextOf(v)); })
          .property(
              "Left", [](Form& f) { return Variant(f.Left()); },
              [](Form& f, const Variant& v) { f.Left(CDbl(v)); })
          .property(
              "Top", [](Form& f) { return Variant(f.Top()); },
              [](Form& f, const Variant& v) { f.Top(CDbl(v)); })
          .property(
              "Width", [](Form& f) { return Variant(f.Width()); },
              [](Form& f, const Variant& v) { f.Width(CDbl(v)); })
          .property(
              "Height", [](Form& f) { return Variant(f.Height()); },
              [](Form& f, const Variant& v) { f.Height(CDbl(v)); })
          .get("Visible", [](Form& f) { return Variant(f.Visible()); })
          .getIndexed(
              "Controls",
              [](Form& f, B::Args& a) {
                if (a.empty() || Arg(a, 0).isEmpty()) {
                  std::vector<Variant> items;
                  for (const auto& c : f.Controls()) {
                    items.emplace_back(std::static_pointer_cast<Dispatch>(c));
                  }
                  return Variant(Array::Of(std::move(items)));
                }
                const Variant& key = Arg(a, 0);
                if (key.isString()) {
                  auto c = f.controlPtr(key.string());
                  if (!c) {
                    throw Error(err::SubscriptOutOfRange, f.Name(),
                                "Subscript out of range: no control named '" + key.string() + "'");
                  }
                  return Variant(std::static_pointer_cast<Dispatch>(c));
                }
                const std::int32_t i = CLng(key);
                if (i < 0 || i >= static_cast<std::int32_t>(f.Controls().size())) {
                  throw Error(err::SubscriptOutOfRange, f.Name(),
                              "Subscript out of range: Controls(" + std::to_string(i) + ")");
                }
                return Variant(
                    std::static_pointer_cast<Dispatch>(f.Controls()[static_cast<std::size_t>(i)]));
              })
          .get("Count",
               [](Form& f) { return Variant(static_cast<std::int32_t>(f.Controls().size())); })
          .get("ActiveControl",
               [](Form& f) {
                 Control* c = f.ActiveControl();
                 std::shared_ptr<Dispatch> p = c ? c->weak_from_this().lock() : nullptr;
                 return Variant(p);
               })
          .method("Show",
                  [](Form& f, B::Args& a) {
                    f.Show(HasArg(a, 0) ? CLng(Arg(a, 0)) : 0, HasArg(a, 1) && Arg(a, 1).isObject()
                                                                   ? Arg(a, 1).object().get()
                                                                   : nullptr);
                    return Variant();
                  })
          .method("Hide",
                  [](Form& f, B::Args&) {
                    f.Hide();
                    return Variant();
                  })
          .method("Unload",
                  [](Form& f, B::Args&) {
                    f.Unload();
                    return Variant();
                  })
          .build();
  return table;
}

}  // namespace kiv
