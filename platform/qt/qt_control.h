#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/control.h"
#include "platform/qt/gui_thread_gate.h"

namespace vindle {

// A widget as a Control, callable from any thread (see GuiThreadGate).
class QtControl : public Control {
  public:
    explicit QtControl(QWidget* widget);

    // Makes the adapter inert: later calls do nothing and IsEnabled() answers false. GUI thread
    // only.
    void Detach();

    void SetEnabled(bool enabled) override;
    bool IsEnabled() override;

  protected:
    GuiThreadGate& Gate() { return m_gate; }
    QWidget* Widget() const { return m_widget; }

  private:
    GuiThreadGate m_gate;
    QPointer<QWidget> m_widget;
};

}  // namespace vindle
