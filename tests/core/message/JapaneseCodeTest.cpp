#include <gtest/gtest.h>
#include <iconv.h>

#include <iterator>
#include <random>
#include <string>

#include "TestSupport.h"
#include "common/CodePage.h"

#include "message/JapaneseCode.h"

namespace corvina {
namespace {

// glibc iconv over a whole string; nullopt when it refuses the input.
std::optional<std::string> Iconv(const char* from, const char* to, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out(in.size() * 4 + 16, '\0');
    char* inp = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outp = out.data();
    size_t outLeft = out.size();
    size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    if (rc != static_cast<size_t>(-1)) {
        rc = iconv(cd, nullptr, nullptr, &outp, &outLeft);
    }
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || rc != 0) {
        return std::nullopt;  // error, or a lossy ("irreversible") conversion
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::string Jis(unsigned char j1, unsigned char j2) {
    return std::string("\x1B$B") + static_cast<char>(j1) + static_cast<char>(j2) + "\x1B(B";
}

// Every JIS X 0208 character converts as glibc's ISO-2022-JP <-> CP932 does,
// in both directions.
TEST(JapaneseCode, AgreesWithIconvOnEveryJisX0208Character) {
    int compared = 0;
    for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
        for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
            std::string jis = Jis(static_cast<unsigned char>(j1), static_cast<unsigned char>(j2));
            auto sjis = Iconv("ISO-2022-JP", "CP932", jis);
            if (!sjis) {
                continue;  // not a JIS X 0208 character
            }
            ASSERT_EQ(JisToSjis(jis), *sjis) << std::hex << j1 << " " << j2;
            ASSERT_EQ(SjisToJis(*sjis, true), jis) << std::hex << j1 << " " << j2;
            ++compared;
        }
    }
    EXPECT_GT(compared, 6800);  // JIS X 0208 holds 6879 characters
}

// EUC-JP agrees with iconv on the same characters, and the JIS X 0208
// validity rules reject the cells iconv rejects.
TEST(JapaneseCode, EucAgreesWithIconv) {
    for (int a = 0xA1; a <= 0xFE; ++a) {
        for (int b = 0xA1; b <= 0xFE; ++b) {
            std::string euc{static_cast<char>(a), static_cast<char>(b)};
            std::string jis =
                Jis(static_cast<unsigned char>(a & 0x7F), static_cast<unsigned char>(b & 0x7F));
            bool valid = Iconv("ISO-2022-JP", "CP932", jis).has_value();
            int errors = 0;
            std::string sjis = EucToSjisLine(euc, errors);
            if (!valid) {
                ASSERT_EQ(errors, 1) << std::hex << a << " " << b;
                ASSERT_EQ(sjis, euc);
                continue;
            }
            ASSERT_EQ(errors, 0) << std::hex << a << " " << b;
            ASSERT_EQ(sjis, *Iconv("ISO-2022-JP", "CP932", jis));
            ASSERT_EQ(SjisToEucLine(sjis, errors), euc);
            ASSERT_EQ(errors, 0);
        }
    }
}

TEST(JapaneseCode, JisEscapesAndStrayBytes) {
    // ESC $ @ and ESC ( J are read; an unknown escape and a line break inside
    // two-byte mode are copied singly.
    EXPECT_EQ(JisToSjis("a\x1B$@\x30\x21\x1B(Jb"),
              "a\x88\x9F"
              "b");
    EXPECT_EQ(JisToSjis("\x1B$B\x30\x21\n\x30\x21\x1B(B"), "\x88\x9F\n\x88\x9F");
    EXPECT_EQ(JisToSjis("x\x1B%Gy"), "x\x1B%Gy");
    EXPECT_EQ(JisToSjis("\x1B$B\x30"), "\x30");  // a half pair at the end
    EXPECT_EQ(JisToSjis("\x1B"), "\x1B");
}

// JisToSjis as it went a byte at a time: the reference for the run-copying
// converter.
std::string ReferenceJisToSjis(std::string_view jis) {
    std::string out;
    bool twoByte = false;
    for (std::size_t i = 0; i < jis.size();) {
        const unsigned char c = static_cast<unsigned char>(jis[i]);
        if (c == 0x1B && i + 2 < jis.size()) {
            const std::string_view esc = jis.substr(i + 1, 2);
            if (esc == "$B" || esc == "$@" || esc == "(B" || esc == "(J") {
                twoByte = esc[0] == '$';
                i += 3;
                continue;
            }
        }
        const unsigned char d = i + 1 < jis.size() ? static_cast<unsigned char>(jis[i + 1]) : 0;
        if (twoByte && c >= 0x21 && c <= 0x7E && d >= 0x21 && d <= 0x7E) {
            out += static_cast<char>(((c + 1) >> 1) + (c < 0x5F ? 0x70 : 0xB0));
            out += static_cast<char>(d + ((c & 1) ? (d >= 0x60 ? 0x20 : 0x1F) : 0x7E));
            i += 2;
            continue;
        }
        out += static_cast<char>(c);
        ++i;
    }
    return out;
}

TEST(JapaneseCode, JisToSjisAgreesWithTheByteByByteReference) {
    static const char* const kUnits[] = {"\x1B$B",   "\x1B$@",   "\x1B(B", "\x1B(J", "\x1B$",
                                         "\x1B(",    "\x1B",     "\n",     "\r\n",   " ",
                                         "\x30\x21", "\x7E\x7E", "\x21",   "A",      "\xB0\xA1"};
    std::mt19937 rng(3);
    for (int round = 0; round < 20000; ++round) {
        std::string jis;
        for (int u = static_cast<int>(rng() % 20); u > 0; --u) {
            jis += kUnits[rng() % std::size(kUnits)];
        }
        ASSERT_EQ(JisToSjis(jis), ReferenceJisToSjis(jis)) << ::testing::PrintToString(jis);
    }
}

TEST(JapaneseCode, SjisToJisClosesTwoByteModeAndWidensKatakana) {
    // Text ending inside two-byte mode closes with ESC ( B.
    EXPECT_EQ(SjisToJis("ab\x88\x9F", true), "ab\x1B$B\x30\x21\x1B(B");
    // Half-width katakana "ｶﾞ" become the full-width "カ" and "゛".
    EXPECT_EQ(SjisToJis("\xB6\xDE", true), "\x1B$B\x25\x2B\x21\x2B\x1B(B");
    EXPECT_EQ(WidenHalfWidthKatakana(0xB1), "\x83\x41");  // ｱ -> ア
    EXPECT_EQ(WidenHalfWidthKatakana(0x41), "");
    // Off a Japanese system 0x81-0x9F and 0xA1-0xDF are ordinary bytes.
    EXPECT_EQ(SjisToJis("\x88\x9F\xB6", false), "\x88\x9F\xB6");
    EXPECT_EQ(SjisToJis("\xE0\x40", false), "\x1B$B\x5F\x21\x1B(B");
    // A lead byte without a usable trail byte is copied inside two-byte mode.
    EXPECT_EQ(SjisToJis("\x88", true), "\x1B$B\x88\x1B(B");
}

TEST(JapaneseCode, EucErrorsLeaveTheLineAndCount) {
    int errors = 0;
    EXPECT_EQ(EucToSjisLine("ok \x8E\xB1 \x8F\xB0\xA1 \xB0\xA1", errors),
              "ok \xB1 \x81\x48 \x88\x9F");
    EXPECT_EQ(errors, 0);
    // A truncated pair, a pair outside JIS X 0208, a bad half-width byte.
    for (std::string bad : {"x\xB0", "\xA9\xA1", "\x8E\x41", "\x8F\xB0"}) {
        errors = 0;
        EXPECT_EQ(EucToSjisLine(bad, errors), bad);
        EXPECT_EQ(errors, 1);
    }
    // The counter is shared: it keeps adding up.
    errors = 5;
    SjisToEucLine("\x80", errors);
    SjisToEucLine("\x88", errors);
    SjisToEucLine("\xF0\x40", errors);  // user-defined area: no JIS X 0208 code
    EXPECT_EQ(errors, 8);
    errors = 0;
    EXPECT_EQ(SjisToEucLine("\xB1"
                            "a",
                            errors),
              "\x8E\xB1"
              "a");
    EXPECT_EQ(errors, 0);
}

}  // namespace
}  // namespace corvina
