#include "kivform/Runner.h"

#ifdef KIVFORM_WITH_QT
#include <QApplication>

#include "kiv/qt/Run.h"
#include "kivform/WindowHost.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>

#include "kiv/data/Connection.h"
#include "kiv/host/Form.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/Locale.h"
#include "kivform/FormGenerator.h"
#include "kivform/Screen.h"
#include "kivform/Script.h"
#include "kivform/ScriptRunner.h"

namespace kivform {

namespace {

const char* kUsage =
    "usage: kivform FORM.json [--db URI|NAME=URI]... [--script FILE] [--locale NAME]\n"
    "               [--settings FILE] [--today yyyy-mm-dd] [--save OUT.json]\n"
    "               [--screenshot FILE.png] [--transcript FILE]\n"
    "       kivform --new URI TABLE [--friendly-names TABLE] > FORM.json\n"
    "                              (writes a form file for the table)\n"
    "       kivform --has-window   (exit status 0 when this build can show windows)\n";

struct Options {
  std::string form;
  LoadOptions load;
  bool hasWindow = false;
  std::optional<std::string> newUri, newTable, friendlyNames;
  std::optional<std::string> script, locale, settings, today, save, screenshot, transcript;
};

[[noreturn]] void Usage(const std::string& what) {
  throw kiv::Error(kiv::kLibraryError, "kivform", what + "\n" + kUsage);
}

Options ParseArgs(const std::vector<std::string>& args) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= args.size()) Usage(a + " needs a value");
      return args[++i];
    };
    if (a == "--db")
      o.load.databases.push_back(next());
    else if (a == "--script")
      o.script = next();
    else if (a == "--locale")
      o.locale = next();
    else if (a == "--settings")
      o.settings = next();
    else if (a == "--today")
      o.today = next();
    else if (a == "--save")
      o.save = next();
    else if (a == "--screenshot")
      o.screenshot = next();
    else if (a == "--transcript")
      o.transcript = next();
    else if (a == "--has-window")
      o.hasWindow = true;
    else if (a == "--new") {
      o.newUri = next();
      o.newTable = next();
    } else if (a == "--friendly-names")
      o.friendlyNames = next();
    else if (a == "--help" || a == "-h")
      Usage("kivform runs a screen described in a form file");
    else if (a.starts_with("-"))
      Usage("unknown option " + a);
    else if (o.form.empty())
      o.form = a;
    else
      Usage("more than one form file: " + o.form + ", " + a);
  }
  if (o.newUri) {
    if (!o.form.empty()) Usage("--new writes a form file; it takes no form file (" + o.form + ")");
    if (o.script || o.save || o.screenshot || o.transcript || o.locale || o.settings || o.today ||
        !o.load.databases.empty())
      Usage("--new takes --friendly-names only");
    return o;
  }
  if (o.friendlyNames) Usage("--friendly-names goes with --new");
  if (o.form.empty() && !o.hasWindow) Usage("no form file given");
  return o;
}

std::string ReadFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw kiv::Error(kiv::kLibraryError, "kivform", path + ": is a folder, not a script file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw kiv::Error(kiv::kLibraryError, "kivform", path + ": cannot open the file");
  std::stringstream s;
  s << in.rdbuf();
  if (in.bad()) throw kiv::Error(kiv::kLibraryError, "kivform", path + ": cannot read the file");
  return s.str();
}

// Whether the run shows the screen in a window: nothing else to do with it
// (no script, save or screenshot) and a display to show it on. The offscreen
// platform renders pictures, not windows anyone can close.
bool ShowsWindow(const Options& o) {
#ifdef KIVFORM_WITH_QT
  if (o.script || o.save || o.screenshot || !kiv::qt::DisplayAvailable()) return false;
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  return !(platform && std::string_view(platform) == "offscreen");
#else
  (void)o;
  return false;
#endif
}

