// The customers screen as a user runs it: kivform opens the window on a
// private X server, and the test drives it with real X input (clicks on the
// bar's buttons, typing, the calendar by mouse and by keys, Enter and Escape
// in message boxes, the status bar's record position) in an American,
// a British, a German and a container's plain desktop locale. What happened
// is read from kivform's transcript and from the database; screenshots of
// each locale go to the test's output folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <clocale>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>

#include "gui/ChildProcess.h"
#include "gui/XDisplay.h"
#include "support/SampleDatabase.h"

namespace kiv::gui {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

struct UserLocale {
  std::string posix;        // the desktop's LANG
  std::string discount;     // 0.05 as the screen shows it
  std::string typedAmount;  // 1234.5 as the user types it
  std::string dates;        // how the screen shows a date, for strftime
  // A customer name the user types. ASCII: xdotool types other characters
  // by remapping a key for a moment, and the window may read the key after
  // the mapping is gone.
  std::string name;
};

void PrintTo(const UserLocale& locale, std::ostream* out) {
  *out << locale.posix;
}

std::string ShownDate(const std::string& format, int y, int m, int d) {
  std::tm date{};
  date.tm_year = y - 1900;
  date.tm_mon = m - 1;
  date.tm_mday = d;
  char text[40];
  return std::string(text, std::strftime(text, sizeof text, format.c_str(), &date));
}

// A text as a regular expression that matches it literally.
std::string Literal(const std::string& text) {
  static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
  return std::regex_replace(text, special, R"(\$&)");
}

Box Around(const Box& a, const Box& b) {
  const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  const int right = std::max(a.x + a.width, b.x + b.width);
  const int bottom = std::max(a.y + a.height, b.y + b.height);
  return {left, top, right - left, bottom - top};
}

// A window kivform reported in its transcript: its X id, its place on the
// screen and the places of its widgets in it.
struct ShownWindow {
  unsigned long id = 0;
  Box box;
  std::map<std::string, Box> widgets;
  const Box& widget(const std::string& name) const {
    const auto it = widgets.find(name);
    if (it == widgets.end()) throw std::runtime_error("the window shows no widget " + name);
    return it->second;
  }
};

class CustomersWindowUnderX : public ::testing::TestWithParam<UserLocale> {
 protected:
  void SetUp() override {
    // The desktop's locale must exist for the C library too, as on a real
    // desktop (scripts/install-deps.sh generates them).
    const bool generated = std::setlocale(LC_ALL, GetParam().posix.c_str()) != nullptr;
    std::setlocale(LC_ALL, "C");
    ASSERT_TRUE(generated) << "the system locale " << GetParam().posix
                           << " is not generated: run scripts/install-deps.sh";

    const std::string tag = GetParam().posix.substr(0, GetParam().posix.find('.'));
    dir = fs::temp_directory_path() / ("kiv-gui-" + tag + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(KIV_SAMPLES_DIR) / "customers.json", dir / "customers.json");
    test::MakeSampleDatabase(dir / "orders.db");
    // What the run leaves for a person to look at: the transcript, kivform's
    // messages and the screenshots.
    output = fs::path(KIV_GUI_OUTPUT_DIR) / tag;
    fs::remove_all(output);
    fs::create_directories(output);
  }

  void TearDown() override {
    kivform.reset();  // stops it
    display.reset();
    fs::remove_all(dir);
  }

  // Opens the customers window under a fresh X server in the user's locale.
  void openWindow() {
    display = std::make_unique<XDisplay>(dir);
    kivform = std::make_unique<ChildProcess>(
        std::vector<std::string>{KIV_GUI_KIVFORM, (dir / "customers.json").string(), "--db",
                                 "sqlite:" + (dir / "orders.db").string(), "--transcript",
                                 (output / "transcript.txt").string(), "--today", "2024-03-01"},
        display->environment({"LANG=" + GetParam().posix, "QT_QPA_PLATFORM=xcb",
                              "XDG_CONFIG_HOME=" + (dir / "config").string()}),
        std::map<int, fs::path>{{1, output / "kivform.out"}, {2, output / "kivform.err"}});
  }

