#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/CodePage.h"
#include "common/UnicodeTables.h"

namespace corvina {
namespace {

const CodePage& Sjis() {
    return CodePage::Get(932);
}
const CodePage& Utf8() {
    return CodePage::Get(65001);
}
const CodePage& Latin() {
    return CodePage::Get(1252);
}

int Len(const CodePage& page, std::string_view s) {
    return page.CharLength(s.data(), s.data() + s.size());
}
int Cols(const CodePage& page, std::string_view s) {
    return page.Columns(s.data(), s.data() + s.size());
}
CharClass Class(const CodePage& page, std::string_view s) {
    return page.ClassOf(s.data(), s.data() + s.size());
}

TEST(CodePageBytes, LeadAndTrailBytes) {
    EXPECT_TRUE(Sjis().IsLeadByte(0x81));
    EXPECT_TRUE(Sjis().IsLeadByte(0x9F));
    EXPECT_TRUE(Sjis().IsLeadByte(0xE0));
    EXPECT_TRUE(Sjis().IsLeadByte(0xFC));
    EXPECT_FALSE(Sjis().IsLeadByte(0xA0));
    EXPECT_FALSE(Sjis().IsLeadByte(0xDF));  // half-width katakana
    EXPECT_FALSE(Sjis().IsLeadByte(0xFD));
    EXPECT_FALSE(Sjis().IsLeadByte('A'));
    EXPECT_TRUE(Sjis().IsTrailByte(0x40));
    EXPECT_FALSE(Sjis().IsTrailByte(0x7F));
    EXPECT_TRUE(Sjis().IsTrailByte(0xFC));
    EXPECT_FALSE(Sjis().IsTrailByte(0x3F));
    EXPECT_FALSE(Latin().IsLeadByte(0x81));
    EXPECT_TRUE(Utf8().IsLeadByte(0xE3));
    EXPECT_FALSE(Utf8().IsLeadByte(0xC0));  // never valid
}

TEST(CodePageBytes, CharacterLengthsNeverPassTheEnd) {
    EXPECT_EQ(Len(Sjis(), "\x82\xA0"), 2);
    EXPECT_EQ(Len(Sjis(), "\x82"), 1) << "lead byte at the end";
    EXPECT_EQ(Len(Sjis(), "\x82\x7F"), 1) << "no trail byte";
    EXPECT_EQ(Len(Sjis(), "\xB1"), 1);
    EXPECT_EQ(Len(Sjis(), ""), 0);
    EXPECT_EQ(Len(Utf8(), "a"), 1);
    EXPECT_EQ(Len(Utf8(), "\xC3\xA9"), 2);
    EXPECT_EQ(Len(Utf8(), "\xE3\x81\x82"), 3);
    EXPECT_EQ(Len(Utf8(), "\xF0\x9F\x98\x80"), 4);
    EXPECT_EQ(Len(Utf8(), "\xF0\x9F\x98"), 1) << "cut short";
    EXPECT_EQ(Len(Utf8(), "\xE3\x81"), 1);
    EXPECT_EQ(Len(Utf8(), "\xC0\xAF"), 1) << "overlong";
    EXPECT_EQ(Len(Utf8(), "\xED\xA0\x80"), 1) << "surrogate";
    EXPECT_EQ(Len(Utf8(), "\xF4\x90\x80\x80"), 1) << "beyond U+10FFFF";
    EXPECT_EQ(Len(Utf8(), "\x80"), 1);
    EXPECT_EQ(Len(Latin(), "\xE9\xE9"), 1);

    // Stepping back finds character starts, also after a trail byte that
    // looks like ASCII.
    const std::string_view sjis =
        "a\x83\x5C"
        "b";  // katakana "so" has trail '\'
    EXPECT_EQ(Sjis().PrevCharStart(sjis, 4), 3u);
    EXPECT_EQ(Sjis().PrevCharStart(sjis, 3), 1u);
    EXPECT_EQ(Sjis().PrevCharStart(sjis, 1), 0u);
    const std::string_view utf = "x\xE3\x81\x82\xC3\xA9";
    EXPECT_EQ(Utf8().PrevCharStart(utf, 6), 4u);
    EXPECT_EQ(Utf8().PrevCharStart(utf, 4), 1u);
    EXPECT_EQ(Utf8().PrevCharStart("\x80\x80", 2), 1u) << "stray trail bytes step one";
}

TEST(CodePageColumns, WidthsOfCjkEmojiAndCombiningMarks) {
    EXPECT_EQ(Cols(Sjis(), "\x88\x9F"), 2);          // kanji
    EXPECT_EQ(Cols(Sjis(), "\xB1"), 1);              // half-width katakana
    EXPECT_EQ(Cols(Sjis(), "\x82\x60"), 2);          // full-width latin A
    EXPECT_EQ(Cols(Utf8(), "\xE6\xBC\xA2"), 2);      // U+6F22 kanji
    EXPECT_EQ(Cols(Utf8(), "\xEF\xBD\xB1"), 1);      // U+FF71 half-width katakana
    EXPECT_EQ(Cols(Utf8(), "\xEF\xBC\xA1"), 2);      // U+FF21 full-width A
    EXPECT_EQ(Cols(Utf8(), "\xF0\x9F\x98\x80"), 2);  // U+1F600 emoji
    EXPECT_EQ(Cols(Utf8(), "\xEA\xB0\x80"), 2);      // U+AC00 hangul
    EXPECT_EQ(Cols(Utf8(), "\xC3\xA9"), 1);
    EXPECT_EQ(Cols(Utf8(), "\xCC\x81"), 0);      // U+0301 combining acute
    EXPECT_EQ(Cols(Utf8(), "\xE2\x80\x8B"), 0);  // U+200B zero width space
    EXPECT_EQ(Cols(Utf8(), "\xFF"), 1) << "an invalid byte shows as one column";
    EXPECT_EQ(Utf8().TextColumns("e\xCC\x81"
                                 "\xE6\xBC\xA2x"),
              4);
    EXPECT_EQ(Sjis().TextColumns("ab\x88\x9F\xB1"), 5);
    EXPECT_EQ(Latin().TextColumns("caf\xE9"), 4);
}

// The table of the Basic Multilingual Plane's columns gives what the
// range tables say, for every character.
TEST(CodePageColumns, TableAgreesWithTheRanges) {
    for (char32_t cp = 0; cp < 0x110000; ++cp) {
        const int expected = unicode::IsZeroWidth(cp) ? 0 : unicode::IsWide(cp) ? 2 : 1;
        if (unicode::Columns(cp) != expected) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(cp);
            break;
        }
    }
}

TEST(CodePageClasses, WordClassesForMovement) {
    EXPECT_EQ(Class(Latin(), "a"), CharClass::Word);
    EXPECT_EQ(Class(Latin(), "_"), CharClass::Word);
    EXPECT_EQ(Class(Latin(), " "), CharClass::Space);
    EXPECT_EQ(Class(Latin(), ","), CharClass::Punct);
    EXPECT_EQ(Class(Latin(), "\x01"), CharClass::Control);
    EXPECT_EQ(Class(Latin(), "\xE9"), CharClass::Word);   // e acute
    EXPECT_EQ(Class(Latin(), "\x93"), CharClass::Punct);  // left double quote
    EXPECT_EQ(Class(Latin(), "\xA0"), CharClass::Space);
    EXPECT_EQ(Class(Sjis(), "\x82\xA0"), CharClass::Hiragana);
    EXPECT_EQ(Class(Sjis(), "\x83\x41"), CharClass::Katakana);
    EXPECT_EQ(Class(Sjis(), "\x81\x5B"), CharClass::Katakana);  // prolonged sound mark
    EXPECT_EQ(Class(Sjis(), "\xB1"), CharClass::Katakana);
    EXPECT_EQ(Class(Sjis(), "\x88\x9F"), CharClass::Ideograph);
    EXPECT_EQ(Class(Sjis(), "\x81\x40"), CharClass::Space);       // ideographic space
    EXPECT_EQ(Class(Sjis(), "\x81\x42"), CharClass::WideSymbol);  // ideographic full stop
    EXPECT_EQ(Class(Sjis(), "\x82\x60"), CharClass::Word);
    EXPECT_EQ(Class(Utf8(), "\xE3\x81\x82"), CharClass::Hiragana);
    EXPECT_EQ(Class(Utf8(), "\xE6\xBC\xA2"), CharClass::Ideograph);
    EXPECT_EQ(Class(Utf8(), "\xD0\x96"), CharClass::Word);  // Cyrillic
    EXPECT_EQ(Class(Utf8(), "\xF0\x9F\x98\x80"), CharClass::WideSymbol);
    EXPECT_EQ(Class(Utf8(), "\xE2\x80\x94"), CharClass::Punct);  // em dash
}

TEST(CodePageCase, FoldingLeavesTrailBytesAlone) {
    // 0x83 0x41 is katakana "a": its trail byte is 'A' and must stay.
    std::string text = "AbC\x83\x41Z";
    Sjis().ToLowerAscii(text);
    EXPECT_EQ(text, "abc\x83\x41z");
    Sjis().ToUpperAscii(text);
    EXPECT_EQ(text, "ABC\x83\x41Z");
    EXPECT_TRUE(Sjis().EqualNoCase("x\x83\x41", "X\x83\x41"));
    EXPECT_FALSE(Sjis().EqualNoCase("\x83\x41", "\x83\x61"));
    // "a" must not be found inside the double-byte character.
    EXPECT_EQ(Sjis().FindNoCase("\x83\x61"
                                "A",
                                "a"),
              2u);
    EXPECT_EQ(Sjis().FindNoCase("\x83\x61", "a"), std::string_view::npos);
    EXPECT_EQ(Latin().FindNoCase("Hello World", "WORLD"), 6u);
    EXPECT_EQ(Latin().FindNoCase("abc", "c", 3), std::string_view::npos);
    EXPECT_EQ(Latin().FindNoCase("abc", "", 1), 1u);
}

TEST(CodePageNames, MimeAndIconvNames) {
    EXPECT_STREQ(Sjis().MimeCharsetName(), "Shift_JIS");
    EXPECT_STREQ(Sjis().TransferCharsetName(), "ISO-2022-JP");
    EXPECT_STREQ(Utf8().MimeCharsetName(), "UTF-8");
    EXPECT_STREQ(Latin().MimeCharsetName(), "windows-1252");
    EXPECT_STREQ(Latin().TransferCharsetName(), "windows-1252");
    EXPECT_STREQ(CodePage::Get(1251).MimeCharsetName(), "windows-1251");
    EXPECT_EQ(CodePage::Get(4242).Id(), 1252) << "unsupported ids fall back";
    EXPECT_TRUE(Sjis().IsCharsetOfW("x-sjis"));
    EXPECT_TRUE(Sjis().IsCharsetOfW("SHIFT-JIS"));
    EXPECT_TRUE(Sjis().IsCharsetOfW("cp932"));
    EXPECT_FALSE(Sjis().IsCharsetOfW("euc-jp"));
    EXPECT_TRUE(Utf8().IsCharsetOfW("utf8"));
    EXPECT_TRUE(Latin().IsCharsetOfW("Windows-1252"));
    EXPECT_EQ(CodePage::IconvCharsetName("no-such-charset"), "");
    EXPECT_EQ(CodePage::IconvCharsetName("UTF-8//TRANSLIT"), "") << "no iconv modes";
    EXPECT_EQ(CodePage::IconvCharsetName("\"koi8-r\""), "KOI8-R");
}

TEST(CodePageConvert, ToAndFromUtf8) {
    EXPECT_EQ(Sjis().ToUtf8("a\x82\xA0\xB1"), "a\xE3\x81\x82\xEF\xBD\xB1");
    EXPECT_EQ(Sjis().FromUtf8("a\xE3\x81\x82\xEF\xBD\xB1"), "a\x82\xA0\xB1");
    EXPECT_EQ(Sjis().FromUtf8("\xC3\xA9"), "?") << "no e acute in Shift_JIS";
    EXPECT_EQ(Latin().ToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(Latin().FromUtf8("caf\xC3\xA9 \xE2\x82\xAC \xE3\x81\x82"), "caf\xE9 \x80 ?");
    EXPECT_EQ(Latin().FromUtf8("\xFF"
                               "a"),
              "?a")
        << "invalid UTF-8";
    // 0x81 is undefined in 1252; it keeps its value both ways.
    EXPECT_EQ(Latin().FromUtf8(Latin().ToUtf8("\x81")), "\x81");
    EXPECT_EQ(Utf8().ToUtf8("ok\xC3\xA9\xFF"), "ok\xC3\xA9?");
    EXPECT_EQ(CodePage::Get(1251).ToUtf8("\xC0"), "\xD0\x90");  // Cyrillic A
    EXPECT_EQ(Sjis().ToUtf8("\x82"), "?") << "lone lead byte";
}

TEST(CodePageConvert, FromMimeCharsets) {
    // ISO-2022-JP "a" + hiragana a, EUC-JP hiragana a, into Shift_JIS.
    EXPECT_EQ(Sjis().FromCharset("ISO-2022-JP", "a\x1B$B$\"\x1B(B"), "a\x82\xA0");
    // Mailers put the NEC row (circled digits) and half-width kana into
    // ISO-2022-JP; they arrive intact.
    EXPECT_EQ(Utf8().FromCharset("iso-2022-jp", "\x1B$B-!\x1B(B1"),
              "\xE2\x91\xA0"
              "1");
    EXPECT_EQ(Sjis().FromCharset("iso-2022-jp", "\x1B$B-!\x1B(B"), "\x87\x40");
    EXPECT_EQ(Sjis().FromCharset("iso-2022-jp",
                                 "\x1B(I1\x1B(B\x0E"
                                 "2\x0F"
                                 "3"),
              "\xB1\xB2"
              "3");
    EXPECT_EQ(Utf8().FromCharset("iso-2022-jp", "\x1B$B$\"\na"), "\xE3\x81\x82\na")
        << "a line end returns to ASCII";
    EXPECT_EQ(Utf8().FromCharset("iso-2022-jp", "\x1B$B$"), "?") << "half a character";
    EXPECT_EQ(Utf8().FromCharset("iso-2022-jp", "\x1B$(D0!\x1B(B"), "?");
    EXPECT_EQ(Sjis().FromCharset("EUC-JP", "\xA4\xA2"), "\x82\xA0");
    EXPECT_EQ(Sjis().FromCharset("utf-8", "\xE3\x81\x82"), "\x82\xA0");
    EXPECT_EQ(Sjis().FromCharset("x-sjis", "\x82\xA0"), "\x82\xA0");
    EXPECT_EQ(Utf8().FromCharset("Shift_JIS", "\x82\xA0"), "\xE3\x81\x82");
    EXPECT_EQ(Utf8().FromCharset("latin1", "\xE9"), "\xC3\xA9");
    EXPECT_EQ(Utf8().FromCharset("iso-8859-1", "\x93q\x94"), "\xE2\x80\x9Cq\xE2\x80\x9D")
        << "Latin-1 labels read as windows-1252";
    EXPECT_EQ(Latin().FromCharset("UTF-8", "\xC5\x93 \xE6\xBC\xA2"), "\x9C ?");
    EXPECT_EQ(Latin().FromCharset("iso-8859-2", "\xB9"), "\x9A");  // s caron
    EXPECT_EQ(Utf8().FromCharset("koi8-r", "\xE1"), "\xD0\x90");
    // Unknown, missing and ASCII labels keep every byte.
    EXPECT_EQ(Utf8().FromCharset("x-unknown", "\xE9\x82"), "\xE9\x82");
    EXPECT_EQ(Utf8().FromCharset("", "\xE9"), "\xE9");
    EXPECT_EQ(Latin().FromCharset("US-ASCII", "a\xE9"), "a\xE9");
    // Invalid input in a known charset becomes "?", once per bad byte.
    EXPECT_EQ(Latin().FromCharset("utf-8",
                                  "a\xFF"
                                  "b"),
              "a?b");
    EXPECT_EQ(Latin().FromCharset("EUC-JP", "\xA4"), "?") << "cut short";
    EXPECT_EQ(Utf8().FromCharset("iso-2022-jp", std::string()), "");
}

// Random ISO-2022-JP-like text over the units that change the decoder's
// state: every escape it knows (whole and cut at the end), SO/SI, line
// ends, graphic bytes, and now and then a stray 8-bit byte.
std::string RandomJis(std::mt19937& rng) {
    static const char* const kUnits[] = {
        "\x1B$B",   "\x1B$@",   "\x1B(B",   "\x1B(J",   "\x1B(I",   "\x1B$(D", "\x1B$(Q", "\x1B$",
        "\x1B(",    "\x1B",     "\x0E",     "\x0F",     "\r",       "\n",      " ",       "\x7F",
        "\x30\x21", "\x24\x22", "\x2D\x21", "\x74\x26", "\x7E\x7E", "\x21",    "A",       "\x5F"};
    std::string text;
    const int units = static_cast<int>(rng() % 24);
    for (int i = 0; i < units; ++i) {
        text += rng() % 50 == 0 ? std::string(1, static_cast<char>(0x80 + rng() % 0x80))
                                : std::string(kUnits[rng() % std::size(kUnits)]);
    }
    return text;
}

// The one-pass ISO-2022-JP to UTF-8 conversion gives exactly what the
// route through Windows Shift_JIS gives: every JIS X 0208 cell, full
// rows, and random text with escapes cut anywhere.
TEST(CodePageConvert, IsoJpToUtf8AgreesWithTheShiftJisRoute) {
    auto viaSjis = [](const std::string& jis) {
        return Sjis().ToUtf8(Sjis().FromCharset("ISO-2022-JP", jis));
    };
    for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
        std::string row = "\x1B$B";
        for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
            const std::string pair{static_cast<char>(j1), static_cast<char>(j2)};
            row += pair;
            const std::string one = "a\x1B$B" + pair + "\x1B(Bz";
            ASSERT_EQ(Utf8().FromCharset("ISO-2022-JP", one), viaSjis(one)) << j1 << " " << j2;
        }
        row += "\x1B(I\x21\x5F\x1B(B\n";
        ASSERT_EQ(Utf8().FromCharset("ISO-2022-JP", row), viaSjis(row)) << j1;
    }
    std::mt19937 rng(11);
    for (int round = 0; round < 20000; ++round) {
        const std::string jis = RandomJis(rng);
        ASSERT_EQ(Utf8().FromCharset("iso-2022-jp", jis), viaSjis(jis))
            << ::testing::PrintToString(jis);
    }
    EXPECT_EQ(Utf8().FromCharset("ISO-2022-JP", "\x1B$B\x30\x21\x1B(B \x0E\x31\x0F"),
              "\xE4\xBA\x9C \xEF\xBD\xB1");
}

