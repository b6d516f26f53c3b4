#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "platform/control.h"
#include "settings/conset_controls.h"

namespace vindle {

// Dialog controls as the interfaces the core's handlers drive. For the window's thread only.

// Any control: a button, a list, an edit box.
class Win32Control final : public Control {
  public:
    explicit Win32Control(HWND control) : m_control(control) {}
    // Disabling the control that has the keyboard focus first moves the focus on to the next
    // control, so that the keyboard keeps working.
    void SetEnabled(bool enabled) override;
    bool IsEnabled() override;

  private:
    HWND m_control;
};

class Win32CheckBox final : public CheckBoxControl {
  public:
    explicit Win32CheckBox(HWND box) : m_box(box) {}
    void SetEnabled(bool enabled) override;
    bool IsEnabled() override;
    bool IsChecked() override;
    void SetChecked(bool checked) override;

  private:
    HWND m_box;
};

// A SysIPAddress32 control.
class Win32IpAddress final : public IpAddressControl {
  public:
    explicit Win32IpAddress(HWND control) : m_control(control) {}
    void SetEnabled(bool enabled) override;
    bool IsEnabled() override;
    std::array<int, 4> FieldValues() override;
    std::string Text() override;

  private:
    HWND m_control;
};

class Win32NumberEdit final : public NumberEditControl {
  public:
    explicit Win32NumberEdit(HWND edit) : m_edit(edit) {}
    void SetEnabled(bool enabled) override;
    bool IsEnabled() override;
    std::string Text() override;
    void SetText(const std::string& text) override;

  private:
    HWND m_edit;
};

// Enables or disables a dialog's control as Win32Control does.
void EnableDialogControl(HWND control, bool enabled);

}  // namespace vindle
