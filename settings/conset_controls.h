#pragma once

#include <array>
#include <string>

#include "platform/control.h"

namespace vindle {

// A check box: "Search Specified Address" or "Thorough search".
class CheckBoxControl : public Control {
  public:
    virtual bool IsChecked() = 0;
    virtual void SetChecked(bool checked) = 0;
};

// An IPv4 address field of four parts, the first the most significant.
class IpAddressControl : public Control {
  public:
    // The four field values; a blank field counts as 0.
    virtual std::array<int, 4> FieldValues() = 0;
    // The dotted text as the field shows it, at most 15 characters, such as "192.168.1.0".
    virtual std::string Text() = 0;
};

// A one-line edit box holding a number.
class NumberEditControl : public Control {
  public:
    virtual std::string Text() = 0;
    virtual void SetText(const std::string& text) = 0;
};

}  // namespace vindle
