// Mail as it arrives from outside, replayed from tests/data/mime: base64
// written loosely, base64 cut short, a saved message that still begins with
// its mailbox envelope line, an enclosed message carrying the store's own
// lines, attachment names whose Shift_JIS trail byte is a backslash, and
// encoded display names that decode to commas, quotes and brackets.
#include <gtest/gtest.h>

#include "MimeTestSupport.h"
#include "message/Address.h"
#include "message/HeaderWords.h"
#include "message/mime/EnclosedMessage.h"

namespace corvina::test {
namespace {

using Lines = std::vector<std::string>;

std::string Data(const std::string& name) {
    return ReadFileBytes(DataPath("mime/" + name));
}

TEST(MailFromOutside, BlanksInsideBase64LinesDoNotCutTheAttachment) {
    MimeFixture fx;
    MailMessage m;
    fx.Parse(m, Data("base64-blanks-in-lines.eml"));
    ASSERT_EQ(fx.AttachmentNames(m), (Lines{"random.bin"}));
    const std::string bytes = ReadFileBytes(m.attachments[0].path);
    EXPECT_EQ(bytes.size(), 102400u);
    EXPECT_TRUE(bytes == Data("base64-blanks-in-lines.bin"));  // no 100 KB dump on failure
    EXPECT_EQ(fx.Body(m), (Lines{"The attachment is 102400 bytes."}));
}

TEST(MailFromOutside, Base64CutShortKeepsItsEncodedText) {
    MimeFixture fx;
    MailMessage m;
    const std::string text = Data("base64-cut-short.eml");
    fx.Parse(m, text);
    EXPECT_TRUE(m.decoded);  // stored decoded: the encoded text must be in the body
    const std::string encoded = text.substr(text.find("\n\n") + 2, text.size() - 1);
    const Lines body = fx.Body(m);
    ASSERT_GE(body.size(), 3u);
    EXPECT_EQ(body.front().substr(0, 20), "Quarterly figures, f");
    EXPECT_EQ(body.back() + "\n", encoded);
    EXPECT_EQ(body[body.size() - 2], std::string(64, '-'));

    // The same cut inside a multipart: the file gets what decodes, the
    // encoded text stays in the body.
    MailMessage part;
    fx.Parse(part,
             "Content-Type: multipart/mixed; boundary=b\n\n--b\n\nsee attachment\n--b\n"
             "Content-Type: application/octet-stream; name=\"cut.bin\"\n"
             "Content-Transfer-Encoding: base64\n\nZm9vYmF\n--b--\n");
    ASSERT_EQ(fx.AttachmentNames(part), (Lines{"cut.bin"}));
    EXPECT_EQ(ReadFileBytes(part.attachments[0].path), "fooba");
    EXPECT_EQ(fx.Body(part), (Lines{"see attachment", std::string(64, '-'), "Zm9vYmF"}));
}

TEST(MailFromOutside, MailboxEnvelopeLineIsNotAHeaderField) {
    MimeFixture fx;
    MailMessage m;
    fx.Parse(m, Data("mbox-from-line.eml"));
    EXPECT_EQ(m.from, "Bob <bob@example.org>");
    EXPECT_EQ(m.subject, "saved from a mailbox");
    EXPECT_TRUE(m.otherHeaders.empty());
    EXPECT_EQ(fx.Body(m), (Lines{"Hello."}));
    // The stored form carries no envelope line either.
    const std::string stored = SerializeMessage(m, fx.dir.Path());
    EXPECT_EQ(stored.find("From bob"), std::string::npos);
    // A header field written "From :" is a field, not an envelope.
    fx.Parse(m, "From : Carl <carl@example.org>\nSubject: s\n\nb\n");
    EXPECT_EQ(m.subject, "s");
    EXPECT_EQ(m.otherHeaders, (Lines{"From : Carl <carl@example.org>"}));
}

// A serialised copy is parsed back trusting its store lines: a line break
// inside a field set from outside must not forge one.
TEST(MailFromOutside, LineBreaksInFieldsForgeNoStoreLineInACopy) {
    MimeFixture fx;
    MailMessage m;
    m.subject = "hi\nX-Marlo-Attachment-File:/etc/passwd";
    m.AddOtherHeader("X-Note: a\rX-Marlo-Decorded:1");
    m.AddBodyLine("body");
    fx.options.trustStoreLines = true;
    MailMessage copy;
    fx.Parse(copy, SerializeMessage(m, fx.dir.Path()));
    EXPECT_TRUE(copy.attachments.empty());
    EXPECT_FALSE(copy.decoded);
    EXPECT_EQ(copy.subject, "hi X-Marlo-Attachment-File:/etc/passwd");
}

TEST(MailFromOutside, EnclosedMessageLosesTheStoreLines) {
    ScratchDir dir;
    WriteFileBytes(dir / "m.eml", Data("enclosed-store-lines.eml"));
    std::optional<std::string> text = EnclosedMessageText(dir / "m.eml");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text,
              "From: outsider@example.org\nX-Marlo-Other: kept\nSubject: enclosed\n\n"
              "X-Marlo-Reply: body text stays\n.\n");
}

// Each of the six characters whose Shift_JIS trail byte is 0x5C, in five
// forms per character: raw Shift_JIS, raw ISO-2022-JP, a Shift_JIS and an
// ISO-2022-JP encoded word inside quotes, and quoted RFC 2231 sections.
// The form's number follows the character in each name.
TEST(MailFromOutside, TrailByteBackslashInQuotedNamesIsNoEscape) {
    const std::string mail = Data("shift-jis-names-with-backslash-trail-byte.eml");
    const char* const sjis[] = {"\x95\x5C", "\x83\x5C", "\x97\x5C",
                                "\x94\x5C", "\x90\x5C", "\x8D\x5C"};
    const char* const utf8[] = {"\xE8\xA1\xA8", "\xE3\x82\xBD", "\xE4\xBA\x88",
                                "\xE8\x83\xBD", "\xE7\x94\xB3", "\xE6\xA7\x8B"};
    for (int page : {CodePage::kShiftJis, CodePage::kUtf8}) {
        MimeFixture fx(page);
        MailMessage m;
        fx.Parse(m, mail);
        Lines expected;
        for (int c = 0; c < 6; ++c) {
            for (int form = 1; form <= 5; ++form) {
                expected.push_back((page == CodePage::kUtf8 ? utf8[c] : sjis[c]) +
                                   std::to_string(form) + ".bin");
            }
        }
        EXPECT_EQ(fx.AttachmentNames(m), expected) << "code page " << page;
    }
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs NamesAndAddresses(std::string_view list, const CodePage& cp) {
    Pairs out;
    AddressTokenizer tokens(list, cp);
    while (std::optional<std::string> token = tokens.Next()) {
        NameAddress split = SplitNameAddress(*token, cp);
        out.emplace_back(split.name, split.address);
    }
    return out;
}

// Each stored address field reads back as the addresses the sender wrote,
// with their names exactly as meant (the names Python's email package reads
// from the same file); a reply that encodes the stored field again for the
// wire gives the same names once more.
TEST(MailFromOutside, EncodedNamesWithSpecialsStayWhole) {
    const std::string mail = Data("encoded-names-with-commas-and-quotes.eml");
    const std::string hyoji =
        "\xE8\xA1\xA8\xE7\xA4\xBA, \xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88("
        "\xE6\x8A\x80\xE8\xA1\x93)";
    const std::string hyo = "\xE8\xA1\xA8\\\xE3\x82\xBD";  // trail bytes 0x5C on 932
    const Pairs from = {{"M\xC3\xBCller, J\xC3\xBCrgen", "jm@example.org"}};
    const Pairs to = {{"Ren\xC3\xA9"
                       "e \"Ren\" O'Hara",
                       "renee@example.org"},
                      {"Smith (Sales)", "smith@example.org"},
                      {"", "plain@example.org"},
                      {"Sloppy, S\xC3\xA9rgio", "sergio@example.org"},
                      {hyoji, "hyoji@example.jp"}};
    // A group's name stays before its first member, as in any group list.
    const Pairs cc = {{"Team: North: A;b <@>", "ab@example.org"},
                      {"", "c@example.org;"},
                      {"Back\\slash", "bs@example.org"},
                      {hyo, "hyo@example.jp"}};
    const Pairs replyTo = {{"M\xC3\xBCller (home)", "jm@example.org"}};
    const Pairs resentFrom = {{"Folded, Name", "folded@example.org"}};
    for (int page : {CodePage::kUtf8, CodePage::kShiftJis}) {
        const CodePage& cp = CodePage::Get(page);
        auto inW = [&](Pairs pairs) {
            for (auto& [name, address] : pairs) {
                name = cp.FromCharset("UTF-8", name);
            }
            return pairs;
        };
        MimeFixture fx(page);
        MailMessage m;
        fx.Parse(m, mail);
        const std::pair<const std::string*, Pairs> fields[] = {{&m.from, inW(from)},
                                                               {&m.to, inW(to)},
                                                               {&m.cc, inW(cc)},
                                                               {&m.replyTo, inW(replyTo)},
                                                               {&m.resentFrom, inW(resentFrom)}};
        for (const auto& [stored, expected] : fields) {
            SCOPED_TRACE("code page " + std::to_string(page) + ": " + *stored);
            EXPECT_EQ(NamesAndAddresses(*stored, cp), expected);
            const std::string wire = EncodeAddressList(*stored, cp);
            EXPECT_EQ(NamesAndAddresses(DecodeAddressList(wire, cp), cp), expected) << wire;
        }
        // The subject is no address list: its comma is left alone.
        EXPECT_EQ(m.subject, "Hello, world");
    }
}

}  // namespace
}  // namespace corvina::test
