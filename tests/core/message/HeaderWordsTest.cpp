#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "common/CodePage.h"
#include "message/Base64.h"
#include "message/HeaderWords.h"

namespace corvina {
namespace {

const CodePage& Sjis() {
    return CodePage::Get(CodePage::kShiftJis);
}
const CodePage& Utf8() {
    return CodePage::Get(CodePage::kUtf8);
}
const CodePage& Western() {
    return CodePage::Get(CodePage::kWestern);
}

// "日本" in ISO-2022-JP, Shift_JIS and UTF-8.
const std::string kNihonJis = "\x1B$BF|K\\\x1B(B";
const std::string kNihonSjis = "\x93\xFA\x96\x7B";
const std::string kNihonUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC";

TEST(DecodeHeaderWords, JapaneseWordThenBlankAndAsciiWord) {
    std::string line = "Subject: =?ISO-2022-JP?B?" + Base64EncodeText(kNihonJis) + "?= news";
    EXPECT_EQ(DecodeHeaderWords(line, Sjis()), "Subject: " + kNihonSjis + " news");
    // Encoding letter and charset are compared without case.
    line = "=?iso-2022-jp?b?" + Base64EncodeText(kNihonJis) + "?=";
    EXPECT_EQ(DecodeHeaderWords(line, Sjis()), kNihonSjis);
    // Elsewhere the ISO-2022-JP word goes into the working code page.
    EXPECT_EQ(DecodeHeaderWords(line, Utf8()), kNihonUtf8);
}

TEST(DecodeHeaderWords, QWordsAndOtherEncodings) {
    // "_" is a blank; "=3D" gives an equals sign; a lone "=" is kept.
    EXPECT_EQ(DecodeHeaderWords("=?US-ASCII?Q?a_b=3Dc=?=", Western()), "a b=c=");
    EXPECT_EQ(DecodeHeaderWords("=?ISO-8859-1?Q?caf=E9?=", Western()), "caf\xE9");
    EXPECT_EQ(DecodeHeaderWords("=?ISO-8859-1?Q?caf=E9?=", Utf8()), "caf\xC3\xA9");
    // An unknown encoding letter copies the text.
    EXPECT_EQ(DecodeHeaderWords("=?us-ascii?X?raw?=", Western()), "raw");
    // Blanks between two words vanish; other text between them is kept.
    EXPECT_EQ(DecodeHeaderWords("=?us-ascii?Q?a?=  =?us-ascii?Q?b?=", Western()), "ab");
    EXPECT_EQ(DecodeHeaderWords("=?us-ascii?Q?a?= - =?us-ascii?Q?b?=", Western()), "a - b");
    EXPECT_EQ(DecodeHeaderWords("x =?us-ascii?Q?a?= y", Western()), "x a y");
}

TEST(DecodeHeaderWords, CharsetConversionByCodePage) {
    std::string utf8Word = "=?UTF-8?B?" + Base64EncodeText(kNihonUtf8) + "?=";
    std::string eucWord = "=?EUC-JP?B?" + Base64EncodeText("\xC6\xFC\xCB\xDC") + "?=";
    EXPECT_EQ(DecodeHeaderWords(utf8Word, Sjis()), kNihonSjis);
    EXPECT_EQ(DecodeHeaderWords(eucWord, Sjis()), kNihonSjis);
    EXPECT_EQ(DecodeHeaderWords(utf8Word, Utf8()), kNihonUtf8);
    EXPECT_EQ(DecodeHeaderWords(eucWord, Utf8()), kNihonUtf8);
    // A character the working code page cannot hold becomes "?".
    auto western = DecodeHeaderWords(utf8Word, Western());
    ASSERT_TRUE(western);
    EXPECT_EQ(western->find_first_not_of('?'), std::string::npos);
    // On 932 charsets other than the Japanese ones are inserted unchanged.
    EXPECT_EQ(DecodeHeaderWords("=?ISO-8859-1?Q?=E9?=", Sjis()), "\xE9");
}

TEST(DecodeHeaderWords, MalformedWordsFail) {
    EXPECT_EQ(DecodeHeaderWords("Subject: =?ISO-2022-JP?B?GyRC", Sjis()), std::nullopt);
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?B?GyRC?x", Sjis()), std::nullopt);
    EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP", Sjis()), std::nullopt);
    EXPECT_EQ(DecodeHeaderWords("=?us-ascii?B?abc?=", Sjis()), std::nullopt);  // bad base64
    EXPECT_EQ(DecodeHeaderWords("plain text", Sjis()), "plain text");
}

TEST(DecodeHeaderWords, LongInputIsCutAtTheWorkBuffer) {
    std::string word = "=?us-ascii?Q?" + std::string(70000, 'x') + "?=";
    auto decoded = DecodeHeaderWords("S: " + word + " tail", Western());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), kHeaderWorkBufferMax);
    // A charset name longer than its limit is cut, not overflowed.
    std::string longCharset = "=?" + std::string(500, 'c') + "?Q?ok?=";
    EXPECT_EQ(DecodeHeaderWords(longCharset, Western()), "ok");
}

