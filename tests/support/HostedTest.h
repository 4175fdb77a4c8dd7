#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "kiv/host/HeadlessHost.h"
#include "kiv/runtime/Variant.h"

namespace kiv::test {

// A message box as the user saw it.
struct ShownBox {
  std::string prompt;
  int buttons = 0;
  std::string title;
};

// A headless host current for the test, every message box recorded and
// answered with its default button.
class HostedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Host::SetCurrent(&host);
    host.setAnswerCallback([this](std::string_view prompt, int buttons, std::string_view title) {
      boxes.push_back({std::string(prompt), buttons, std::string(title)});
      return HeadlessHost::DefaultAnswer(buttons);
    });
  }
  void TearDown() override { Host::SetCurrent(nullptr); }

  HeadlessHost host;
  std::vector<ShownBox> boxes;
};

// A two-column table of field names and the captions shown for them.
inline Variant FriendlyNameTable(const std::vector<std::pair<Variant, Variant>>& rows) {
  Array table(0, static_cast<std::int32_t>(rows.size()) - 1, 0, 1);
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(rows.size()); ++i) {
    table.at(i, 0) = rows[static_cast<std::size_t>(i)].first;
    table.at(i, 1) = rows[static_cast<std::size_t>(i)].second;
  }
  return Variant(std::move(table));
}

}  // namespace kiv::test
