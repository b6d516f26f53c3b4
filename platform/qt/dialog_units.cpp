#include "platform/qt/dialog_units.h"

#include <QFontMetrics>

namespace vindle {
namespace {

constexpr int kTemplatePointSize = 8;

// Rounded quotient of value * numerator / denominator, for non-negative values.
int ScaleRounded(int value, int numerator, int denominator) {
    return (value * numerator + denominator / 2) / denominator;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseWidth = (letters / 26 + 1) / 2;
    m_baseHeight = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const {
    return ScaleRounded(units, m_baseWidth, 4);
}

int DialogUnits::ToPixelsY(int units) const {
    return ScaleRounded(units, m_baseHeight, 8);
}

QSize DialogUnits::ToPixels(int width, int height) const {
    return QSize(ToPixelsX(width), ToPixelsY(height));
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    const int left = ToPixelsX(x);
    const int top = ToPixelsY(y);
    return QRect(left, top, ToPixelsX(x + width) - left, ToPixelsY(y + height) - top);
}

QFont DialogTemplateFont() {
    // Liberation Sans has the letter widths the templates were drawn for; without it the
    // desktop's sans-serif face stands in and the layout scales to its widths.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(kTemplatePointSize);
    return font;
}

QFont FontOfCellHeight(const QString& family, QFont::StyleHint hint, int cellPixels) {
    QFont font(family);
    font.setStyleHint(hint);
    font.setWeight(QFont::Normal);
    // The cell grows in proportion to the size: one measurement gives the size to try, and each
    // size measured loads a font, so the search downwards is short.
    font.setPixelSize(cellPixels);
    const int cellAtFull = QFontMetrics(font).height();
    int pixels = cellAtFull > cellPixels ? cellPixels * cellPixels / cellAtFull : cellPixels;
    font.setPixelSize(pixels);
    while (pixels > 1 && QFontMetrics(font).height() > cellPixels) {
        font.setPixelSize(--pixels);
    }
    return font;
}

}  // namespace vindle
