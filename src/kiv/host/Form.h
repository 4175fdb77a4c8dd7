#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kiv/runtime/Dispatch.h"
#include "kiv/runtime/Event.h"

namespace kiv {

class CommandButton;
class Control;

// A form: its controls in order (the order the form controller walks), a
// caption and a size in twips, the focus, and its life cycle.
//
// Loading happens on the first Show after creation or after an Unload: the
// user controls on the form are laid out, then Form_Load and the Load event
// run, then Form_Resize and the Resize event. Show(vbModal) goes through
// Host::Current().ShowModal and returns when the form has unloaded; a
// modeless Show loads and shows the form and returns. Unload runs Form_Unload
// and the Unload event, hides the form and clears its focus; the form object
// and its controls stay (a later Show loads it again).
class Form : public Dispatch {
 public:
  explicit Form(std::string name = "Form1");
  ~Form() override;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  void Name(std::string value) { name_ = std::move(value); }
  const std::string& Caption() const { return caption_; }
  void Caption(std::string value);
  double Left() const { return left_; }
  void Left(double value);
  double Top() const { return top_; }
  void Top(double value);
  double Width() const { return width_; }
  void Width(double value);  // runs Resize while loaded
  double Height() const { return height_; }
  void Height(double value);
  bool Visible() const { return visible_; }

  // Hints for a GUI host: the smallest size the form's layout allows, in
  // twips (0: none), and where the form opens (the host's StartUpPosition:
  // 1 centred on its owner, 2 centred on the screen).
  virtual double MinimumWidth() const { return 0; }
  virtual double MinimumHeight() const { return 0; }
  virtual int StartUpPosition() const { return 1; }
  // A drop-down (a calendar opened from a date editor): a GUI host shows it
  // without a border or title bar, beside the control that opened it (below
  // it, or above when there is no room), kept on the screen.
  virtual bool DropsDown() const { return false; }

  // ---- Controls
  // Adds a control at the end of the form's order (a control sits on one form).
  void Add(std::shared_ptr<Control> control);
  void Remove(Control& control);
  const std::vector<std::shared_ptr<Control>>& Controls() const { return controls_; }
  // The control of that name (without regard to case), or nullptr.
  Control* control(std::string_view name) const;
  std::shared_ptr<Control> controlPtr(std::string_view name) const;

  // ---- Focus
  // The focused widget, at any depth (a constituent of a user control), or nullptr.
  Control* ActiveControl() const { return active_; }
  // Moves the focus: LostFocus on the old focus, then GotFocus on the new;
  // nothing when the focus does not move. Raises 5 for a control that cannot
  // take the focus.
  void SetFocus(Control& control);
  // Tab: moves the focus to the next control in TabIndex order that can take
  // it (at the top level; into a user control's first constituent).
  bool tab(bool backwards = false);
  // The enabled, visible Default (Enter) or Cancel (Escape) button, or nullptr.
  CommandButton* defaultButton() const;
  CommandButton* cancelButton() const;

  // ---- Life cycle
  // modal: 0 modeless, 1 modal (vb::vbModal). owner: the calling control or form.
  void Show(int modal = 0, Dispatch* owner = nullptr);
  // Hides the form; hiding a modally shown form ends its modal showing (the
  // form stays loaded).
  void Hide();
  void Unload();
  bool IsLoaded() const { return loaded_; }
  // Whether the form is being shown modally right now.
  bool IsModal() const { return modalDepth_ > 0; }
  Dispatch* Owner() const { return owner_; }

  struct Events {
    Event<> Load;
    Event<> Resize;
    Event<> Unload;
    // A GUI front end's view of the form: "Caption", "Left", "Top", "Width",
    // "Height" or "Visible" changed.
    Event<std::string> PropertyChanged;
  } events;

  // The number of modal showings begun on this thread; a click compares it
  // before and after its MouseDown to see whether a modal form took the mouse.
  static std::uint64_t ModalShowCount();

  std::string_view TypeName() const override { return "Form"; }
  const MemberTable& memberTable() const override { return Members(); }
  // Name, Caption, Left, Top, Width, Height, Visible, Controls (no argument:
  // an array of the controls; one argument: the control by index or name),
  // Count, ActiveControl, Show, Hide, Unload, SetFocus.
  static const MemberTable& Members();

 protected:
  virtual void Form_Load() {}
  virtual void Form_Resize() {}
  virtual void Form_Unload() {}

 private:
  friend class Control;
  void load();
  void changed(const char* property);
  void setVisible(bool value);
  void resized();
  void moveFocus(Control* target);
  void forgetControl(Control& control);

  std::string name_;
  std::string caption_;
  double left_ = 0, top_ = 0, width_ = 4800, height_ = 3600;
  bool visible_ = false;
  bool loaded_ = false;
  bool unloading_ = false;
  int modalDepth_ = 0;
  Dispatch* owner_ = nullptr;
  int resizeDepth_ = 0;
  std::vector<std::shared_ptr<Control>> controls_;
  Control* active_ = nullptr;
};

}  // namespace kiv
