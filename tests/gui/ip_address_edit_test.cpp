#include "platform/qt/ip_address_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace vindle {
namespace {

// Types each character into whichever part has the focus, as a keyboard would.
void Type(const QString& text) {
    for (const QChar c : text) {
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
}

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

// The field between two other edit boxes of one window, its first part clicked.
class IpAddressEditTest : public ::testing::Test {
  protected:
    IpAddressEditTest() {
        auto* layout = new QVBoxLayout(&m_window);
        layout->addWidget(m_before);
        layout->addWidget(&m_edit);
        layout->addWidget(m_after);
        m_window.resize(160, 90);
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        QTest::mouseClick(m_edit.Field(0), Qt::LeftButton);
    }

    QString Parts() {
        QStringList parts;
        for (int i = 0; i < IpAddressEdit::kFieldCount; ++i) {
            parts << m_edit.Field(i)->text();
        }
        return parts.join(QLatin1Char('|'));
    }

    // Selects the text of part `index` as a user would: a click, then Ctrl+A.
    void SelectPart(int index) {
        QTest::mouseClick(m_edit.Field(index), Qt::LeftButton);
        Press(Qt::Key_A, Qt::ControlModifier);
    }

    void Paste(const QString& text) {
        QApplication::clipboard()->setText(text);
        Press(Qt::Key_V, Qt::ControlModifier);
    }

    QWidget m_window;
    QLineEdit* m_before = new QLineEdit(&m_window);
    IpAddressEdit& m_edit = *new IpAddressEdit(&m_window);
    QLineEdit* m_after = new QLineEdit(&m_window);
};

TEST_F(IpAddressEditTest, DotAndThirdDigitMoveToTheNextPart) {
    Type(QStringLiteral("192.168.1.0"));
    EXPECT_EQ(Parts(), QStringLiteral("192|168|1|0"));
    EXPECT_EQ(m_edit.Text(), QStringLiteral("192.168.1.0"));
    EXPECT_EQ(m_edit.FieldValues(), (std::array<int, 4>{192, 168, 1, 0}));
}

TEST_F(IpAddressEditTest, BlankPartsCountAsZero) {
    EXPECT_TRUE(m_edit.IsBlank());
    EXPECT_EQ(m_edit.Text(), QStringLiteral("0.0.0.0"));
    Type(QStringLiteral("10..5"));
    // A dot in an empty part stays there, so "5" lands in the second part.
    EXPECT_EQ(Parts(), QStringLiteral("10|5||"));
    EXPECT_EQ(m_edit.Text(), QStringLiteral("10.5.0.0"));
    EXPECT_FALSE(m_edit.IsBlank());
}

TEST_F(IpAddressEditTest, TextHasNoLeadingZerosAndPartsStayWithinRange) {
    Type(QStringLiteral("010099.7.300"));
    EXPECT_EQ(Parts(), QStringLiteral("010|099|7|255"));
    EXPECT_EQ(m_edit.Text(), QStringLiteral("10.99.7.255"));
    Type(QStringLiteral("x-"));
    EXPECT_EQ(m_edit.Field(3)->text(), QStringLiteral("255"));
}

TEST_F(IpAddressEditTest, BackspaceInAnEmptyPartGoesBack) {
    Type(QStringLiteral("12.3."));
    EXPECT_EQ(QApplication::focusWidget(), m_edit.Field(2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    EXPECT_EQ(Parts(), QStringLiteral("12|||"));
}

TEST_F(IpAddressEditTest, RetypingOverAFullFieldStoresWhatWasTyped) {
    // A "." right after the move made by a third digit does not move again.
    m_edit.SetFieldValues({192, 168, 1, 0});
    SelectPart(0);
    Type(QStringLiteral("192.168.2.0"));
    EXPECT_EQ(Parts(), QStringLiteral("192|168|2|0"));

    m_edit.SetFieldValues({255, 255, 255, 0});
    SelectPart(0);
    Type(QStringLiteral("255.0.255.0"));
    EXPECT_EQ(Parts(), QStringLiteral("255|0|255|0"));
}

TEST_F(IpAddressEditTest, PasteFillsAllPartsOrIsRefusedWhole) {
    m_edit.SetFieldValues({192, 168, 1, 0});
    SelectPart(0);
    Paste(QStringLiteral(" 192.168.7.0\n"));
    EXPECT_EQ(Parts(), QStringLiteral("192|168|7|0"));
    SelectPart(1);
    Paste(QStringLiteral("10.20.30.40"));
    EXPECT_EQ(Parts(), QStringLiteral("10|20|30|40"));

    for (const char* refused : {"10.20.30", "10.20.30.256", "1.2.3.4.5", "10.a.3.4", "x"}) {
        SelectPart(2);
        Paste(QString::fromLatin1(refused));
        EXPECT_EQ(Parts(), QStringLiteral("10|20|30|40")) << refused;
    }
    // The context menu's Paste follows the same rules.
    QApplication::clipboard()->setText(QStringLiteral("172.16.0.1"));
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(QLineEdit::tr("&Paste"))) {
                action->trigger();
            }
        }
        menu->close();
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                m_edit.Field(1)->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(m_edit.Field(1), &menuEvent);
    QApplication::setActiveWindow(&m_window);
    EXPECT_EQ(Parts(), QStringLiteral("172|16|0|1"));

    // A number goes into the one part, clamped like typed digits.
    SelectPart(1);
    Paste(QStringLiteral("7"));
    SelectPart(2);
    Paste(QStringLiteral("300"));
    EXPECT_EQ(Parts(), QStringLiteral("172|7|255|1"));
}

TEST_F(IpAddressEditTest, TheFieldIsOneTabStopAndEnteringItSelectsThePart) {
    m_edit.SetFieldValues({10, 1, 2, 3});
    m_before->setFocus();
    Press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), m_edit.Field(0));
    Type(QStringLiteral("7"));
    EXPECT_EQ(Parts(), QStringLiteral("7|1|2|3"));
    Press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_after);

    Press(Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), m_edit.Field(0));
    Type(QStringLiteral(".."));
    EXPECT_EQ(QApplication::focusWidget(), m_edit.Field(2));
    // The arrow keys cross from a part's edge into the next part.
    Press(Qt::Key_Home);
    Press(Qt::Key_Left);
    EXPECT_EQ(QApplication::focusWidget(), m_edit.Field(1));
    EXPECT_EQ(m_edit.Field(1)->cursorPosition(), 1);
    Press(Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget(), m_edit.Field(2));
    Press(Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), m_before);
}

}  // namespace
}  // namespace vindle
