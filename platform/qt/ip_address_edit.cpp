#include "platform/qt/ip_address_edit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <QStringList>

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/ipv4_text.h"

namespace vindle {
namespace {

constexpr int kMaxFieldValue = 255;
constexpr int kFieldDigits = 3;

bool IsDigits(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// A part's digits as its value: more than three digits, or a value over 255, give 255.
QString Clamped(const QString& digits) {
    if (digits.size() > kFieldDigits || digits.toInt() > kMaxFieldValue) {
        return QString::number(kMaxFieldValue);
    }
    return digits;
}

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // One background for the whole frame, dots included, like a single edit field; the palette's
    // disabled group greys it.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(0);
    auto* validator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
    for (int i = 0; i < kFieldCount; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("field%1").arg(i));
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setValidator(validator);
        field->setMaxLength(kFieldDigits);
        field->setTextMargins(0, 0, 0, 0);
        field->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        field->setMinimumWidth(1);
        // Only the first part is a Tab stop; the others are reached with the keys above.
        field->setFocusPolicy(i == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        // Dropped text would bypass the paste rules.
        field->setAcceptDrops(false);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { OnFieldEdited(i); });
        connect(field, &QLineEdit::textChanged, this, &IpAddressEdit::Changed);
        m_fields[static_cast<std::size_t>(i)] = field;
        layout->addWidget(field, 1);
        if (i + 1 < kFieldCount) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot, 0);
        }
    }
    setFocusProxy(m_fields[0]);
    setFocusPolicy(Qt::StrongFocus);
}

std::array<int, IpAddressEdit::kFieldCount> IpAddressEdit::FieldValues() const {
    std::array<int, kFieldCount> values{};
    for (int i = 0; i < kFieldCount; ++i) {
        // The validator admits digits only, so a blank part is the one text that gives 0 here.
        const int value = m_fields[static_cast<std::size_t>(i)]->text().toInt();
        values[static_cast<std::size_t>(i)] = std::min(value, kMaxFieldValue);
    }
    return values;
}

QString IpAddressEdit::Text() const {
    QStringList parts;
    for (const int value : FieldValues()) {
        parts << QString::number(value);
    }
    return parts.join(QLatin1Char('.'));
}

bool IpAddressEdit::IsBlank() const {
    for (const QLineEdit* field : m_fields) {
        if (!field->text().isEmpty()) {
            return false;
        }
    }
    return true;
}

void IpAddressEdit::SetFieldValues(const std::array<int, kFieldCount>& values) {
    for (int i = 0; i < kFieldCount; ++i) {
        const int value = std::clamp(values[static_cast<std::size_t>(i)], 0, kMaxFieldValue);
        m_fields[static_cast<std::size_t>(i)]->setText(QString::number(value));
    }
}

void IpAddressEdit::Clear() {
    for (QLineEdit* field : m_fields) {
        field->clear();
    }
}

void IpAddressEdit::SetAccessibleNames(const QString& name) {
    setAccessibleName(name);
    for (int i = 0; i < kFieldCount; ++i) {
        m_fields[static_cast<std::size_t>(i)]->setAccessibleName(
            QStringLiteral("%1, part %2 of %3").arg(name).arg(i + 1).arg(kFieldCount));
    }
}

int IpAddressEdit::IndexOf(QObject* field) const {
    for (int i = 0; i < kFieldCount; ++i) {
        if (m_fields[static_cast<std::size_t>(i)] == field) {
            return i;
        }
    }
    return -1;
}

void IpAddressEdit::FocusField(int index, bool atEnd) {
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    field->setFocus(Qt::OtherFocusReason);
    if (atEnd) {
        field->deselect();
        field->setCursorPosition(static_cast<int>(field->text().size()));
    } else {
        field->selectAll();
    }
}

void IpAddressEdit::OnFieldEdited(int index) {
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    if (field->text().toInt() > kMaxFieldValue) {
        field->setText(QString::number(kMaxFieldValue));
    }
    if (field->text().size() == kFieldDigits && field->cursorPosition() == kFieldDigits &&
        index + 1 < kFieldCount) {
        FocusField(index + 1, false);
        m_justAdvanced = true;
    }
}

