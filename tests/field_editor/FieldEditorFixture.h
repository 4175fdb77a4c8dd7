#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "kiv/field_editor/DefaultSizeFlag.h"
#include "kiv/field_editor/KivUni.h"
#include "kiv/host/CheckBox.h"
#include "kiv/host/CommandButton.h"
#include "kiv/host/Form.h"
#include "kiv/host/TextBox.h"
#include "kiv/runtime/Conversions.h"
#include "support/HostedTest.h"

namespace kiv::test {

// A headless screen: one form holding a field editor and a plain text box to
// move the focus to, with every editor event recorded.
class FieldEditorTest : public HostedTest {
 protected:
  void SetUp() override {
    HostedTest::SetUp();
    host.setToday(DateSerial(2024, 5, 17));
    DefaultSizeFlag::Clear();
    uni = KivUni::Create();
    uni->Name("ctlUni1");
    form.Add(uni);
    other = AddTo<TextBox>(form, "txtOther");
    watch(*uni);
  }

  // Records the editor's events as lines: "Change", "DataChanged 5.00 False", ...
  void watch(KivUni& editor) {
    editor.events.Change.connect([this] { log.push_back("Change"); });
    editor.events.Click.connect([this] { log.push_back("Click"); });
    editor.events.LookUp.connect([this] { log.push_back("LookUp"); });
    editor.events.DataChanged.connect([this](std::string& value, bool& invalid) {
      log.push_back("DataChanged " + value + (invalid ? " True" : " False"));
    });
  }

  // The user types into the editor's text box and then leaves it.
  void typeAndLeave(const std::string& text) {
    uni->txtText1().SetFocus();  // selects the whole text, which typing replaces
    uni->txtText1().type(text.empty() ? std::string("\b") : text);
    other->SetFocus();
  }

  int count(const std::string& line) const {
    return static_cast<int>(std::count(log.begin(), log.end(), line));
  }

  Form form{"frmTest"};
  std::shared_ptr<KivUni> uni;
  std::shared_ptr<TextBox> other;
  std::vector<std::string> log;
};

}  // namespace kiv::test