// Shift_JIS and EUC-JP into UTF-8 through our tables give what iconv gives
// (CodePage::Convert goes through iconv): every sequence of one and two
// bytes, every three-byte EUC-JP sequence, and random text with sequences
// cut short at the end.
TEST(CodePageConvert, JapaneseCharsetsToUtf8AgreeWithIconv) {
    std::mt19937 rng(17);
    for (const char* charset : {"Shift_JIS", "EUC-JP"}) {
        auto check = [&](const std::string& text) {
            std::string expected;
            ASSERT_TRUE(CodePage::Convert(charset, "UTF-8", text, expected));
            ASSERT_EQ(Utf8().FromCharset(charset, text), expected)
                << charset << " " << ::testing::PrintToString(text);
        };
        for (int a = 0x80; a <= 0xFF; ++a) {
            for (int b = 0; b <= 0xFF; ++b) {
                check(std::string{static_cast<char>(a), static_cast<char>(b), 'z'});
                if (a == 0x8F && b >= 0xA0) {
                    for (int c = 0; c <= 0xFF; ++c) {
                        check(std::string{static_cast<char>(a), static_cast<char>(b),
                                          static_cast<char>(c), 'z'});
                    }
                }
            }
        }
        for (int round = 0; round < 3000; ++round) {
            std::string text(rng() % 12, '\0');
            for (char& c : text) {
                c = static_cast<char>(rng() % 3 == 0 ? 0x20 + rng() % 0x60 : 0x80 + rng() % 0x80);
            }
            check(text);
        }
    }
}

