#pragma once

#include <QFrame>
#include <QString>

#include <array>

class QLineEdit;

namespace vindle {

// An IPv4 address field: four parts of 0 to 255 in one frame, separated by dots. A blank part
// counts as 0. Typing "." in a part that holds digits moves to the next part, as does a third
// digit; Backspace in an empty part and the arrow keys at a part's edge move between parts.
class IpAddressEdit : public QFrame {
    Q_OBJECT

  public:
    static constexpr int kFieldCount = 4;

    explicit IpAddressEdit(QWidget* parent = nullptr);

    // The four values, the first the most significant; blank parts give 0.
    std::array<int, kFieldCount> FieldValues() const;
    // The dotted text without leading zeros, blank parts as "0": at most 15 characters.
    QString Text() const;
    // True when no part holds a digit.
    bool IsBlank() const;

    void SetFieldValues(const std::array<int, kFieldCount>& values);
    void Clear();

    QLineEdit* Field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }

  signals:
    void Changed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int IndexOf(QObject* field) const;
    void FocusField(int index, bool atEnd);
    void OnFieldEdited(int index);

    std::array<QLineEdit*, kFieldCount> m_fields{};
};

}  // namespace vindle