  // kivform's transcript, read as it grows. A last line without its newline
  // is still being written.
  void readTranscript() {
    std::ifstream in(output / "transcript.txt", std::ios::binary);
    std::vector<std::string> read;
    for (std::string line; std::getline(in, line) && !in.eof();)
      read.push_back(line);
    if (read.size() >= lines.size()) lines = std::move(read);
  }
  // Waits for a transcript line matching pattern; returns the match and its
  // groups. Waiting walks forward: each wait looks at the lines after the
  // last line an earlier wait matched, so the test reads the run in order.
  std::vector<std::string> waitFor(const std::string& pattern) {
    const std::regex re(pattern);
    std::vector<std::string> found;
    try {
      waitUntil(
          [&] {
            // Whether kivform ran before the reading: a line it wrote last
            // is then in this reading.
            const bool alive = kivform->running();
            readTranscript();
            for (std::smatch match; next < lines.size() && found.empty(); ++next)
              if (std::regex_search(lines[next], match, re))
                found.assign(match.begin(), match.end());
            if (found.empty() && !alive)
              throw std::runtime_error("kivform ended before a line /" + pattern + "/");
            return !found.empty();
          },
          "a line /" + pattern + "/");
    } catch (const std::runtime_error& e) {
      std::string tail;
      for (std::size_t i = lines.size() > 15 ? lines.size() - 15 : 0; i < lines.size(); ++i)
        tail += "\n  " + lines[i];
      throw std::runtime_error(std::string(e.what()) + "; the transcript's end:" + tail);
    }
    return found;
  }
  // Waits for the Window line of a window of that kind (frmScreen, MsgBox,
  // frmCalendar) and reads the Widget lines after it.
  ShownWindow waitForWindow(const std::string& kind) {
    const auto m =
        waitFor("^Window " + kind +
                R"( ".*" id=(\d+) at (-?\d+),(-?\d+) size (\d+)x(\d+)(?: widgets (\d+))?$)");
    ShownWindow shown{
        std::stoul(m[1]), {std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5])}, {}};
    for (int i = 0, count = m[6].empty() ? 0 : std::stoi(m[6]); i < count; ++i) {
      const auto w = waitFor(R"(^Widget (\S+) at (-?\d+),(-?\d+) size (\d+)x(\d+)$)");
      shown.widgets[w[1]] = {std::stoi(w[2]), std::stoi(w[3]), std::stoi(w[4]), std::stoi(w[5])};
    }
    return shown;
  }

  void click(const ShownWindow& window, const std::string& widget) {
    const Box& b = window.widget(widget);
    display->click(window.id, b.centerX(), b.centerY());
  }
  // Replaces a field's text as a user does: click into it, select all, type.
  void retype(const ShownWindow& window, const std::string& widget, const std::string& text) {
    click(window, widget);
    display->key("ctrl+a");
    display->type(text);
  }
  template <class Done>
  void waitUntil(Done done, const std::string& what) {
    const auto deadline = std::chrono::steady_clock::now() + seconds(30);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline)
        throw std::runtime_error("waited in vain for " + what);
      std::this_thread::sleep_for(milliseconds(20));
    }
  }
  // Keys go to a message box only once the X server gave it the focus.
  void waitForFocus(const ShownWindow& window) {
    waitUntil([&] { return display->focus() == window.id; }, "the keyboard focus");
  }
  // A closed dialog must be off the screen before the next click, which it
  // could otherwise take.
  void waitUntilGone(const ShownWindow& window) {
    waitUntil(
        [&] {
          const auto shown = display->visibleWindows(kivform->pid());
          return std::find(shown.begin(), shown.end(), window.id) == shown.end();
        },
        "a closed window to leave the screen");
  }
  void screenshot(const std::string& name, const Box& box) {
    display->screenshot(output / (name + ".png"), box);
  }
  std::string scalar(const std::string& sql) { return test::Scalar(dir / "orders.db", sql); }

  fs::path dir, output;
  std::unique_ptr<XDisplay> display;
  std::unique_ptr<ChildProcess> kivform;
  std::vector<std::string> lines;  // of the transcript, as read so far
  std::size_t next = 0;            // where the next wait starts
};