TEST(CodePageConvert, ToMimeCharsets) {
    EXPECT_EQ(Sjis().ToCharset("ISO-2022-JP", "a\x82\xA0"), "a\x1B$B$\"\x1B(B");
    EXPECT_EQ(Utf8().ToCharset("ISO-2022-JP", "\xE3\x81\x82\xC3\xA9"), "\x1B$B$\"\x1B(B?");
    EXPECT_EQ(Latin().ToCharset("utf-8", "\xE9"), "\xC3\xA9");
    EXPECT_EQ(Utf8().ToCharset("windows-1252", "\xE2\x82\xAC\xE6\xBC\xA2"), "\x80?");
    EXPECT_EQ(Utf8().ToCharset("x-unknown", "\xE2\x82\xAC"), "\xE2\x82\xAC");
    std::string out;
    EXPECT_FALSE(CodePage::Convert("bogus", "UTF-8", "x", out));
    ASSERT_TRUE(CodePage::Convert("EUC-JP", "Shift_JIS", "\xA4\xA2", out));
    EXPECT_EQ(out, "\x82\xA0");
}

TEST(CodePageConvert, ThreadsConvertAtTheSameTime) {
    // Each thread has its own converters; results must not mix.
    std::vector<std::thread> threads;
    std::vector<int> good(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &good] {
            for (int i = 0; i < 300; ++i) {
                const bool ok = t % 2 == 0 ? Sjis().FromCharset("euc-jp", "\xA4\xA2") == "\x82\xA0"
                                           : Utf8().FromCharset("koi8-r", "\xE1") == "\xD0\x90";
                good[static_cast<std::size_t>(t)] += ok ? 1 : 0;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(good, (std::vector<int>{300, 300, 300, 300}));
}

TEST(CodePageWorking, SetWorkingOverridesTheSystemPage) {
    const int saved = CodePage::Working().Id();
    CodePage::SetWorking(932);
    EXPECT_EQ(CodePage::Working().Id(), 932);
    CodePage::SetWorking(0);
    EXPECT_EQ(CodePage::Working().Id(), CodePage::SystemCodePage());
    CodePage::SetWorking(12345);
    EXPECT_EQ(CodePage::Working().Id(), CodePage::SystemCodePage());
    CodePage::SetWorking(saved);
}

TEST(CodePageWorking, SystemPageFollowsTheLocaleCodeset) {
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old ? old : "";
    setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(CodePage::SystemCodePage(), 65001);
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(CodePage::SystemCodePage(), 1252);
    if (old) {
        setenv("LC_ALL", saved.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}

}  // namespace
}  // namespace corvina
