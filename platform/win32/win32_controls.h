#pragma once

#include <windows.h>

#include "platform/control.h"

namespace vindle {

// Dialog controls as the interfaces the core's handlers drive. For the window's thread only.

// Enables or disables a dialog's control; disabling the control that has the keyboard focus
// first moves the focus on to the next control, so that the keyboard keeps working.
void EnableDialogControl(HWND control, bool enabled);

// Any of the core's control interfaces over a dialog control.
template <class Interface>
class Win32Enabled : public Interface {
  public:
    explicit Win32Enabled(HWND control) : m_control(control) {}
    void SetEnabled(bool enabled) override { EnableDialogControl(m_control, enabled); }
    bool IsEnabled() override { return IsWindowEnabled(m_control) != FALSE; }

  protected:
    HWND m_control;
};

// Any control: a button, a list, an edit box.
using Win32Control = Win32Enabled<Control>;

}  // namespace vindle
