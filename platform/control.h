#pragma once

namespace vindle {

// A control that can be enabled and disabled (a push button, a list, an edit field...).
class Control {
  public:
    virtual ~Control() = default;

    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() = 0;
};

}  // namespace vindle
