#include "app/ip_address_edit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStringList>

#include <algorithm>

namespace vindle {
namespace {

constexpr int kMaxFieldValue = 255;
constexpr int kFieldDigits = 3;

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
    }
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int index = IndexOf(watched);
    if (index < 0 || event->type() != QEvent::KeyPress) {
        return QFrame::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    const bool atStart = field->cursorPosition() == 0 && !field->hasSelectedText();
    const bool atEnd = field->cursorPosition() == field->text().size() && !field->hasSelectedText();
    switch (key->key()) {
        case Qt::Key_Period:
            if (!field->text().isEmpty() && index + 1 < kFieldCount) {
                FocusField(index + 1, false);
            }
            return true;
        case Qt::Key_Backspace:
            if (field->text().isEmpty() && index > 0) {
                FocusField(index - 1, true);
                return true;
            }
            break;
        case Qt::Key_Left:
            if (atStart && index > 0) {
                FocusField(index - 1, true);
                return true;
            }
            break;
        case Qt::Key_Right:
            if (atEnd && index + 1 < kFieldCount) {
                m_fields[static_cast<std::size_t>(index + 1)]->setFocus(Qt::OtherFocusReason);
                m_fields[static_cast<std::size_t>(index + 1)]->setCursorPosition(0);
                return true;
            }
            break;
        default:
            break;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace vindle
