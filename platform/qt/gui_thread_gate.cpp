#include "platform/qt/gui_thread_gate.h"

namespace vindle {

GuiThreadGate::GuiThreadGate() : m_receiver(std::make_unique<QObject>()) {}

GuiThreadGate::~GuiThreadGate() = default;

void GuiThreadGate::Detach() {
    m_detached.store(true, std::memory_order_release);
}

}  // namespace vindle
