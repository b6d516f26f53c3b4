#include "app/ip_address_edit.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace vindle {
namespace {

// Types each character into whichever part has the focus, as a keyboard would.
void Type(const QString& text) {
    for (const QChar c : text) {
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
}

class IpAddressEditTest : public ::testing::Test {
  protected:
    IpAddressEditTest() {
        m_edit.resize(160, 24);
        m_edit.show();
        QApplication::setActiveWindow(&m_edit);
        QTest::mouseClick(m_edit.Field(0), Qt::LeftButton);
    }

    QString Parts() {
        QStringList parts;
        for (int i = 0; i < IpAddressEdit::kFieldCount; ++i) {
            parts << m_edit.Field(i)->text();
        }
        return parts.join(QLatin1Char('|'));
    }

    IpAddressEdit m_edit;
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

}  // namespace
}  // namespace vindle
