#include "app/qt/qarv_vindle_style.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace {

// ">>" in the given colour, drawn at 16 pixels square.
QIcon DrawnChevron(const QColor& color, bool pointsLeft) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.5));
    for (const int x : {4, 9}) {
        const int tip = pointsLeft ? x : x + 3;
        const int back = pointsLeft ? x + 3 : x;
        painter.drawPolyline(QPolygon({QPoint(back, 4), QPoint(tip, 8), QPoint(back, 12)}));
    }
    return QIcon(pixmap);
}

}  // namespace

CQarvVindleStyle::CQarvVindleStyle(const QString& baseKey) : QProxyStyle(baseKey) {}

QIcon CQarvVindleStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                     const QWidget* widget) const {
    if (standardIcon == SP_ToolBarHorizontalExtensionButton) {
        const QPalette palette = widget != nullptr ? widget->palette() : standardPalette();
        const bool rightToLeft =
            widget != nullptr ? widget->isRightToLeft() : QGuiApplication::isRightToLeft();
        return DrawnChevron(palette.color(QPalette::ButtonText), rightToLeft);
    }
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}
