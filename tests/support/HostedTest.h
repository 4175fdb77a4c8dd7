#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "kiv/host/Form.h"
#include "kiv/host/HeadlessHost.h"
#include "kiv/runtime/Variant.h"

namespace kiv::test {

// A message box as the user saw it.
struct ShownBox {
  std::string prompt;
  int buttons = 0;
  std::string title;
};

// A headless host current for the test.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { Host::SetCurrent(&host); }
  void TearDown() override { Host::SetCurrent(nullptr); }

  HeadlessHost host;
};

// ... with every message box recorded and answered with its default button.
class HostedTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host.setAnswerCallback([this](std::string_view prompt, int buttons, std::string_view title) {
      boxes.push_back({std::string(prompt), buttons, std::string(title)});
      return HeadlessHost::DefaultAnswer(buttons);
    });
  }

  std::vector<ShownBox> boxes;
};

// A new control placed on a form.
template <class C, class... Args>
std::shared_ptr<C> AddTo(Form& form, Args&&... args) {
  auto control = std::make_shared<C>(std::forward<Args>(args)...);
  form.Add(control);
  return control;
}

// A two-column table of field names and the captions shown for them.
inline Variant FriendlyNameTable(const std::vector<std::pair<Variant, Variant>>& rows) {
  Array table(0, static_cast<std::int32_t>(rows.size()) - 1, 0, 1);
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(rows.size()); ++i) {
    table.at(i, 0) = rows[static_cast<std::size_t>(i)].first;
    table.at(i, 1) = rows[static_cast<std::size_t>(i)].second;
  }
  return Variant(std::move(table));
}

// Records the input events a control raises from its widgets as lines such
// as "KeyDown 65", "KeyPress 97", "MouseDown 1", "MouseMove 120", "Click".
template <class Events>
void LogInputEvents(Events& e, std::vector<std::string>& log) {
  e.Click.connect([&log] { log.push_back("Click"); });
  e.DblClick.connect([&log] { log.push_back("DblClick"); });
  e.KeyDown.connect(
      [&log](std::int16_t& k, std::int16_t&) { log.push_back("KeyDown " + std::to_string(k)); });
  e.KeyPress.connect([&log](std::int16_t& a) { log.push_back("KeyPress " + std::to_string(a)); });
  e.KeyUp.connect(
      [&log](std::int16_t& k, std::int16_t&) { log.push_back("KeyUp " + std::to_string(k)); });
  e.MouseDown.connect([&log](std::int16_t& button, std::int16_t&, float&, float&) {
    log.push_back("MouseDown " + std::to_string(button));
  });
  e.MouseUp.connect(
      [&log](std::int16_t&, std::int16_t&, float&, float&) { log.push_back("MouseUp"); });
  if constexpr (requires { e.MouseMove; })
    e.MouseMove.connect([&log](std::int16_t&, std::int16_t&, float& x, float&) {
      log.push_back("MouseMove " + std::to_string(static_cast<int>(x)));
    });
}

}  // namespace kiv::test
