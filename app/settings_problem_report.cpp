#include "app/settings_problem_report.h"

#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <utility>

#include "settings/settings_file.h"

namespace vindle {
namespace {

constexpr char kBoxName[] = "settingsProblemBox";

// Shows `text` in a warning box owned by `window` that leaves the window usable. One box at a
// time: a second report replaces the text of a box still open.
void ShowNonBlocking(QWidget* window, const QString& text) {
    auto* box = window->findChild<QMessageBox*>(QString::fromLatin1(kBoxName));
    if (box == nullptr) {
        box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Qarv Vindle"), text,
                              QMessageBox::Ok, window);
        box->setObjectName(QString::fromLatin1(kBoxName));
        box->setWindowModality(Qt::NonModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
    }
    box->setText(text);
    box->show();
    box->raise();
}

// Waits for the window's first Show event, then shows the box once the window is on screen.
class ShowWhenShown : public QObject {
  public:
    ShowWhenShown(QWidget* window, QString text) : QObject(window), m_text(std::move(text)) {
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == parent()) {
            watched->removeEventFilter(this);
            QPointer<QWidget> window = static_cast<QWidget*>(watched);
            QTimer::singleShot(0, window, [window, text = m_text] {
                if (window) {
                    ShowNonBlocking(window, text);
                }
            });
            deleteLater();
        }
        return false;
    }

  private:
    QString m_text;
};

void Report(QWidget* window, const std::string& text) {
    if (text.empty()) {
        return;
    }
    const QString message =
        QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    if (window->isVisible()) {
        ShowNonBlocking(window, message);
    } else {
        new ShowWhenShown(window, message);
    }
}

}  // namespace

std::string StartupSettingsProblemText(const SettingsStatus& status) {
    if (status.Ok()) {
        return {};
    }
    return "The settings file " + SettingsFilePath() + " can be neither opened nor created:\n" +
           status.Reason() + "\nSearches cannot start until it can be read.";
}

std::string RetrieveSettingsProblemText(const SettingsStatus& status) {
    if (status.Ok()) {
        return {};
    }
    return "The settings file " + SettingsFilePath() + " cannot be read:\n" + status.Reason() +
           "\nNo search was started.";
}

void EnsureSettingsFileOrReport(QWidget* window) {
    Report(window, StartupSettingsProblemText(EnsureSettingsFile()));
}

void ReportUnreadableSettings(QWidget* window) {
    Report(window, RetrieveSettingsProblemText(CheckSettingsReadable()));
}

}  // namespace vindle
