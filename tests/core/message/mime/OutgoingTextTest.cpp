#include "message/mime/OutgoingText.h"

#include <gtest/gtest.h>

#include <regex>

#include "MimeTestSupport.h"
#include "message/Base64.h"

namespace corvina::test {
namespace {

using Lines = std::vector<std::string>;

struct Outgoing {
    ScratchDir dir;
    OutgoingOptions options;
    Lines lines;

    explicit Outgoing(int codePage = CodePage::kUtf8) {
        options.codePage = &CodePage::Get(codePage);
        options.tempDirectory = dir / "tmp";
        options.dateText = "Mon, 07 Dec 1998 09:45:03 +0900";
        std::filesystem::create_directories(options.tempDirectory);
    }

    bool Build(MailMessage& m, OutgoingEnvelope* env = nullptr) {
        lines.clear();
        return BuildOutgoingText(
            m,
            [this](std::string_view line) {
                lines.emplace_back(line);
                return true;
            },
            options, env);
    }

    // Header lines up to the empty line.
    Lines Header() const {
        Lines out;
        for (const std::string& l : lines) {
            if (l.empty()) {
                break;
            }
            out.push_back(l);
        }
        return out;
    }
    bool Has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

MailMessage Simple() {
    MailMessage m(0);
    m.from = "Alice <alice@example.com>";
    m.to = "bob@example.com";
    m.subject = "Hello";
    m.AddOtherHeader("X-Custom: 1");
    m.AddOtherHeader("x-mailer: Other 2.0");
    m.AddOtherHeader("Received: from somewhere");
    m.AddOtherHeader("Content-Type: text/plain");
    m.AddOtherHeader("X-Marlo-ReplyFolder:Work");
    m.AddBodyLine("Just text.");
    return m;
}

TEST(BuildOutgoingText, PlainAsciiMessageHasTheFixedHeaderLayout) {
    Outgoing out;
    MailMessage m = Simple();
    OutgoingEnvelope env;
    ASSERT_TRUE(out.Build(m, &env));
    Lines header = out.Header();
    ASSERT_EQ(header.size(), 9u);
    EXPECT_EQ(header[0], "To: bob@example.com");
    EXPECT_EQ(header[1], "From: Alice <alice@example.com>");
    EXPECT_EQ(header[2], "Subject: Hello");
    EXPECT_EQ(header[3], "X-Custom: 1");
    EXPECT_TRUE(std::regex_match(header[4],
                                 std::regex("Message-Id: <[0-9]+\\.[0-9a-f]{16}@example\\.com>")))
        << header[4];
    EXPECT_EQ(header[5], "MIME-Version: 1.0");
    EXPECT_EQ(header[6], "Content-Type: text/plain");
    EXPECT_EQ(header[7], "Content-Transfer-Encoding: 7bit");
    EXPECT_EQ(header[8], "X-Mailer: Marlo! ver 1.12");
    EXPECT_EQ(out.lines.back(), "Just text.");
    EXPECT_EQ(env.sender, "alice@example.com");
    EXPECT_EQ(env.RecipientText(), "bob@example.com\t");

    // The generated identifier is kept for the copy in Sent and reused.
    EXPECT_EQ("Message-Id: " + m.messageId, header[4]);
    EXPECT_EQ(m.otherHeaders.back(), header[4]);
    ASSERT_TRUE(out.Build(m));
    EXPECT_EQ(out.Header()[4], header[4]);
    EXPECT_EQ(std::count_if(out.lines.begin(), out.lines.end(),
                            [](const std::string& l) { return l.starts_with("Message-Id:"); }),
              1);
}

TEST(BuildOutgoingText, SendDateResentModeAndPriority) {
    Outgoing out;
    out.options.sendDate = true;
    MailMessage m = Simple();
    m.hasResent = true;
    m.resentFrom = "fwd@example.org";
    m.resentTo = "carol@example.org";
    m.bcc = "hidden@example.com";
    m.resentBcc = "secret@example.org";
    m.date = "Sun, 06 Dec 1998 10:00:00 +0000";
    m.priority = 5;
    OutgoingEnvelope env;
    ASSERT_TRUE(out.Build(m, &env));
    Lines h = out.Header();
    EXPECT_EQ(h[0], "Resent-Date: Mon, 07 Dec 1998 09:45:03 +0900");
    EXPECT_EQ(h[1], "Resent-To: carol@example.org");
    EXPECT_EQ(h[2], "Resent-From: fwd@example.org");
    EXPECT_EQ(h[3], "Subject: Hello");
    EXPECT_EQ(h[4], "To: bob@example.com");
    EXPECT_EQ(h[5], "From: Alice <alice@example.com>");
    EXPECT_EQ(h[6], "Date: Sun, 06 Dec 1998 10:00:00 +0000");
    EXPECT_EQ(Lines(h.end() - 3, h.end()),
              (Lines{"X-Priority: 5", "X-MSMail-Priority: Low", "Priority: low"}));
    for (const std::string& l : out.lines) {
        EXPECT_EQ(l.find("hidden"), std::string::npos);
        EXPECT_EQ(l.find("secret"), std::string::npos);
    }
    EXPECT_EQ(env.sender, "fwd@example.org");
    EXPECT_EQ(env.recipients, (Lines{"carol@example.org", "secret@example.org"}));

    m.hasResent = false;
    m.priority = 2;
    ASSERT_TRUE(out.Build(m, &env));
    EXPECT_TRUE(out.Has("X-Priority: 2"));
    EXPECT_TRUE(out.Has("X-MSMail-Priority: High"));
    EXPECT_EQ(env.recipients, (Lines{"bob@example.com", "hidden@example.com"}));
}

TEST(BuildOutgoingText, JapaneseOnAJapaneseSystemGoesAsJis) {
    Outgoing out(CodePage::kShiftJis);
    MailMessage m = Simple();
    m.subject = "\x82\xA0";  // hiragana A
    m.bodyLines.Clear();
    m.bodyLineCount = 0;
    m.AddBodyLine("\x82\xA0");
    ASSERT_TRUE(out.Build(m));
    EXPECT_TRUE(out.Has("Subject: =?ISO-2022-JP?B?" + Base64EncodeText("\x1b$B$\"\x1b(B") + "?="));
    EXPECT_TRUE(out.Has("Content-Type: text/plain; charset=ISO-2022-JP"));
    EXPECT_TRUE(out.Has("Content-Transfer-Encoding: 7bit"));
    EXPECT_EQ(out.lines.back(), "\x1b$B$\"\x1b(B");
}

TEST(BuildOutgoingText, EightBitTextGoesQuotedPrintableWithItsCharset) {
    Outgoing out;
    MailMessage m = Simple();
    m.AddBodyLine("caf\xC3\xA9 = " + std::string(80, 'x'));
    ASSERT_TRUE(out.Build(m));
    EXPECT_TRUE(out.Has("Content-Type: text/plain; charset=UTF-8"));
    EXPECT_TRUE(out.Has("Content-Transfer-Encoding: Quoted-Printable"));
    EXPECT_TRUE(out.Has("caf=C3=A9 =3D " + std::string(61, 'x') + "="));
    for (const std::string& l : out.lines) {
        EXPECT_LE(l.size(), 76u);
        EXPECT_EQ(l.find('\r'), std::string::npos);
    }
}

TEST(BuildOutgoingText, BodyQuotingAndDotStuffing) {
    Outgoing out;
    MailMessage m = Simple();
    m.AddBodyLine("From here on");
    m.AddBodyLine("fromage");
    m.AddBodyLine(".");
    m.AddBodyLine(".hidden");
    ASSERT_TRUE(out.Build(m));
    EXPECT_EQ(Lines(out.lines.end() - 4, out.lines.end()),
              (Lines{">From here on", ">fromage", "..", "..hidden"}));
}

TEST(BuildOutgoingText, NoLineBreakFromAFieldReachesAHeaderLine) {
    Outgoing out;
    MailMessage m = Simple();
    m.subject = "Hi\r\nBcc: victim@example.com";
    m.AddOtherHeader("X-Injected: a\nRCPT TO:<x>");
    ASSERT_TRUE(out.Build(m));
    EXPECT_TRUE(out.Has("Subject: Hi  Bcc: victim@example.com"));
    EXPECT_TRUE(out.Has("X-Injected: a RCPT TO:<x>"));
    for (const std::string& l : out.lines) {
        EXPECT_EQ(l.find_first_of("\r\n"), std::string::npos);
    }
}

TEST(BuildOutgoingText, AttachmentsInTheMultipartLayout) {
    Outgoing out;
    MailMessage m = Simple();
    std::filesystem::path gif = out.dir / "pic.gif";
    WriteFileBytes(gif, "GIF89a");
    std::string longName = std::string(40, 'n') + ".txt";
    std::filesystem::path text = out.dir / longName;
    WriteFileBytes(text, "line one\r\n.\r\n.dot\r\nlast");
    m.attachments.push_back({gif, "image", "gif", "base64"});
    m.attachments.push_back({text, "text", "plain", "7bit"});
    ASSERT_TRUE(out.Build(m));
    const std::string boundary = Base64EncodeText(out.options.dateText);
    EXPECT_EQ(m.boundary, boundary);
    EXPECT_EQ(boundary.size(), 44u);
    EXPECT_TRUE(out.Has("Content-Type: multipart/mixed; boundary=\"" + boundary + "\""));
    EXPECT_TRUE(out.Has("Content-Transfer-Encoding: 7bit"));

    auto at = [&](const std::string& line) {
        return std::find(out.lines.begin(), out.lines.end(), line) - out.lines.begin();
    };
    std::size_t first = at("--" + boundary);
    ASSERT_LT(first, out.lines.size());
    EXPECT_EQ(Lines(out.lines.begin() + first, out.lines.begin() + first + 6),
              (Lines{"--" + boundary, "Content-Type: text/plain", "", "Just text.", "", ""}));
    std::size_t img = first + 6;
    EXPECT_EQ(Lines(out.lines.begin() + img, out.lines.begin() + img + 8),
              (Lines{"--" + boundary, "Content-Type: image/gif; name=\"pic.gif\"",
                     "Content-Disposition: inline;", " filename=\"pic.gif\"",
                     "Content-Transfer-Encoding: base64", "", Base64EncodeText("GIF89a"), ""}));
    std::size_t txt = img + 8;
    EXPECT_EQ(Lines(out.lines.begin() + txt, out.lines.end()),
              (Lines{"--" + boundary, "Content-Type: text/plain;", " name=\"" + longName + "\"",
                     "Content-Disposition: attachment;", " filename=\"" + longName + "\"",
                     "Content-Transfer-Encoding: 7bit", "", "line one", "..", "..dot", "last", "",
                     "--" + boundary + "--"}));
}

TEST(BuildOutgoingText, UuencodeStepUsesATemporaryFileThatIsRemoved) {
    Outgoing out;
    MailMessage m = Simple();
    m.encoding = 1;
    std::filesystem::path bin = out.dir / "data.bin";
    WriteFileBytes(bin, std::string("\x00\x01\x02\xff", 4));
    m.attachments.push_back({bin, "application", "octet-stream", "base64"});
    ASSERT_TRUE(out.Build(m));
    EXPECT_TRUE(out.Has("Content-Type: application/x-uuencode; name=\"data.uue\""));
    EXPECT_TRUE(out.Has("Content-Transfer-Encoding: 7bit"));
    EXPECT_TRUE(out.Has("begin 666 data.bin"));
    EXPECT_TRUE(std::filesystem::is_empty(out.options.tempDirectory));
    EXPECT_EQ(m.attachments[0].subtype, "octet-stream");  // the message keeps its entry

    m.encoding = 2;
    ASSERT_TRUE(out.Build(m));
    EXPECT_TRUE(out.Has("Content-Type: application/mac-binhex40; name=\"data.hqx\""));
    EXPECT_TRUE(out.Has("(This file must be converted with BinHex 4.0)"));
    EXPECT_TRUE(std::filesystem::is_empty(out.options.tempDirectory));
}

TEST(BuildOutgoingText, FailuresStopTheAssembly) {
    Outgoing out;
    MailMessage m = Simple();
    m.attachments.push_back({out.dir / "missing.zip", "application", "zip", "base64"});
    EXPECT_FALSE(out.Build(m));

    MailMessage plain = Simple();
    int calls = 0;
    EXPECT_FALSE(BuildOutgoingText(
        plain, [&](std::string_view) { return ++calls < 3; }, out.options));
    EXPECT_EQ(calls, 3);
}

TEST(ExpandRecipients, GroupReferencesAreReplacedByTheGroupsAddresses) {
    Outgoing out;
    out.options.groups = [](std::string_view name) {
        if (name == "My Friends")
            return Lines{"ann@x", "ben@y"};
        return name == "team" ? Lines{"cat@z"} : Lines{};
    };
    const struct {
        const char* field;
        const char* expanded;
    } cases[] = {
        {"@\"My Friends\", dan@w", "ann@x,ben@y,dan@w"},
        {"@team", "cat@z"},
        {"dan@w, @team,eve@v", "dan@w,cat@z,eve@v"},
        {"@missing, eve@v", "eve@v"},
        {"@\"team", "cat@z"},  // an unclosed quote takes the rest as the name
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpandRecipients(c.field, out.options.groups), c.expanded) << c.field;
    }
    EXPECT_EQ(ExpandRecipients("@team, eve@v", {}), "eve@v");