// kivform --new: the form file for a table, on out.
int WriteNewForm(const Options& o, std::ostream& out, std::ostream& err) {
  const std::string& uri = *o.newUri;
  // A missing SQLite file is reported rather than created empty.
  if (uri.starts_with("sqlite:") && uri != "sqlite::memory:") {
    std::string_view path = std::string_view(uri).substr(7);
    if (path.starts_with("//")) path.remove_prefix(2);
    if (!path.starts_with("file:") && !std::filesystem::exists(std::filesystem::path(path)))
      throw kiv::Error(kiv::kLibraryError, "kivform",
                       "--new " + uri + ": the database file does not exist");
  }
  std::shared_ptr<kiv::Connection> connection;
  try {
    connection = kiv::Connection::OpenNew(uri);
  } catch (const kiv::Error& e) {
    throw kiv::Error(kiv::kLibraryError, "kivform",
                     "--new " + uri + ": cannot open the database: " + e.description());
  }
  FormGenerator generator(*connection, uri);
  const auto form = generator.generate(*o.newTable, o.friendlyNames.value_or(""), err);
  out << form.dump(2) << "\n";
  out.flush();
  return out ? kExitOk : kExitFailed;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  RunnerHost headless;
  kiv::Host::SetCurrent(&headless);
  struct Restore {
    ~Restore() { kiv::Host::SetCurrent(nullptr); }
  } restore;
  headless.recordPropertyChanges(false);
  headless.setLocale(kiv::Locale::Invariant());
#ifdef KIVFORM_WITH_QT
  std::unique_ptr<QApplication> app;
  std::unique_ptr<WindowHost> window;
#endif
  // Where the transcript goes: declared before the screen, so whatever the
  // screen's last events write still has somewhere to go. The load's part is
  // printed only once the load actions succeeded: a screen that fails to load
  // prints nothing but its error.
  std::ofstream transcriptFile;
  std::ostringstream loading;
  std::unique_ptr<Screen> screen;
  try {
    const Options o = ParseArgs(args);
    if (o.hasWindow) {
      // Whether this build shows screens in windows (the demo asks).
#ifdef KIVFORM_WITH_QT
      return kiv::qt::DisplayAvailable() ? kExitOk : kExitFailed;
#else
      err << "kivform: this build has no window front end\n";
      return kExitFailed;
#endif
    }
    if (o.newUri) return WriteNewForm(o, out, err);
    if (o.transcript) {
      transcriptFile.open(*o.transcript, std::ios::binary | std::ios::trunc);
      if (!transcriptFile) Usage("--transcript " + *o.transcript + ": cannot write the file");
    }
    std::ostream& transcript = o.transcript ? transcriptFile : out;

    // One host for the screen's whole life, chosen before it is loaded: its
    // controls are filled, formatted and read back in the host's locale. A
    // window has the desktop's regional settings, a script run the invariant
    // ones; --locale overrides either.
#ifdef KIVFORM_WITH_QT
    if (ShowsWindow(o)) {
      if (o.settings)
        Usage("--settings " + *o.settings +
              ": a file of settings is for a script run; a window keeps the user's own");
      app = kiv::qt::EnsureApplication();
      window = std::make_unique<WindowHost>(loading);
      kiv::Host::SetCurrent(window.get());
    }
#endif
    kiv::Host& host = kiv::Host::Current();
    // Everything given is checked before the screen is loaded.
    if (o.locale) {
      const kiv::Locale* locale = kiv::Locale::ByName(*o.locale);
      if (!locale) Usage("--locale " + *o.locale + ": unknown locale (en-US, en-GB, de-DE)");
      host.setLocale(*locale);
    }
    if (o.today) {
      const kiv::Variant text(*o.today);
      if (!kiv::IsDate(text)) Usage("--today " + *o.today + ": not a date (yyyy-mm-dd)");
      const kiv::DateTime today = kiv::CDate(text);
      headless.setToday(today);
#ifdef KIVFORM_WITH_QT
      if (window) window->setToday(today);
#endif
    }
    if (o.settings) headless.useSettingsFile(*o.settings);
    if (o.screenshot) {
#ifndef KIVFORM_WITH_QT
      Usage("--screenshot needs the Qt front end, which this build of kivform does not have");
#endif
    }
    std::optional<Script> script;
    if (o.script) script = Script::Parse(ReadFile(*o.script), *o.script);

    screen = Screen::Load(o.form, o.load);
    // In a window run the headless host only keeps the runner's bookkeeping;
    // what happens goes to the window's host, the current one.
    ScriptRunner runner(*screen, headless, loading);
    if (script) runner.check(script->lines());
    loading << "Form " << screen->form().Caption() << " (" << o.form << ")\n";
    runner.watchEvents();
    runner.runLoadActions();
    transcript << loading.str();
    runner.setOutput(transcript);
#ifdef KIVFORM_WITH_QT
    if (window) window->setOutput(transcript);
#endif
    if (script) {
      runner.run(script->lines());
      runner.finish();
      transcript << "Script " << *o.script << ": " << runner.checks() << " checks, "
                 << runner.failures() << " failed\n";
    }
#ifdef KIVFORM_WITH_QT
    if (o.screenshot) {
      std::string why;
      if (!kiv::qt::Screenshot(screen->form(), *o.screenshot, &why)) {
        throw kiv::Error(kiv::kLibraryError, "kivform", "--screenshot: " + why);
      }
      transcript << "Screenshot " << *o.screenshot << "\n";
    } else if (window) {
      transcript.flush();
      kiv::qt::RunWindow(screen->form(),
                         [&](kiv::qt::FormWindow& shown) { window->windowShown(shown); });
    } else if (!script && !o.save) {
      transcript << "(no --script and no display: the screen was loaded and closed)\n";
    }
#else
    if (!script) {
      transcript << "(no --script: the screen was loaded and closed; this build has no window "
                    "front end)\n";
    }
#endif
    if (o.save) screen->saveTo(*o.save);
    const int status = runner.failures() > 0 ? kExitFailed : kExitOk;
    screen.reset();
    return status;
  } catch (const kiv::Error& e) {
    out.flush();
    err << "kivform: " << e.description() << "\n";
    screen.reset();
    return kExitBadInput;
  }
}

}  // namespace kivform
