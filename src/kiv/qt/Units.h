#pragma once

#include <cstdint>

#include <QColor>
#include <QPalette>
#include <QRect>

class QWidget;

namespace kiv::qt {

// Twips (1440 to the inch) to pixels at the logical DPI of the widget's
// screen (the primary screen when widget is nullptr), and back.
int TwipsToPixels(double twips, const QWidget* widget = nullptr);
double PixelsToTwips(int pixels, const QWidget* widget = nullptr);
QRect TwipsToPixels(double left, double top, double width, double height,
                    const QWidget* widget = nullptr);

// A host colour: &H00BBGGRR, or a system colour index (high bit set) taken
// from the palette (button face, window background, window text, ...).
QColor ToQColor(std::int32_t colour, const QPalette& palette);
// The host form of an RGB colour (&H00BBGGRR).
std::int32_t FromQColor(const QColor& colour);

}  // namespace kiv::qt
