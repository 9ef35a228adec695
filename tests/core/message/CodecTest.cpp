#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "common/Bytes.h"
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

TEST(QuotedPrintable, SoftBreaksAndUpperCaseHex) {
    std::string encoded = QpEncodeLine(std::string(80, 'a'));
    EXPECT_EQ(encoded, std::string(75, 'a') + "=\r\n" + std::string(5, 'a'));
    // RFC 2045: the hexadecimal digits are upper case.
    EXPECT_EQ(QpEncodeLine("a=b\xE9\xC3\xA9\x7F\xFF"), "a=3Db=E9=C3=A9\x7F=FF");
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
    // The cut line keeps its end, so it does not run into the next line.
    EXPECT_EQ(lines[0].back(), '\n');
    EXPECT_EQ(lines[1], "next\n");
    EXPECT_EQ(QpDecodeBody(text), lines[0] + lines[1]);
}

// The decoder as it read one line at a time, kept as the reference for the
// whole-text decoders.
QpDecodedLine ReferenceDecodeLine(std::string_view line) {
    QpDecodedLine r;
    std::size_t end = std::min(line.find('\n'), line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (i >= end || line[i] != '=') {
            r.bytes += line[i];
            continue;
        }
        bool soft = true;
        for (std::size_t k = i + 1; k < end && end - i > 2; ++k) {
            soft = soft && (line[k] == ' ' || line[k] == '\t' || line[k] == '\r');
        }
        if (soft) {
            r.softBreak = true;
            return r;
        }
        const int hi = HexDigitValue(line[i + 1]), lo = HexDigitValue(line[i + 2]);
        if (hi >= 0 && lo >= 0) {
            r.bytes += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            r.bytes += '=';
        }
    }
    return r;
}

// Whole texts decode as their lines decoded one by one and joined over soft
// breaks: a soft break, a bad escape and every line end form at every
// position of a line, and random texts over the bytes that matter.
TEST(QuotedPrintable, WholeTextDecodersAgreeWithLineByLine) {
    std::vector<std::string> texts;
    const char* const kPieces[] = {"=",   "=\n", "=\r\n", "= \t\n", "=3D", "=e9",  "=E",
                                   "=G1", "\r",  "\r\n",  "\n",     "=\r", "= x\n"};
    for (const char* piece : kPieces) {
        for (std::size_t at = 0; at <= 12; ++at) {
            std::string line = "abcdefghijkl";
            line.insert(at, piece);
            texts.push_back(line + "\n" + line + "\r\n" + line);
        }
    }
    std::mt19937 rng(5);
    const std::string kAlphabet = "=\n\r \t3DdEeg0a\xE9";
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 40, ' ');
        for (char& c : text) {
            c = kAlphabet[rng() % kAlphabet.size()];
        }
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        std::vector<std::string> expected;
        std::string logical;
        bool joining = false;
        for (std::size_t pos = 0; pos < text.size();) {
            const std::size_t next = std::min(text.find('\n', pos), text.size() - 1) + 1;
            const std::string_view piece = std::string_view(text).substr(pos, next - pos);
            QpDecodedLine d = ReferenceDecodeLine(piece);
            QpDecodedLine fast = QpDecodeLine(piece);
            ASSERT_EQ(fast.bytes, d.bytes) << text;
            ASSERT_EQ(fast.softBreak, d.softBreak) << text;
            logical += d.bytes;
            joining = d.softBreak;
            if (!joining) {
                expected.push_back(std::move(logical));
                logical.clear();
            }
            pos = next;
        }
        if (joining) {
            expected.push_back(logical);
        }
        ASSERT_EQ(QpDecodeText(text), expected) << text;
        std::string joined;
        for (const std::string& l : expected) {
            joined += l;
        }
        ASSERT_EQ(QpDecodeBody(text), joined) << text;
    }
}

}  // namespace
}  // namespace corvina
