#pragma once

#include <QFrame>
#include <QString>

#include <array>

class QLineEdit;

namespace vindle {

// An IPv4 address field: four parts of 0 to 255 in one frame, separated by dots. A blank part
// counts as 0. The whole field is one Tab stop; entering a part selects its text, so typing
// replaces it. A third digit moves on to the next part, and a "." typed right after that move
// does not move again; "." in a part that holds digits moves on, in an empty part it does
// nothing. Backspace in an empty part and the arrow keys at a part's edge move between parts. A
// pasted dotted address fills all four parts or, when it is not a valid address, changes
// nothing; a pasted number goes into one part, clamped to 255.
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

    // Names the field for assistive technology: `name` itself, and each part
    // "<name>, part N of 4".
    void SetAccessibleNames(const QString& name);

    QLineEdit* Field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }

  signals:
    void Changed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int IndexOf(QObject* field) const;
    void FocusField(int index, bool atEnd);
    void OnFieldEdited(int index);
    bool OnKeyPress(int index, const QKeyEvent& key);
    // Pastes `text` into part `index`; false when it was refused and nothing changed.
    bool Paste(int index, const QString& text);
    void ShowContextMenu(int index, const QPoint& globalPosition);

    std::array<QLineEdit*, kFieldCount> m_fields{};
    // Set by a move to the next part after a third digit, cleared by the next key.
    bool m_justAdvanced = false;
};

}  // namespace vindle
