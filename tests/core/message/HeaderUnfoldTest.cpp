#include <gtest/gtest.h>

#include "common/CodePage.h"
#include "message/Base64.h"
#include "message/HeaderUnfold.h"

namespace corvina {
namespace {

std::string Received(const std::vector<std::string>& lines, const CodePage& cp) {
    ReceivedTextUnfolder u(cp);
    for (const auto& l : lines) {
        u.AddLine(l);
    }
    return u.Finish();
}

const CodePage& Sjis() {
    return CodePage::Get(CodePage::kShiftJis);
}
const CodePage& Western() {
    return CodePage::Get(CodePage::kWestern);
}

TEST(ReceivedTextUnfolder, JoinsContinuations) {
    // Encoded words folded over two lines join without a gap; a plain
    // continuation joins with one blank.
    std::string text = Received(
        {"Subject: =?us-ascii?Q?abc?=", "\t =?us-ascii?Q?def?=", "To: a@x,", "   b@x", "", "body"},
        Western());
    EXPECT_EQ(text, "Subject: abcdef\nTo: a@x, b@x\n\nbody\n");
}

// Address fields are decoded whole: a name folded over two lines that
// decodes to a comma is quoted as one name, the last field included.
TEST(ReceivedTextUnfolder, QuotesFoldedEncodedNamesOfAddressFields) {
    std::string text =
        Received({"From: =?us-ascii?Q?Doe=2C?=", " =?us-ascii?Q?_J?= <j@x>",
                  "Cc: ", "  =?us-ascii?Q?a=22b?= <a@x>",
                  "Subject: =?us-ascii?Q?x=2C_y?=", "To: =?us-ascii?Q?(c)?= <c@x>", "", "b"},
                 Western());
    EXPECT_EQ(text,
              "From: \"Doe, J\" <j@x>\nCc: \"a\\\"b\" <a@x>\nSubject: x, y\n"
              "To: \"(c)\" <c@x>\n\nb\n");
    EXPECT_EQ(Received({"Reply-To: =?us-ascii?Q?a=3B_b?= <a@x>"}, Western()),
              "Reply-To: \"a; b\" <a@x>\n");
}

TEST(ReceivedTextUnfolder, ConvertsJisInHeaderAndBodyOnJapaneseSystem) {
    std::string jis = "\x1B$BF|K\\\x1B(B";
    std::string sjis = "\x93\xFA\x96\x7B";
    std::string word = "=?ISO-2022-JP?B?" + Base64EncodeText(jis) + "?=";
    std::string text =
        Received({"Subject: " + word, "X-Raw: " + jis + "\r", "", jis, "From x"}, Sjis());
    EXPECT_EQ(text, "Subject: " + sjis + "\nX-Raw: " + sjis + "\n\n" + sjis + "\nFrom x\n");
    // Elsewhere the body is left for the MIME layer's charset conversion.
    text = Received({"Subject: x", "", jis}, Western());
    EXPECT_EQ(text, "Subject: x\n\n" + jis + "\n");
}

TEST(ReceivedTextUnfolder, MalformedWordsStayAndFieldsAreCapped) {
    std::string text = Received({"Subject: =?broken", ""}, Western());
    EXPECT_EQ(text, "Subject: =?broken\n\n");
    ReceivedTextUnfolder u(Western());
    u.AddLine("X-Long: a");
    for (int i = 0; i < 2000; ++i) {
        u.AddLine(" " + std::string(100, 'b'));
    }
    u.AddLine("Next: 1");
    std::string capped = u.Finish();
    EXPECT_EQ(capped.find('\n'), kUnfoldedFieldMax);
    EXPECT_EQ(capped.substr(kUnfoldedFieldMax), "\nNext: 1\n");
}

TEST(UnfoldStoredField, JoinsAndDecodesContinuations) {
    std::string text = "Subject: first\r\n  second\n\t=?us-ascii?Q?x?=\nTo: y\n";
    std::size_t pos = 0;
    EXPECT_EQ(UnfoldStoredField(text, pos, Western()), "Subject: first secondx");
    EXPECT_EQ(UnfoldStoredField(text, pos, Western()), "To: y");
    EXPECT_EQ(pos, text.size());
    EXPECT_EQ(UnfoldStoredField(text, pos, Western()), "");
    // A continuation is read up to its limit, the field up to its own.
    std::string longText = "A: 1\n " + std::string(10000, 'c') + "\n";
    pos = 0;
    EXPECT_EQ(UnfoldStoredField(longText, pos, Western()).size(), 5 + kContinuationMax);
    std::string many = "A: 1\n";
    for (int i = 0; i < 20; ++i) {
        many += " " + std::string(8000, 'd') + "\n";
    }
    pos = 0;
    EXPECT_EQ(UnfoldStoredField(many, pos, Western()).size(), kUnfoldedFieldMax);
    EXPECT_EQ(pos, many.size());
}

}  // namespace
}  // namespace corvina
