#include "platform/win32/latin1_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vindle {
namespace {

TEST(Latin1TextTest, EveryByteIsTheCodeUnitOfTheSameValueAndBack) {
    std::string bytes;
    for (int value = 0; value < 256; ++value) {
        bytes += static_cast<char>(value);
    }
    const std::wstring text = Latin1ToWide(bytes);
    ASSERT_EQ(text.size(), 256u);
    for (int value = 0; value < 256; ++value) {
        EXPECT_EQ(static_cast<int>(text[static_cast<std::size_t>(value)]), value);
    }
    EXPECT_EQ(WideToLatin1(text), bytes);
}

TEST(Latin1TextTest, CodeUnitsAboveLatin1BecomeQuestionMarks) {
    EXPECT_EQ(WideToLatin1(L"a\u0100b\u20ACc"), "a?b?c");
    EXPECT_EQ(WideToLatin1(L"\u00FF"), "\xFF");
}

}  // namespace
}  // namespace vindle
