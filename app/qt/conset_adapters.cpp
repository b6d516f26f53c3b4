#include "app/qt/conset_adapters.h"

#include <QCheckBox>
#include <QLineEdit>

#include "platform/qt/ip_address_edit.h"

namespace vindle {
namespace {

// Texts travel as bytes, one character per byte (Latin-1), like the lists.
std::string ToBytes(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

void QtCheckBox::SetEnabled(bool enabled) {
    if (m_box) {
        m_box->setEnabled(enabled);
    }
}

bool QtCheckBox::IsEnabled() {
    return m_box && m_box->isEnabled();
}

bool QtCheckBox::IsChecked() {
    return m_box && m_box->isChecked();
}

void QtCheckBox::SetChecked(bool checked) {
    if (m_box) {
        m_box->setChecked(checked);
    }
}

void QtIpAddress::SetEnabled(bool enabled) {
    if (m_edit) {
        m_edit->setEnabled(enabled);
    }
}

bool QtIpAddress::IsEnabled() {
    return m_edit && m_edit->isEnabled();
}

std::array<int, 4> QtIpAddress::FieldValues() {
    return m_edit ? m_edit->FieldValues() : std::array<int, 4>{};
}

std::string QtIpAddress::Text() {
    return m_edit ? ToBytes(m_edit->Text()) : std::string();
}

void QtNumberEdit::SetEnabled(bool enabled) {
    if (m_edit) {
        m_edit->setEnabled(enabled);
    }
}

bool QtNumberEdit::IsEnabled() {
    return m_edit && m_edit->isEnabled();
}

std::string QtNumberEdit::Text() {
    return m_edit ? ToBytes(m_edit->text()) : std::string();
}

void QtNumberEdit::SetText(const std::string& text) {
    if (m_edit) {
        m_edit->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
}

}  // namespace vindle
