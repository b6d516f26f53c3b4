#include "platform/qt/qt_control.h"

namespace vindle {

QtControl::QtControl(QWidget* widget) : m_widget(widget) {}

void QtControl::Detach() {
    m_gate.Detach();
    m_widget = nullptr;
}

void QtControl::SetEnabled(bool enabled) {
    m_gate.Run([&] {
        if (m_widget != nullptr) {
            m_widget->setEnabled(enabled);
        }
    });
}

bool QtControl::IsEnabled() {
    // The widget's own flag, whatever its window's state: a modal dialog over the window does not
    // make its controls read as disabled.
    return m_gate.Run(false, [&] {
        return m_widget != nullptr && !m_widget->testAttribute(Qt::WA_ForceDisabled);
    });
}

}  // namespace vindle