TEST_P(CustomersWindowUnderX, BrowsesEditsAndSavesInTheDesktopsLocale) {
  const UserLocale& user = GetParam();
  openWindow();

  // The first record in the user's own form.
  waitFor("^Event uniDiscount\\.DataChanged \"" + Literal(user.discount) + "\" False$");
  waitFor("^Event uniSince\\.DataChanged \"" + Literal(ShownDate(user.dates, 2019, 3, 14)) +
          "\" False$");
  const ShownWindow main = waitForWindow("frmScreen");
  waitFor("^Status \"Record 1 of 5\"$");
  screenshot("1-first-record", main.box);

  // Moving over records nobody touched asks nothing; the status bar follows.
  const std::size_t browsing = next;
  int record = 1;
  for (const char* code : {"C2", "C3", "C4", "C5"}) {
    click(main, "ctlForm.cmdNext");
    // The record set moves (the status bar follows), then the fields fill.
    waitFor("^Status \"Record " + std::to_string(++record) + " of 5\"$");
    waitFor(std::string("^Event uniCode\\.DataChanged \"") + code + "\"");
    waitFor("^Event ctlForm\\.AfterMove$");
  }
  click(main, "ctlForm.cmdFirst");
  waitFor("^Event uniCode\\.DataChanged \"C1\"");
  waitFor("^Event ctlForm\\.AfterMove$");
  for (std::size_t i = browsing; i < next; ++i)
    EXPECT_EQ(lines[i].find("MsgBox"), std::string::npos) << lines[i];

  // An amount typed as the user writes numbers, a date from the calendar.
  retype(main, "uniCreditLimit.txtText1", user.typedAmount);
  click(main, "uniSince.cmdFunction");
  waitFor("^Event uniCreditLimit\\.DataChanged \"" + Literal(user.typedAmount) + "\" False$");
  const ShownWindow calendar = waitForWindow("frmCalendar");
  screenshot("2-calendar", Around(main.box, calendar.box));
  const Box& month = calendar.widget("mnvMonth_View");
  display->click(calendar.id, month.centerX(), month.y + month.height * 3 / 5);
  const auto picked =
      waitFor(R"(^Event frmCalendar\.mnvMonth_View\.DateClick (\d{4})-(\d\d)-(\d\d)$)");
  // The calendar opened on the month of --today; the middle of its grid is in it.
  EXPECT_EQ(picked[1] + "-" + picked[2], "2024-03");
  waitFor("^Modal closed frmCalendar$");
  waitUntilGone(calendar);
  waitFor("^Event uniSince\\.DataChanged \"" +
          Literal(ShownDate(user.dates, std::stoi(picked[1]), std::stoi(picked[2]),
                            std::stoi(picked[3]))) +
          "\" False$");
  // The keyboard alone: Ctrl+F in the date editor drops the calendar down,
  // the arrow moves a day on from today, Enter takes it.
  click(main, "uniSince.txtText1");
  display->key("ctrl+f");
  const ShownWindow dropped = waitForWindow("frmCalendar");
  EXPECT_EQ(dropped.box.y, calendar.box.y);  // below the editor, as before
  waitForFocus(dropped);
  display->key("Right");
  display->key("Return");
  waitFor(R"(^Event frmCalendar\.mnvMonth_View\.DateClick 2024-03-02$)");
  waitFor("^Modal closed frmCalendar$");
  waitUntilGone(dropped);
  waitFor("^Event uniSince\\.DataChanged \"" + Literal(ShownDate(user.dates, 2024, 3, 2)) +
          "\" False$");

  // A changed record asks before it is left; Yes saves it.
  retype(main, "uniName.txtText1", user.name);
  click(main, "ctlForm.cmdNext");
  const ShownWindow prompt = waitForWindow("MsgBox");
  waitForFocus(prompt);
  screenshot("3-save-prompt", Around(main.box, prompt.box));
  // Escape does not answer a Yes/No box (No would throw the edits away);
  // Enter presses the default button, Yes.
  display->key("Escape");
  display->key("Return");
  const auto answer = waitFor(
      R"(^MsgBox title="Save" buttons=YesNo icon=none prompt="Do you want to save your changes\?" -> (\w+)$)");
  EXPECT_EQ(answer[1], "Yes");
  waitFor("^Event ctlForm\\.Save$");
  waitFor("^Event uniCode\\.DataChanged \"C2\"");
  waitFor("^Event ctlForm\\.AfterMove$");
  waitUntilGone(prompt);
  EXPECT_EQ(scalar("SELECT Name FROM Customers WHERE Code = 'C1'"), user.name);
  EXPECT_EQ(scalar("SELECT CreditLimit FROM Customers WHERE Code = 'C1'"), "1234.5");
  EXPECT_EQ(scalar("SELECT strftime('%Y-%m-%d', Since) FROM Customers WHERE Code = 'C1'"),
            "2024-03-02");
  EXPECT_EQ(scalar("SELECT Discount FROM Customers WHERE Code = 'C1'"), "0.05");
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, CustomersWindowUnderX,
    ::testing::Values(UserLocale{"en_US.UTF-8", "0.05", "1,234.5", "%-m/%-d/%Y", "Smith Brothers"},
                      UserLocale{"en_GB.UTF-8", "0.05", "1,234.5", "%d/%m/%Y", "Smith & Sons Ltd"},
                      UserLocale{"de_DE.UTF-8", "0,05", "1.234,5", "%d.%m.%Y", "Schmidt & Co. KG"},
                      // The plain locale of many containers.
                      UserLocale{"C.UTF-8", "0.05", "1,234.5", "%-d %b %Y", "Nguyen & Co"}),
    [](const ::testing::TestParamInfo<UserLocale>& param) {
      return param.param.posix.substr(0, param.param.posix.find('.'));
    });

}  // namespace
}  // namespace kiv::gui
