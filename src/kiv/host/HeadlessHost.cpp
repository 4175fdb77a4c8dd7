#include "kiv/host/HeadlessHost.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "kiv/host/Control.h"
#include "kiv/host/Form.h"
#include "kiv/runtime/Error.h"

namespace kiv {

namespace {

constexpr std::int32_t kFileAccessError = 75;  // Path/File access error

// A text in double quotes, with quotes, backslashes and control characters escaped.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  out += '"';
  return out;
}

}  // namespace

std::string TranscriptEntry::line() const {
  return text.empty() ? kind : kind + " " + text;
}

HeadlessHost::HeadlessHost() = default;
HeadlessHost::~HeadlessHost() = default;

void HeadlessHost::record(std::string kind, std::string text) {
  transcript_.push_back(TranscriptEntry{std::move(kind), std::move(text)});
}

std::vector<std::string> HeadlessHost::lines() const {
  std::vector<std::string> out;
  out.reserve(transcript_.size());
  for (const auto& e : transcript_)
    out.push_back(e.line());
  return out;
}

std::vector<std::string> HeadlessHost::lines(std::string_view kind) const {
  std::vector<std::string> out;
  for (const auto& e : transcript_) {
    if (e.kind == kind) out.push_back(e.line());
  }
  return out;
}

// ---- Message boxes

std::vector<int> HeadlessHost::ButtonsOf(int buttons) {
  switch (buttons & 0xF) {
    case vb::vbOKCancel:
      return {vb::vbOK, vb::vbCancel};
    case vb::vbAbortRetryIgnore:
      return {vb::vbAbort, vb::vbRetry, vb::vbIgnore};
    case vb::vbYesNoCancel:
      return {vb::vbYes, vb::vbNo, vb::vbCancel};
    case vb::vbYesNo:
      return {vb::vbYes, vb::vbNo};
    case vb::vbRetryCancel:
      return {vb::vbRetry, vb::vbCancel};
    default:
      return {vb::vbOK};
  }
}

int HeadlessHost::DefaultAnswer(int buttons) {
  const auto all = ButtonsOf(buttons);
  const std::size_t index = static_cast<std::size_t>((buttons >> 8) & 0x3);
  return index < all.size() ? all[index] : all.front();
}

std::string HeadlessHost::ButtonsName(int buttons) {
  switch (buttons & 0xF) {
    case vb::vbOKOnly:
      return "OKOnly";
    case vb::vbOKCancel:
      return "OKCancel";
    case vb::vbAbortRetryIgnore:
      return "AbortRetryIgnore";
    case vb::vbYesNoCancel:
      return "YesNoCancel";
    case vb::vbYesNo:
      return "YesNo";
    case vb::vbRetryCancel:
      return "RetryCancel";
    default:
      return "OKOnly(" + std::to_string(buttons & 0xF) + ")";
  }
}

std::string HeadlessHost::IconName(int buttons) {
  switch (buttons & 0x70) {
    case vb::vbCritical:
      return "Critical";
    case vb::vbQuestion:
      return "Question";
    case vb::vbExclamation:
      return "Exclamation";
    case vb::vbInformation:
      return "Information";
    default:
      return "none";
  }
}

std::string HeadlessHost::ResultName(int result) {
  switch (result) {
    case vb::vbOK:
      return "OK";
    case vb::vbCancel:
      return "Cancel";
    case vb::vbAbort:
      return "Abort";
    case vb::vbRetry:
      return "Retry";
    case vb::vbIgnore:
      return "Ignore";
    case vb::vbYes:
      return "Yes";
    case vb::vbNo:
      return "No";
    default:
      return std::to_string(result);
  }
}

std::string HeadlessHost::DescribeMsgBox(std::string_view prompt, int buttons,
                                         std::string_view shownTitle) {
  std::string text = "title=" + Quoted(shownTitle) + " buttons=" + ButtonsName(buttons);
  const int defaultIndex = (buttons >> 8) & 0x3;
  if (defaultIndex != 0) text += " default=" + std::to_string(defaultIndex + 1);
  return text + " icon=" + IconName(buttons) + " prompt=" + Quoted(prompt);
}

int HeadlessHost::MsgBox(std::string_view prompt, int buttons, std::string_view title) {
  const std::string shownTitle = title.empty() ? AppTitle() : std::string(title);
  const std::string text = DescribeMsgBox(prompt, buttons, shownTitle);

  int answer;
  bool scripted = true;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  } else if (answerCallback_) {
    answer = answerCallback_(prompt, buttons, shownTitle);
  } else {
    answer = DefaultAnswer(buttons);
    scripted = false;
  }
  const auto offered = ButtonsOf(buttons);
  if (scripted && std::find(offered.begin(), offered.end(), answer) == offered.end()) {
    record("MsgBox", text + " -> refused " + ResultName(answer));
    throw Error(err::InvalidProcedureCall, "HeadlessHost",
                "The scripted answer " + ResultName(answer) +
                    " is not a button of the message box (" + ButtonsName(buttons) +
                    "): " + Quoted(prompt));
  }
  record("MsgBox", text + " -> " + ResultName(answer));
  return answer;
}