    MailMessage m = Simple();
    m.to = "@\"My Friends\"";
    m.cc = "@team";
    OutgoingEnvelope env;
    ASSERT_TRUE(out.Build(m, &env));
    EXPECT_EQ(out.Header()[0], "To: ann@x,ben@y");
    EXPECT_TRUE(out.Has("Cc: cat@z"));
    EXPECT_EQ(env.RecipientText(), "ann@x\tben@y\tcat@z\t");
}

TEST(ExportMessage, PlainFileAndUnixMailbox) {
    Outgoing out;
    MailMessage m = Simple();
    m.date = "Mon, 07 Dec 1998 09:45:03 +0900";
    m.priority = 1;
    m.AddBodyLine("From the start");
    m.AddBodyLine(">From quoted");
    m.AddBodyLine(".");
    std::filesystem::path file = out.dir / "export.txt";
    ASSERT_TRUE(ExportMessage(m, file, "----\n", false, out.options));
    std::string text = ReadFileBytes(file);
    EXPECT_EQ(text,
              "To: bob@example.com\r\nFrom: Alice <alice@example.com>\r\nSubject: Hello\r\n"
              "Date: Mon, 07 Dec 1998 09:45:03 +0900\r\nX-Priority: 1\r\nX-Custom: 1\r\n"
              "x-mailer: Other 2.0\r\nReceived: from somewhere\r\nX-Marlo-ReplyFolder:Work\r\n"
              "MIME-Version: 1.0\r\nContent-Type: text/plain\r\n"
              "Content-Transfer-Encoding: 7bit\r\n\r\n"
              "Just text.\r\nFrom the start\r\n>From quoted\r\n..\r\n----\r\n");
    EXPECT_TRUE(m.messageId.empty());

    std::filesystem::path mbox = out.dir / "export.mbx";
    ASSERT_TRUE(ExportMessage(m, mbox, "", true, out.options));
    ASSERT_TRUE(ExportMessage(m, mbox, "", true, out.options));
    std::string box = ReadFileBytes(mbox);
    std::string firstLine = box.substr(0, box.find("\r\n"));
    EXPECT_TRUE(std::regex_match(firstLine,
                                 std::regex("From alice@example\\.com [A-Z][a-z]{2} [A-Z][a-z]{2}"
                                            "[ 0-9]{2}[0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}")))
        << firstLine;
    EXPECT_NE(box.find("\r\n>From the start\r\n>>From quoted\r\n.\r\n"), std::string::npos);
    // Exactly two message starts for an mbox reader.
    std::size_t starts = 0;
    for (std::size_t pos = 0; (pos = box.find("From ", pos)) != std::string::npos; ++pos) {
        if (pos == 0 || box[pos - 1] == '\n') {
            ++starts;
        }
    }
    EXPECT_EQ(starts, 2u);
    EXPECT_EQ(UnixFromLineDate("not a date"), "");
    EXPECT_EQ(UnixFromLineDate(""), "");
}

}  // namespace
}  // namespace corvina::test
