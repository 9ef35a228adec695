#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "message/Base64.h"
#include "message/QuotedPrintable.h"

namespace corvina {
namespace {

std::string RandomBytes(std::mt19937& rng, std::size_t n) {
    std::string s(n, '\0');
    for (auto& c : s) {
        c = static_cast<char>(rng() & 0xFF);
    }
    return s;
}

TEST(Base64, EncodesWithPadding) {
    EXPECT_EQ(Base64EncodeText(""), "");
    EXPECT_EQ(Base64EncodeText("f"), "Zg==");
    EXPECT_EQ(Base64EncodeText("fo"), "Zm8=");
    EXPECT_EQ(Base64EncodeText("foo"), "Zm9v");
    EXPECT_EQ(Base64EncodeText(std::string("\0\xFF\xFE", 3)), "AP/+");
}

TEST(Base64, DecodeGroupsAndFailures) {
    EXPECT_EQ(Base64DecodeText("Zg=="), "f");  // two padding characters: one byte
    EXPECT_EQ(Base64DecodeText("Zm8="), "fo");
    EXPECT_EQ(Base64DecodeText("Zg==Zm9v"), "ffoo");  // decoding goes on after a padded group
    EXPECT_EQ(Base64DecodeText(""), "");
    EXPECT_EQ(Base64DecodeText("Zm9vYmF"), std::nullopt);  // trailing group of three
    EXPECT_EQ(Base64DecodeText("Z==="), std::nullopt);     // padding in the second place
    EXPECT_EQ(Base64DecodeText("=Zm9"), std::nullopt);
    // Characters outside the alphabet are skipped, in words as in bodies.
    EXPECT_EQ(Base64DecodeText("Zm9v\r\n"), "foo");
    EXPECT_EQ(Base64DecodeText("Zm 9v\tYm*Fy"), "foobar");
}

TEST(Base64, RoundTripsRandomBytes) {
    std::mt19937 rng(17);
    for (std::size_t n = 0; n < 300; ++n) {
        std::string bytes = RandomBytes(rng, n);
        ASSERT_EQ(Base64DecodeText(Base64EncodeText(bytes)), bytes);
    }
}

TEST(Base64, BodiesSkipEverythingOutsideTheAlphabet) {
    // Groups split over lines, blanks and tabs inside lines, CR LF ends.
    Base64Decoded d = Base64DecodeBody("Zm9vY\r\nmFy\nZm 9v\t\n  Ym Fy  \r\n");
    EXPECT_TRUE(d.complete);
    EXPECT_EQ(d.bytes, "foobarfoobar");
    // A line beginning with "-" (a boundary, a trailer) ends the data.
    d = Base64DecodeBody("Zm9v\nYmFy\n--boundary\nZm9v\n");
    EXPECT_TRUE(d.complete);
    EXPECT_EQ(d.bytes, "foobar");
    EXPECT_EQ(Base64DecodeBody("-- \nZm9v\n").bytes, "");
    // Padded groups end a run; decoding goes on after them.
    EXPECT_EQ(Base64DecodeBody("Zg==\nZm8=\nZm9v\n").bytes, "ffofoo");
}

TEST(Base64, ABodyCutShortKeepsWhatDecodesAndSaysSo) {
    Base64Decoded d = Base64DecodeBody("Zm9vYmF");  // ends inside a group
    EXPECT_FALSE(d.complete);
    EXPECT_EQ(d.bytes, "fooba");
    d = Base64DecodeBody("Zm9vY");
    EXPECT_FALSE(d.complete);
    EXPECT_EQ(d.bytes, "foo");
    d = Base64DecodeBody("Zm9v\nZ===\n");  // padding in the second place
    EXPECT_FALSE(d.complete);
    EXPECT_EQ(d.bytes, "foo");
}

TEST(Base64, EncodeFileWritesLinesOf76) {
    test::ScratchDir dir;
    std::mt19937 rng(3);
    std::string bytes = RandomBytes(rng, 57 * 3 + 10);
    test::WriteFileBytes(dir / "f.bin", bytes);
    std::vector<std::string> lines;
    ASSERT_TRUE(Base64EncodeFile(dir / "f.bin", [&](std::string_view line) {
        lines.emplace_back(line);
        return true;
    }));
    ASSERT_EQ(lines.size(), 4u);
    std::string joined;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i].size(), 76u);
    }
    EXPECT_EQ(lines[3].size(), 16u);
    for (const auto& l : lines) {
        joined += l;
    }
    EXPECT_EQ(Base64DecodeText(joined), bytes);
    EXPECT_FALSE(Base64EncodeFile(dir / "missing", [](std::string_view) { return true; }));
    EXPECT_FALSE(Base64EncodeFile(dir / "f.bin", [](std::string_view) { return false; }));
}

TEST(QuotedPrintable, SoftBreaksAndLowerCaseHex) {
    std::string encoded = QpEncodeLine(std::string(80, 'a'));
    EXPECT_EQ(encoded, std::string(75, 'a') + "=\r\n" + std::string(5, 'a'));
    EXPECT_EQ(QpEncodeLine("a=b\xE9"), "a=3db=e9");
    EXPECT_EQ(QpEncodeLine("tab\there \x01"), "tab\there =01");
    // Encoded triples break earlier so that no line passes 76 characters.
    std::string e9 = QpEncodeLine(std::string(30, '\xE9'));
    std::size_t start = 0;
    while (start < e9.size()) {
        std::size_t crlf = e9.find("\r\n", start);
        std::size_t end = crlf == std::string::npos ? e9.size() : crlf;
        EXPECT_LE(end - start, 76u);
        start = crlf == std::string::npos ? e9.size() : crlf + 2;
    }
}

TEST(QuotedPrintable, DecodeLine) {
    QpDecodedLine d = QpDecodeLine("a=3Db=e9\n");
    EXPECT_EQ(d.bytes, "a=b\xE9\n");
    EXPECT_FALSE(d.softBreak);
    d = QpDecodeLine("abc=\n");
    EXPECT_EQ(d.bytes, "abc");
    EXPECT_TRUE(d.softBreak);
    d = QpDecodeLine("abc=\r\n");  // "=" next-to-last before the LF
    EXPECT_EQ(d.bytes, "abc");
    EXPECT_TRUE(d.softBreak);
    d = QpDecodeLine("abc=  \n");  // padding blanks after the soft break
    EXPECT_TRUE(d.softBreak);
    d = QpDecodeLine("x=zz y\n");  // not hex: the "=" stays
    EXPECT_EQ(d.bytes, "x=zz y\n");
    EXPECT_FALSE(d.softBreak);
}

// Random lines survive QpEncodeLine and decoding of its output lines.
TEST(QuotedPrintable, RoundTripsRandomBytes) {
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        std::string line = RandomBytes(rng, rng() % 300);
        std::erase(line, '\n');
        std::string encoded = QpEncodeLine(line);
        std::vector<std::string> decoded = QpDecodeText(encoded + "\n");
        ASSERT_EQ(decoded.size(), 1u);
        ASSERT_EQ(decoded[0], line + "\n");
    }
}

TEST(QuotedPrintable, LogicalLinesAreCapped) {
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += std::string(70, 'x') + "=\n";
    }
    text += "end\nnext\n";
    std::vector<std::string> lines = QpDecodeText(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), kQpMaxLogicalLine);
    EXPECT_EQ(lines[1], "next\n");
}

}  // namespace
}  // namespace corvina