void HeadlessHost::Beep() {
  record("Beep", "");
}

void HeadlessHost::SetMousePointer(int pointer) {
  Host::SetMousePointer(pointer);
  record("MousePointer", std::to_string(pointer));
}

void HeadlessHost::PropertyChanged(Control& control, std::string_view name) {
  if (recordPropertyChanges_) record("PropertyChanged", control.Name() + "." + std::string(name));
}

void HeadlessHost::Trace(std::string line) {
  record("Trace", std::move(line));
}

// ---- Clock

DateTime HeadlessHost::Now() {
  return fixedNow_ ? *fixedNow_ : Host::Now();
}

void HeadlessHost::setToday(DateTime today) {
  fixedNow_ = DateTime{std::floor(today.serial)};
}

// ---- Settings

std::string HeadlessHost::GetSetting(std::string_view app, std::string_view section,
                                     std::string_view key, std::string_view defaultValue) {
  const auto a = settings_.find(std::string(app));
  if (a == settings_.end()) return std::string(defaultValue);
  const auto s = a->second.find(std::string(section));
  if (s == a->second.end()) return std::string(defaultValue);
  const auto k = s->second.find(std::string(key));
  if (k == s->second.end()) return std::string(defaultValue);
  return k->second;
}

void HeadlessHost::SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                               std::string_view value) {
  if (app.empty() || section.empty() || key.empty()) {
    throw Error(err::InvalidProcedureCall, "HeadlessHost",
                "SaveSetting needs an application, a section and a key name");
  }
  auto& slot = settings_[std::string(app)][std::string(section)][std::string(key)];
  const std::string previous = slot;
  slot = std::string(value);
  if (settingsFile_) {
    try {
      saveSettingsFile();
    } catch (...) {
      slot = previous;
      throw;
    }
  }
}

void HeadlessHost::useSettingsFile(std::filesystem::path path) {
  decltype(settings_) loaded;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      throw Error(kFileAccessError, "HeadlessHost",
                  "The settings file '" + path.string() + "' cannot be read");
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    const auto json = nlohmann::json::parse(buffer.str(), nullptr, false);
    const auto bad = [&](const std::string& why) {
      return Error(kFileAccessError, "HeadlessHost",
                   "The settings file '" + path.string() + "' is not valid: " + why);
    };
    if (json.is_discarded()) throw bad("it is not JSON");
    if (!json.is_object()) throw bad("the top level is not an object of applications");
    for (const auto& [app, sections] : json.items()) {
      if (!sections.is_object()) throw bad("application '" + app + "' is not an object");
      for (const auto& [section, keys] : sections.items()) {
        if (!keys.is_object()) {
          throw bad("section '" + app + "/" + section + "' is not an object");
        }
        for (const auto& [key, value] : keys.items()) {
          if (!value.is_string()) {
            throw bad("the value of '" + app + "/" + section + "/" + key + "' is not a string");
          }
          loaded[app][section][key] = value.get<std::string>();
        }
      }
    }
  }
  settings_ = std::move(loaded);
  settingsFile_ = std::move(path);
}

void HeadlessHost::saveSettingsFile() const {
  nlohmann::json json = nlohmann::json::object();
  for (const auto& [app, sections] : settings_) {
    for (const auto& [section, keys] : sections) {
      for (const auto& [key, value] : keys)
        json[app][section][key] = value;
    }
  }
  const std::filesystem::path& path = *settingsFile_;
  // Write a sibling file and rename it over the old one, so a failed write
  // never leaves a half-written store.
  std::filesystem::path temp = path;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) out << json.dump(2) << '\n';
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      throw Error(kFileAccessError, "HeadlessHost",
                  "The settings file '" + path.string() + "' cannot be written");
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    throw Error(kFileAccessError, "HeadlessHost",
                "The settings file '" + path.string() + "' cannot be written: " + ec.message());
  }
}

// ---- Modal forms

void HeadlessHost::ShowModal(Form& form, Dispatch*) {
  record("Modal", "show " + form.Name());
  ModalDriver driver;
  if (!drivers_.empty()) {
    driver = std::move(drivers_.front());
    drivers_.pop_front();
  } else {
    driver = fallback_;
  }
  modalStack_.push_back(&form);
  // A form that is still shown when its driver returns is closed as a user
  // closing the window would; a hidden one has ended its modal showing.
  const auto closeIfOpen = [&] {
    if (form.IsLoaded() && form.Visible()) {
      record("Modal", form.Name() + " closed by the user");
      form.Unload();
    }
  };
  try {
    if (driver) driver(form);
  } catch (...) {
    // The driver failed: the form must not stay open behind the caller.
    modalStack_.pop_back();
    IgnoreErrors(closeIfOpen);
    throw;
  }
  modalStack_.pop_back();
  closeIfOpen();
}

}  // namespace kiv
