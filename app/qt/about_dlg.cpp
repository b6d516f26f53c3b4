#include "app/qt/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include <string>

#include "app/qt/window_icon.h"
#include "platform/qt/dialog_units.h"
#include "vindle_version.h"

namespace {

constexpr int kIconPixels = 32;

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About Qarv Vindle"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(vindle::DialogTemplateFont());
    const vindle::DialogUnits units(font());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(vindle::WindowIcon().pixmap(kIconPixels, kIconPixels));
    icon->setGeometry(QRect(units.ToPixelsX(15), units.ToPixelsY(18), kIconPixels, kIconPixels));

    const struct {
        const char* name;
        std::string text;
        int y;
    } lines[] = {
        {"aboutProduct", "Qarv Vindle LAN Setup Utility", 12},
        {"aboutVersion", "Version " + std::string(vindle::kVersionText), 24},
        {"aboutNotice", "Finds printers on your network.", 36},
    };
    for (const auto& line : lines) {
        auto* label = new QLabel(QString::fromStdString(line.text), this);
        label->setObjectName(QString::fromLatin1(line.name));
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(units.ToPixels(46, line.y, 146, 8));
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    ok->setGeometry(units.ToPixels(78, 52, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(units.ToPixels(198, 73));
    ok->setFocus();
}
