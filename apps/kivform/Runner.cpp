#include "kivform/Runner.h"

#ifdef KIVFORM_WITH_QT
#include "kiv/qt/Run.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>

#include "kiv/host/Form.h"
#include "kiv/runtime/Conversions.h"
#include "kiv/runtime/Error.h"
#include "kiv/runtime/Locale.h"
#include "kivform/Screen.h"
#include "kivform/Script.h"
#include "kivform/ScriptRunner.h"

namespace kivform {

namespace {

const char* kUsage =
    "usage: kivform FORM.json [--db URI|NAME=URI]... [--script FILE] [--locale NAME]\n"
    "               [--settings FILE] [--today yyyy-mm-dd] [--save OUT.json]\n"
    "               [--screenshot FILE.png]\n"
    "       kivform --has-window   (exit status 0 when this build can show windows)\n";

struct Options {
  std::string form;
  LoadOptions load;
  bool hasWindow = false;
  std::optional<std::string> script, locale, settings, today, save, screenshot;
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
    else if (a == "--has-window")
      o.hasWindow = true;
    else if (a == "--help" || a == "-h")
      Usage("kivform runs a screen described in a form file");
    else if (a.starts_with("-"))
      Usage("unknown option " + a);
    else if (o.form.empty())
      o.form = a;
    else
      Usage("more than one form file: " + o.form + ", " + a);
  }
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

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  RunnerHost host;
  kiv::Host::SetCurrent(&host);
  struct Restore {
    ~Restore() { kiv::Host::SetCurrent(nullptr); }
  } restore;
  host.recordPropertyChanges(false);
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
    // Everything given is checked before the screen is loaded.
    if (o.locale) {
      const kiv::Locale* locale = kiv::Locale::ByName(*o.locale);
      if (!locale) Usage("--locale " + *o.locale + ": unknown locale (en-US, en-GB, de-DE)");
      host.setLocale(*locale);
    }
    if (o.today) {
      const kiv::Variant text(*o.today);
      if (!kiv::IsDate(text)) Usage("--today " + *o.today + ": not a date (yyyy-mm-dd)");
      host.setToday(kiv::CDate(text));
    }
    if (o.settings) host.useSettingsFile(*o.settings);
    if (o.screenshot) {
#ifndef KIVFORM_WITH_QT
      Usage("--screenshot needs the Qt front end, which this build of kivform does not have");
#endif
    }
    std::optional<Script> script;
    if (o.script) script = Script::Parse(ReadFile(*o.script), *o.script);

    screen = Screen::Load(o.form, o.load);
    // The load's transcript is printed only once the load actions succeeded:
    // a screen that fails to load prints nothing but its error.
    std::ostringstream loading;
    ScriptRunner runner(*screen, host, loading);
    if (script) runner.check(script->lines());
    loading << "Form " << screen->form().Caption() << " (" << o.form << ")\n";
    runner.watchEvents();
    runner.runLoadActions();
    out << loading.str();
    runner.setOutput(out);
    if (script) {
      runner.run(script->lines());
      runner.finish();
      out << "Script " << *o.script << ": " << runner.checks() << " checks, " << runner.failures()
          << " failed\n";
    }
#ifdef KIVFORM_WITH_QT
    if (o.screenshot) {
      std::string why;
      if (!kiv::qt::Screenshot(screen->form(), *o.screenshot, &why)) {
        throw kiv::Error(kiv::kLibraryError, "kivform", "--screenshot: " + why);
      }
      out << "Screenshot " << *o.screenshot << "\n";
    } else if (!script && !o.save) {
      // The offscreen platform renders pictures, not windows anyone can close.
      const char* platform = std::getenv("QT_QPA_PLATFORM");
      const bool offscreen = platform && std::string_view(platform) == "offscreen";
      if (kiv::qt::DisplayAvailable() && !offscreen) {
        out.flush();
        kiv::qt::RunWindow(screen->form());
      } else {
        out << "(no --script and no display: the screen was loaded and closed)\n";
      }
    }
#else
    if (!script) {
      out << "(no --script: the screen was loaded and closed; this build has no window front "
             "end)\n";
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
