#include "editor/EditorEscapes.h"

#include <gtest/gtest.h>

#include <string>

#include "common/CodePage.h"

namespace corvina {
namespace {

const CodePage& Sjis() {
    return CodePage::Get(CodePage::kShiftJis);
}

TEST(EditorEscapes, EncodesControlBytesAndBackslashes) {
    const std::string raw = std::string("a\tb\r\nc\rd\\e\x1b\x01\x1f", 13) + std::string(1, '\0');
    EXPECT_EQ(EscapeText(raw, Sjis()), "a\\tb\\nc\\rd\\\\e\\e\\x01\\x1f\\x00");
    EXPECT_EQ(EscapeText("\a\b\v\f", Sjis()), "\\a\\b\\v\\f");
    // A Shift_JIS character whose trail byte is "\" stays as it is.
    EXPECT_EQ(EscapeText("\x95\x5c\t", Sjis()), "\x95\x5c\\t");
}

TEST(EditorEscapes, StopsBeforeAnEscapeThatWouldPassTheLimit) {
    const std::string text = std::string(254, 'x') + "\t";
    EXPECT_EQ(EscapeText(text, Sjis()), std::string(254, 'x'));
    EXPECT_EQ(EscapeText(std::string(300, 'y'), Sjis()).size(), kMaxEscapedBytes);
}

TEST(EditorEscapes, DecodesEveryEscapeIgnoringCase) {
    EXPECT_EQ(UnescapeText("\\A\\B\\E\\F\\N\\R\\T\\V\\0", Sjis()),
              std::string("\a\b\x1b\f\n\r\t\v\0", 9));
    EXPECT_EQ(UnescapeText("\\x41\\X7a", Sjis()), "Az");
    EXPECT_EQ(UnescapeText("\\x4", Sjis()), "x4");    // too short: the x stands
    EXPECT_EQ(UnescapeText("\\xg1", Sjis()), "xg1");  // not hex
    EXPECT_EQ(UnescapeText("\\q\\\\", Sjis()), "q\\");
    EXPECT_EQ(UnescapeText("end\\", Sjis()), "end");  // a lone "\" at the end goes
    // The trail byte "\" of a wide character is no escape.
    EXPECT_EQ(UnescapeText("\x95\x5cn", Sjis()), "\x95\x5cn");
}

TEST(EditorEscapes, RoundTripsAnyShortControlText) {
    for (int byte = 0; byte < 128; ++byte) {
        const std::string text = std::string("<") + static_cast<char>(byte) + ">";
        const std::string back = UnescapeText(EscapeText(text, Sjis()), Sjis());
        EXPECT_EQ(back, text) << "byte " << byte;
    }
}

}  // namespace
}  // namespace corvina
