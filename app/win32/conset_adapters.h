#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "platform/win32/win32_controls.h"
#include "settings/conset_controls.h"

namespace vindle {

// The configuration dialog's own controls as the interfaces its handlers drive. For the window's
// thread only.

class Win32CheckBox final : public Win32Enabled<CheckBoxControl> {
  public:
    using Win32Enabled::Win32Enabled;
    bool IsChecked() override;
    void SetChecked(bool checked) override;
};

// A SysIPAddress32 control.
class Win32IpAddress final : public Win32Enabled<IpAddressControl> {
  public:
    using Win32Enabled::Win32Enabled;
    std::array<int, 4> FieldValues() override;
    std::string Text() override;
};

class Win32NumberEdit final : public Win32Enabled<NumberEditControl> {
  public:
    using Win32Enabled::Win32Enabled;
    std::string Text() override;
    void SetText(const std::string& text) override;
};

}  // namespace vindle
