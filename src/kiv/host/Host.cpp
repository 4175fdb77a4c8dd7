#include "kiv/host/Host.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>

#include "kiv/host/HeadlessHost.h"
#include "kiv/host/MonthView.h"

namespace kiv {

namespace {

thread_local Host* tlCurrent = nullptr;

// The host a thread uses when none was set: created on first use.
Host& DefaultHost() {
  thread_local std::unique_ptr<HeadlessHost> host = std::make_unique<HeadlessHost>();
  return *host;
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

Host::Host() : locale_(Locale::Current()) {}

Host::~Host() {
  if (tlCurrent == this) tlCurrent = nullptr;
}

Host& Host::Current() {
  return tlCurrent ? *tlCurrent : DefaultHost();
}

void Host::SetCurrent(Host* host) {
  tlCurrent = host;
  Locale::SetCurrent(Current().locale());
}

void Host::SetMousePointer(int pointer) {
  mousePointer_ = pointer;
}

DateTime Host::Now() {
  return SystemNow();
}

DateTime Host::Today() {
  return DateTime{std::floor(Now().serial)};
}

void Host::setLocale(const Locale& locale) {
  locale_ = locale;
  Locale::SetCurrent(locale_);
}

std::pair<double, double> Host::MonthViewSize() const {
  return {MonthView::kDesignWidth, MonthView::kDesignHeight};
}

void Host::PropertyChanged(Control&, std::string_view) {}

void Host::Trace(std::string) {}

DateTime SystemNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const long long days =
      DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                    static_cast<unsigned>(local.tm_mday));
  // Serial 0 is 30 December 1899, 25569 days before 1 January 1970.
  const double serial = static_cast<double>(days + 25569);
  const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
  return DateTime{serial + seconds / 86400.0};
}

}  // namespace kiv
