#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace vindle {

// Converts dialog-template units to pixels for a dialog font: a horizontal unit is a quarter of
// the font's average letter width, a vertical unit an eighth of its line height, so a layout
// drawn in these units grows and shrinks with the font its texts are drawn in.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);

    int BaseWidth() const { return m_baseWidth; }
    int BaseHeight() const { return m_baseHeight; }

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QSize ToPixels(int width, int height) const;
    QRect ToPixels(int x, int y, int width, int height) const;

  private:
    int m_baseWidth = 0;
    int m_baseHeight = 0;
};

// The font of the dialog templates: a sans-serif face at 8 points.
QFont DialogTemplateFont();

// `family` (or the closest face of `hint`'s kind) whose cell, ascent plus descent, is
// `cellPixels` high, as a Windows font of that positive height is: its characters are a little
// smaller than the cell.
QFont FontOfCellHeight(const QString& family, QFont::StyleHint hint, int cellPixels);

}  // namespace vindle