bool IpAddressEdit::Paste(int index, const QString& clipboardText) {
    const QString text = clipboardText.trimmed();
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    if (text.contains(QLatin1Char('.'))) {
        const auto address = ParseIpv4(text.toStdString());
        if (!address) {
            return false;
        }
        for (int i = 0; i < kFieldCount; ++i) {
            const unsigned value = (*address >> (8 * (kFieldCount - 1 - i))) & 0xFFu;
            m_fields[static_cast<std::size_t>(i)]->setText(QString::number(value));
        }
        FocusField(kFieldCount - 1, true);
        return true;
    }
    if (!IsDigits(text)) {
        return false;
    }
    QString digits = field->text();
    int position = field->cursorPosition();
    if (field->hasSelectedText()) {
        position = field->selectionStart();
        digits.remove(position, static_cast<int>(field->selectedText().size()));
    }
    digits.insert(position, text);
    field->setText(Clamped(digits));
    return true;
}

void IpAddressEdit::ShowContextMenu(int index, const QPoint& globalPosition) {
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    const std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
    // The standard "Paste" inserts the clipboard as it is; here it goes through the paste rules.
    // The action is known by its text, which the line edit builds from this same translation.
    const QString pasteText = QLineEdit::tr("&Paste");
    for (QAction* action : menu->actions()) {
        if (action->text() == pasteText || action->text().startsWith(pasteText + u'\t')) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, [this, index] {
                if (!Paste(index, QApplication::clipboard()->text())) {
                    QApplication::beep();
                }
            });
        }
    }
    menu->exec(globalPosition);
}

bool IpAddressEdit::OnKeyPress(int index, const QKeyEvent& key) {
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    const bool justAdvanced = std::exchange(m_justAdvanced, false);
    if (key.matches(QKeySequence::Paste)) {
        if (!Paste(index, QApplication::clipboard()->text())) {
            QApplication::beep();
        }
        return true;
    }
    const bool atStart = field->cursorPosition() == 0 && !field->hasSelectedText();
    const bool atEnd = field->cursorPosition() == field->text().size() && !field->hasSelectedText();
    switch (key.key()) {
        case Qt::Key_Period:
            if (!justAdvanced && !field->text().isEmpty() && index + 1 < kFieldCount) {
                FocusField(index + 1, false);
            }
            return true;
        case Qt::Key_Backspace:
            if (field->text().isEmpty() && index > 0) {
                FocusField(index - 1, true);
                return true;
            }
            return false;
        case Qt::Key_Left:
            if (atStart && index > 0) {
                FocusField(index - 1, true);
                return true;
            }
            return false;
        case Qt::Key_Right:
            if (atEnd && index + 1 < kFieldCount) {
                m_fields[static_cast<std::size_t>(index + 1)]->setFocus(Qt::OtherFocusReason);
                m_fields[static_cast<std::size_t>(index + 1)]->setCursorPosition(0);
                return true;
            }
            return false;
        case Qt::Key_Backtab:
            // Backwards the field is left from its first part, the one Tab stop.
            if (index > 0) {
                m_fields[0]->setFocus(Qt::OtherFocusReason);
                focusNextPrevChild(false);
                return true;
            }
            return false;
        default:
            return false;
    }
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int index = IndexOf(watched);
    if (index >= 0) {
        switch (event->type()) {
            case QEvent::KeyPress:
                if (OnKeyPress(index, *static_cast<QKeyEvent*>(event))) {
                    return true;
                }
                break;
            case QEvent::MouseButtonPress:
                m_justAdvanced = false;
                break;
            case QEvent::MouseButtonRelease:
                // X11's middle-button paste of the selection follows the paste rules too.
                if (static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton &&
                    QApplication::clipboard()->supportsSelection()) {
                    Paste(index, QApplication::clipboard()->text(QClipboard::Selection));
                    return true;
                }
                break;
            case QEvent::ContextMenu:
                ShowContextMenu(index, static_cast<QContextMenuEvent*>(event)->globalPos());
                return true;
            default:
                break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace vindle
