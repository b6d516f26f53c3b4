#pragma once

#include <QPointer>

#include "settings/conset_controls.h"

class QCheckBox;
class QLineEdit;

namespace vindle {

class IpAddressEdit;

// The configuration dialog's own controls as the interfaces its handlers drive. The dialog is
// modal and used on the GUI thread only, so these call their widgets directly.

class QtCheckBox final : public CheckBoxControl {
  public:
    explicit QtCheckBox(QCheckBox* box) : m_box(box) {}
    void SetEnabled(bool enabled) override;
    bool IsEnabled() override;
    bool IsChecked() override;
    void SetChecked(bool checked) override;

  private:
    QPointer<QCheckBox> m_box;
};

class QtIpAddress final : public IpAddressControl {
  public:
    explicit QtIpAddress(IpAddressEdit* edit) : m_edit(edit) {}
    void SetEnabled(bool enabled) override;
    bool IsEnabled() override;
    std::array<int, 4> FieldValues() override;
    std::string Text() override;

  private:
    QPointer<IpAddressEdit> m_edit;
};

class QtNumberEdit final : public NumberEditControl {
  public:
    explicit QtNumberEdit(QLineEdit* edit) : m_edit(edit) {}
    void SetEnabled(bool enabled) override;
    bool IsEnabled() override;
    std::string Text() override;
    void SetText(const std::string& text) override;

  private:
    QPointer<QLineEdit> m_edit;
};

}  // namespace vindle