// The stored form of an address field: a decoded name that needs quotes
// is quoted and escaped; everything else is decoded as before.
TEST(DecodeAddressList, QuotesDecodedNamesThatNeedIt) {
    struct Case {
        const CodePage& cp;
        std::string raw;
        std::string stored;
    };
    // "表\ソ": both characters end in the byte 0x5C on 932.
    const std::string hyoSjis = "\x95\x5C\\\x83\x5C";
    const std::string hyoUtf8Word =
        "=?UTF-8?B?" + Base64EncodeText("\xE8\xA1\xA8\\\xE3\x82\xBD") + "?=";
    const Case cases[] = {
        {Utf8(), " =?UTF-8?Q?M=C3=BCller=2C_J=C3=BCrgen?= <jm@x>",
         " \"M\xC3\xBCller, J\xC3\xBCrgen\" <jm@x>"},
        {Utf8(), "=?UTF-8?Q?a_=22b=22_c=5Cd?= <a@x> (note), =?UTF-8?Q?Plain?= <p@x>",
         "\"a \\\"b\\\" c\\\\d\" <a@x> (note), Plain <p@x>"},
        // A sloppy sender's encoded word inside quotes.
        {Western(), "\"=?ISO-8859-1?Q?Doe=2C_J?=\" <j@x>", "\"Doe, J\" <j@x>"},
        {Western(), "\"=?ISO-8859-1?Q?Doe_J?=\" <j@x>", "\"Doe J\" <j@x>"},
        // A comment that decodes to a bracket moves before the address.
        {Western(), "j@x (=?ISO-8859-1?Q?J_=28home=29?=)", "\"J (home)\" <j@x>"},
        {Western(), "j@x (=?ISO-8859-1?Q?J=2C_home?=)", "j@x (J, home)"},
        {Western(), "=?ISO-8859-1?Q?A=3A_B?=: c@x, d@x;", "\"A: B\": c@x, d@x;"},
        {Western(), "=?ISO-8859-1?Q?Broken <b@x>, =?ISO-8859-1?Q?Ok?= <o@x>",
         "=?ISO-8859-1?Q?Broken <b@x>, Ok <o@x>"},
        {Sjis(), hyoUtf8Word + " <h@x>",
         "\"" + hyoSjis.substr(0, 2) + "\\\\" + hyoSjis.substr(3) + "\" <h@x>"},
        {Sjis(), "=?ISO-2022-JP?B?" + Base64EncodeText(kNihonJis) + "?= <n@x>",
         kNihonSjis + " <n@x>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeAddressList(c.raw, c.cp), c.stored) << c.raw;
    }
    // Only address fields are read as lists.
    EXPECT_EQ(DecodeHeaderLine("Resent-Cc: =?UTF-8?Q?a=2C_b?= <a@x>", Utf8()),
              "Resent-Cc: \"a, b\" <a@x>");
    EXPECT_EQ(DecodeHeaderLine("Subject: =?UTF-8?Q?a=2C_b?= <a@x>", Utf8()), "Subject: a, b <a@x>");
}

TEST(EncodeHeaderWords, JapaneseSystem) {
    EXPECT_EQ(EncodeHeaderWords("From: Taro <taro@example.jp>", Sjis()),
              "From: Taro <taro@example.jp>");
    // Only the Japanese display name becomes a word; the address stays plain.
    EXPECT_EQ(EncodeHeaderWords("From: " + kNihonSjis + " <taro@example.jp>", Sjis()),
              "From: =?ISO-2022-JP?B?" + Base64EncodeText(kNihonJis) + "?= <taro@example.jp>");
    auto round = EncodeHeaderWords("Subject: " + kNihonSjis + "x" + kNihonSjis, Sjis());
    ASSERT_TRUE(round);
    EXPECT_EQ(DecodeHeaderWords(*round, Sjis()), "Subject: " + kNihonSjis + "x" + kNihonSjis);
    // Japanese runs parted by a blank become one word, so the blank survives
    // a receiver that drops blanks between encoded words.
    round = EncodeHeaderWords("Subject: " + kNihonSjis + " " + kNihonSjis, Sjis());
    ASSERT_TRUE(round);
    EXPECT_EQ(std::count(round->begin(), round->end(), '?'), 4) << *round;
    EXPECT_EQ(DecodeHeaderWords(*round, Sjis()), "Subject: " + kNihonSjis + " " + kNihonSjis);
}

TEST(EncodeHeaderWords, OtherCodePages) {
    // A run of 8-bit words becomes one word of W's charset; ASCII words, the
    // blanks and the address in angle brackets stay.
    std::string line = "From: J\xC3\xBCrgen M\xC3\xBCller <jm@example.de>";
    auto encoded = EncodeHeaderWords(line, Utf8());
    EXPECT_EQ(encoded, "From: =?UTF-8?B?" + Base64EncodeText("J\xC3\xBCrgen M\xC3\xBCller") +
                           "?= <jm@example.de>");
    EXPECT_EQ(DecodeHeaderWords(*encoded, Utf8()), line);
    // A quoted name goes into the word whole; list punctuation stays out.
    encoded = EncodeHeaderWords("To: \"\xE9t\xE9\", (\xE9) <a@b>, x", Western());
    EXPECT_EQ(encoded, "To: =?windows-1252?B?" + Base64EncodeText("\"\xE9t\xE9\"") +
                           "?=, (=?windows-1252?B?" + Base64EncodeText("\xE9") + "?=) <a@b>, x");
    EXPECT_EQ(EncodeHeaderWords("Subject: plain ascii", Utf8()), "Subject: plain ascii");
    EXPECT_EQ(EncodeHeaderWords("Subject: a \xE9 b", Western()),
              "Subject: a =?windows-1252?B?" + Base64EncodeText("\xE9") + "?= b");
}

// Random 8-bit words survive encoding and decoding on a single-byte page.
TEST(EncodeHeaderWords, RoundTripsRandomBytes) {
    std::mt19937 rng(4711);
    for (int round = 0; round < 300; ++round) {
        std::string line = "Subject:";
        int words = 1 + static_cast<int>(rng() % 6);
        for (int w = 0; w < words; ++w) {
            line += std::string(1 + rng() % 3, ' ');
            int len = 1 + static_cast<int>(rng() % 12);
            for (int k = 0; k < len; ++k) {
                char c;
                do {
                    c = static_cast<char>(rng() % 256);
                } while (c == ' ' || c == '\t' || c == '=' || c == '?' || c == '<');
                line += c;
            }
        }
        auto encoded = EncodeHeaderWords(line, Western());
        ASSERT_TRUE(encoded);
        ASSERT_EQ(DecodeHeaderWords(*encoded, Western()), line) << *encoded;
        for (unsigned char c : *encoded) {
            // Only ASCII words keep 8-bit-free bytes; nothing 8-bit is sent.
            ASSERT_LT(c, 0x80);
        }
    }
}

}  // namespace
}  // namespace corvina
