// What another mail program reads from the outgoing text: display names
// with list separators, quotes and comment brackets, long file names and
// attached messages, checked with Python's email package.

#include <gtest/gtest.h>

#include "MimeTestSupport.h"
#include "OutgoingTextPython.h"
#include "message/Base64.h"
#include "message/HeaderWords.h"
#include "message/mime/OutgoingText.h"

namespace corvina::test {
namespace {

using Rows = std::vector<PythonRow>;

// The message as the SMTP DATA phase carries it, dots unstuffed.
std::string WireText(MailMessage& m, const CodePage& cp, const std::filesystem::path& temp) {
    OutgoingOptions options;
    options.codePage = &cp;
    options.tempDirectory = temp;
    options.dateText = "Mon, 07 Dec 1998 09:45:03 +0900";
    std::string text;
    EXPECT_TRUE(BuildOutgoingText(
        m,
        [&](std::string_view line) {
            if (!line.empty() && line.front() == '.') {
                line.remove_prefix(1);
            }
            text.append(line);
            text += "\r\n";
            return true;
        },
        options));
    return text;
}

std::string Utf8(const CodePage& cp, std::string_view text) {
    return cp.IsUtf8() ? std::string(text) : cp.ToUtf8(text);
}

struct NamedAddress {
    std::string field, name, address;  // name in UTF-8
};

// Both readers of Python see every address whole, with its name as written.
void ExpectAddresses(const Rows& rows, const std::vector<NamedAddress>& expected) {
    Rows want;
    for (const NamedAddress& a : expected) {
        want.push_back({a.field, a.name, a.address});
    }
    EXPECT_EQ(RowsOf(rows, "address"), want);
    EXPECT_EQ(RowsOf(rows, "getaddresses"), want);
    EXPECT_EQ(RowsOf(rows, "defect"), Rows{});
}

TEST(OutgoingNames, DisplayNamesArriveWholeInEveryAddressField) {
    const std::vector<NamedAddress> utf8 = {
        {"From", "M\xC3\xBCller, J\xC3\xBCrgen", "dave@example.test"},
        {"To", "\xC3\x86r\xC3\xB8, \xC3\x85se", "erin@example.test"},
        {"To", "J\xC3\xBCrgen \"JJ\" Gro\xC3\x9F", "bob@example.test"},
        {"To",
         "Ren\xC3\xA9"
         "e (B\xC3\xBCro)",
         "carol@example.test"},
        {"Cc", "Fra\xC3\xB1k \xC3\x9Cnal", "frank@example.test"},
        {"Cc", "Doe, John", "dave@example.test"},
        {"Cc", "Say \"hi\" \\o/", "bench@example.test"},
        {"Cc", "", "plain@example.test"},
        {"Reply-To",
         "\xC3\x91\x61nd\xC3\xBA; P\xC3\xA9rez-\xC5\x81ukasiewicz \xC3\x96l\xC3\xA7"
         "er "
         "\xC3\x86\xC3\xB0"
         "elstan \xC3\x9E\xC3\xB3rhallsd\xC3\xB3ttir \xC3\x98verg\xC3\xA5rd",
         "erin@example.test"},
    };
    const std::vector<NamedAddress> sjis = {
        {"From", "\xE5\xB1\xB1\xE7\x94\xB0, \xE5\xA4\xAA\xE9\x83\x8E", "dave@example.test"},
        {"To", "\xE3\x82\xBD\xE3\x83\x8B\xE3\x83\xBC \"\xE5\x96\xB6\xE6\xA5\xAD\"",
         "erin@example.test"},
        {"To", "\xE8\xA1\xA8 (\xE6\x9C\xAC\xE7\xA4\xBE)", "bob@example.test"},
        {"Cc", "Doe, John", "carol@example.test"},
        {"Cc", "\xE8\x83\xBD\xE5\x8A\x9B, \xE4\xBA\x88\xE5\xAE\x9A", "frank@example.test"},
    };
    struct Case {
        const char* file;
        int codePage;
        const std::vector<NamedAddress>* expected;
    };
    for (const Case& c :
         {Case{"outgoing/display-names-with-commas-and-quotes.eml", CodePage::kUtf8, &utf8},
          Case{"outgoing/display-names-shift-jis.eml", CodePage::kShiftJis, &sjis}}) {
        SCOPED_TRACE(c.file);
        MimeFixture fx(c.codePage);
        MailMessage m(0);
        fx.Parse(m, ReadFileBytes(DataPath(c.file)));
        std::string wire = WireText(m, CodePage::Get(c.codePage), fx.dir.Path());
        ExpectAddresses(ReadWithPython(wire), *c.expected);
        // In resent mode the Resent- fields and the message's own fields
        // both go out encoded.
        m.hasResent = true;
        m.resentFrom = m.from;
        m.resentTo = m.to;
        std::vector<NamedAddress> resent;
        for (const NamedAddress& a : *c.expected) {
            if (a.field == "From" || a.field == "To") {
                resent.push_back({"Resent-" + a.field, a.name, a.address});
            }
        }
        Rows rows = ReadWithPython(WireText(m, CodePage::Get(c.codePage), fx.dir.Path()));
        Rows got;
        for (const PythonRow& row : RowsOf(rows, "address")) {
            if (row[0].starts_with("Resent-")) {
                got.push_back(row);
            }
        }
        Rows want;
        for (const NamedAddress& a : resent) {
            want.push_back({a.field, a.name, a.address});
        }
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, want);
    }
}

TEST(OutgoingNames, EncodingTouchesOnlyNamesThatNeedIt) {
    const CodePage& utf8 = CodePage::Get(CodePage::kUtf8);
    const CodePage& western = CodePage::Get(CodePage::kWestern);
    struct Case {
        const CodePage* cp;
        std::string list, expected;
    };
    for (const Case& c : {
             // ASCII addresses and the separators between them stay as written.
             Case{&utf8, "a@x,\"Doe, J\" <b@x> , c@x (C)", "a@x,\"Doe, J\" <b@x> , c@x (C)"},
             Case{&utf8, " J\xC3\xB6rg <j@x>", " =?UTF-8?B?SsO2cmc=?= <j@x>"},
             // A group without an address has no display name to encode.
             Case{&utf8, "Gr\xC3\xBCppe: ;", "Gr\xC3\xBCppe: ;"},
             Case{&western, "\"M\xFCller, J\" <m@x>", "=?windows-1252?B?TfxsbGVyLCBK?= <m@x>"},
         }) {
        EXPECT_EQ(EncodeAddressList(c.list, *c.cp), c.expected) << c.list;
    }
    // A long name stays one word: a reader may keep the blank between two
    // words of a phrase.
    const std::string longName(60, '\xE9');  // e-acute in windows-1252
    std::string got = EncodeAddressList(longName + " <l@x>", western);
    EXPECT_EQ(got.find("?= =?"), std::string::npos) << got;
    EXPECT_EQ(RowsOf(ReadWithPython("To: " + got + "\r\n\r\n"), "address"),
              (Rows{{"To", western.ToUtf8(longName), "l@x"}}));
}

// A name past the parameter limit is cut before it is encoded: the words
// stay whole and the extension stays.
TEST(OutgoingNames, LongAttachmentNamesAreCutOnCharactersKeepingTheExtension) {
    struct Case {
        int codePage;
        std::string stem, extension;
    };
    std::string umlauts, kanji, western(246, '\xE9');  // e-acute in windows-1252
    for (int i = 0; i < 120; ++i) {
        umlauts += "\xC3\xBC";  // u-umlaut
        kanji += "\x93\xFA";    // the kanji for "day" in Shift_JIS
    }
    for (const Case& c :
         {Case{CodePage::kUtf8, umlauts, ".pdf"}, Case{CodePage::kShiftJis, kanji, ".pdf"},
          Case{CodePage::kWestern, western, ".bin"}}) {
        SCOPED_TRACE(c.codePage);
        const CodePage& cp = CodePage::Get(c.codePage);
        ScratchDir dir;
        std::string bytes = "%PDF-1.4 some bytes\x01\x02";
        std::filesystem::path file = dir / (c.stem + c.extension);
        WriteFileBytes(file, bytes);
        MailMessage m(0);
        m.from = "a@x";
        m.to = "b@x";
        m.AddBodyLine("see attached");
        m.attachments.push_back({file, "application", "octet-stream", "base64"});
        std::string wire = WireText(m, cp, dir.Path());
        Rows parts = RowsOf(ReadWithPython(wire), "part");
        ASSERT_EQ(parts.size(), 2u) << wire;
        const std::string name = parts[1][1];
        const std::string whole = Utf8(cp, c.stem + c.extension);
        EXPECT_TRUE(name.ends_with(c.extension)) << name;
        EXPECT_LT(name.size(), whole.size());
        EXPECT_TRUE(whole.starts_with(name.substr(0, name.size() - c.extension.size()))) << name;
        EXPECT_EQ(parts[1][3], Hex(bytes));
        // Both parameters carry the same value, within the limit.
        std::size_t nameAt = wire.find(" name=\"");
        std::size_t fileAt = wire.find(" filename=\"");
        ASSERT_NE(fileAt, std::string::npos);
        std::string value = wire.substr(nameAt + 7, wire.find('"', nameAt + 7) - nameAt - 7);
        EXPECT_LE(value.size(), 260u);
        EXPECT_EQ(wire.substr(fileAt + 11, value.size() + 1), value + "\"");
    }
}

// An attached message goes unencoded (RFC 2046); what cannot travel so
// goes as application/octet-stream in base64, byte for byte.
TEST(OutgoingNames, AttachedMessagesTravelAsMessagesOrAsBytes) {
    const std::string eml = ReadFileBytes(DataPath("outgoing/attached-message.eml"));
    const std::string ascii = "Subject: plain\r\n\r\nonly ASCII\r\n";
    // A line that would end the enclosing part.
    const std::string boundary = "--" + Base64EncodeText("Mon, 07 Dec 1998 09:45:03 +0900");
    struct Case {
        std::string text;
        const char* type;
        const char* encoding;
    };
    for (const Case& c : {
             Case{eml, "message", "8bit"},
             Case{ascii, "message", "7bit"},
             Case{ascii + std::string("nul \0 byte\r\n", 13), "application/octet-stream", "base64"},
             Case{ascii + std::string(999, 'x') + "\r\n", "application/octet-stream", "base64"},
             Case{ascii + "bare\rCR\r\n", "application/octet-stream", "base64"},
             Case{ascii + boundary + "\r\n", "application/octet-stream", "base64"},
         }) {
        ScratchDir dir;
        std::filesystem::path file = dir / "forwarded.eml";
        WriteFileBytes(file, c.text);
        MailMessage m(0);
        m.from = "a@x";
        m.to = "b@x";
        m.AddBodyLine("enclosed");
        m.attachments.push_back({file, "message", "rfc822", "base64"});
        std::string wire = WireText(m, CodePage::Get(CodePage::kUtf8), dir.Path());
        Rows rows = ReadWithPython(wire);
        EXPECT_EQ(RowsOf(rows, "defect"), Rows{});
        if (std::string_view(c.type) == "message") {
            Rows messages = RowsOf(rows, "message");
            ASSERT_EQ(messages.size(), 1u) << wire;
            EXPECT_EQ(messages[0][0], "forwarded.eml");
            EXPECT_EQ(messages[0][1], c.encoding);
            // The enclosed text arrives line for line.
            std::string lf;
            for (char ch : c.text) {
                if (ch != '\r') {
                    lf += ch;
                }
            }
            std::string wireLf;
            for (char ch : wire) {
                if (ch != '\r') {
                    wireLf += ch;
                }
            }
            EXPECT_NE(wireLf.find("\n\n" + lf), std::string::npos) << wire;
            continue;
        }
        Rows parts = RowsOf(rows, "part");
        ASSERT_EQ(parts.size(), 2u) << wire;
        EXPECT_EQ(parts[1][0], c.type);
        EXPECT_EQ(parts[1][1], "forwarded.eml");
        EXPECT_EQ(parts[1][2], c.encoding);
        EXPECT_EQ(parts[1][3], Hex(c.text));
    }
    // The enclosed message's own fields read as sent.
    ScratchDir dir;
    WriteFileBytes(dir / "forwarded.eml", eml);
    MailMessage m(0);
    m.from = "a@x";
    m.to = "b@x";
    m.attachments.push_back({dir / "forwarded.eml", "message", "rfc822", "base64"});
    Rows messages =
        RowsOf(ReadWithPython(WireText(m, CodePage::Get(CodePage::kUtf8), dir.Path())), "message");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0][2], "\xC3\x86thelred <old@example.test>");
    EXPECT_EQ(messages[0][3], "The enclosed message");
}

TEST(OutgoingNames, AVanishedAttachmentIsNamedBeforeSending) {
    ScratchDir dir;
    MailMessage m(0);
    WriteFileBytes(dir / "here.bin", "x");
    m.attachments.push_back({dir / "here.bin", "application", "octet-stream", "base64"});
    EXPECT_EQ(CheckAttachmentFiles(m), std::nullopt);
    m.attachments.push_back({dir / "gone.pdf", "application", "pdf", "base64"});
    std::optional<std::string> problem = CheckAttachmentFiles(m);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find((dir / "gone.pdf").string()), std::string::npos) << *problem;
    EXPECT_NE(problem->find("attach it again"), std::string::npos) << *problem;
}

}  // namespace
}  // namespace corvina::test
