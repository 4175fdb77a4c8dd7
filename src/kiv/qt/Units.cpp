#include "kiv/qt/Units.h"

#include <cmath>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kiv::qt {

namespace {

constexpr double kTwipsPerInch = 1440.0;

double LogicalDpi(const QWidget* widget) {
  if (widget) return widget->logicalDpiX();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    return screen->logicalDotsPerInchX();
  return 96.0;
}

}  // namespace

int TwipsToPixels(double twips, const QWidget* widget) {
  return static_cast<int>(std::lround(twips * LogicalDpi(widget) / kTwipsPerInch));
}

double PixelsToTwips(int pixels, const QWidget* widget) {
  return pixels * kTwipsPerInch / LogicalDpi(widget);
}

QRect TwipsToPixels(double left, double top, double width, double height, const QWidget* widget) {
  // Convert the edges, not the sizes, so neighbouring controls do not drift apart.
  const int x = TwipsToPixels(left, widget);
  const int y = TwipsToPixels(top, widget);
  const int right = TwipsToPixels(left + width, widget);
  const int bottom = TwipsToPixels(top + height, widget);
  return QRect(x, y, std::max(0, right - x), std::max(0, bottom - y));
}

QColor ToQColor(std::int32_t colour, const QPalette& palette) {
  const auto value = static_cast<std::uint32_t>(colour);
  if (value & 0x80000000u) {
    switch (value & 0xFFu) {
      case 0x01:  // desktop
      case 0x0C:  // application workspace
        return palette.color(QPalette::Dark);
      case 0x04:  // menu bar
      case 0x0F:  // button face
        return palette.color(QPalette::Button);
      case 0x05:  // window background
        return palette.color(QPalette::Base);
      case 0x06:  // window frame
      case 0x10:  // button shadow
        return palette.color(QPalette::Shadow);
      case 0x07:  // menu text
      case 0x08:  // window text
        return palette.color(QPalette::Text);
      case 0x09:  // title bar text
      case 0x0E:  // highlighted text
        return palette.color(QPalette::HighlightedText);
      case 0x0D:  // highlight
        return palette.color(QPalette::Highlight);
      case 0x11:  // grey text
        return palette.color(QPalette::Disabled, QPalette::Text);
      case 0x12:  // button text
        return palette.color(QPalette::ButtonText);
      case 0x14:  // button highlight
        return palette.color(QPalette::Light);
      case 0x15:  // 3-D dark shadow
        return palette.color(QPalette::Dark);
      case 0x16:  // 3-D light
        return palette.color(QPalette::Midlight);
      case 0x17:  // tool tip text
        return palette.color(QPalette::ToolTipText);
      case 0x18:  // tool tip background
        return palette.color(QPalette::ToolTipBase);
      default:
        return palette.color(QPalette::Window);
    }
  }
  return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                static_cast<int>((value >> 16) & 0xFFu));
}

std::int32_t FromQColor(const QColor& colour) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(colour.red()) |
                                   (static_cast<std::uint32_t>(colour.green()) << 8) |
                                   (static_cast<std::uint32_t>(colour.blue()) << 16));
}

}  // namespace kiv::qt
