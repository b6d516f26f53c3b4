#pragma once

#include <QProxyStyle>

// The desktop's own style with one stock icon drawn instead of read: the chevron of the menu
// bar's overflow button. Qt reads that icon from an image file when a menu bar is made, and
// reading an image file makes it load every image-format plugin installed to ask whether it
// knows the file: a few milliseconds and half a megabyte before the window first shows. The
// main window's two menus never fill its fixed width, so the button stays hidden anyway.
class CQarvVindleStyle : public QProxyStyle {
  public:
    // `baseKey` names the style to show, as QStyleFactory knows it.
    explicit CQarvVindleStyle(const QString& baseKey);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
