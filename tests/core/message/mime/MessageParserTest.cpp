#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "MimeTestSupport.h"
#include "message/Base64.h"
#include "store/MailboxParser.h"

namespace corvina::test {
namespace {

using Lines = std::vector<std::string>;

const char kMixed[] =
    "From: Alice <alice@example.com>\n"
    "To: bob@example.com\n"
    "Subject: pictures\n"
    "MIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"XYZ\"\n"
    "\n"
    "This is a preamble.\n"
    "--XYZ\n"
    "Content-Type: text/plain; charset=us-ascii\n"
    "\n"
    "Hello Bob.\n"
    "--XYZ\n"
    "Content-Type: image/gif;\n"
    " name=\"=?UTF-8?B?Y2Fmw6kuZ2lm?=\"\n"
    "Content-Transfer-Encoding: base64\n"
    "\n"
    "R0lGODlhAQABAAAAACw=\n"
    "--XYZ--\n"
    "epilogue line\n";

TEST(ParseMessage, MultipartMixedShowsTextAndStoresImageUnderDecodedName) {
    MimeFixture fx;
    MailMessage m;
    ParseResult r = fx.Parse(m, kMixed);
    EXPECT_EQ(m.from, "Alice <alice@example.com>");
    EXPECT_EQ(m.subject, "pictures");
    EXPECT_TRUE(m.decoded);
    EXPECT_EQ(fx.Body(m),
              (Lines{"This is a preamble.", std::string(64, '-'), "Hello Bob.", "epilogue line"}));
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(m.attachments[0].path, fx.Attach() / "caf\xC3\xA9.gif");
    EXPECT_EQ(m.attachments[0].type, "image");
    EXPECT_EQ(m.attachments[0].subtype, "gif");
    EXPECT_EQ(m.attachments[0].encoding, "base64");
    EXPECT_EQ(ReadFileBytes(m.attachments[0].path),
              std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00,", 14));
    EXPECT_EQ(r.createdFiles.size(), 1u);

    std::string stored = SerializeMessage(m, fx.dir.Path());
    EXPECT_NE(stored.find("\nX-Marlo-Attachment-File:caf\xC3\xA9.gif\n"), std::string::npos);
    EXPECT_NE(stored.find("\nX-Marlo-Decorded:1\n"), std::string::npos);

    // Parsing the stored form again reads the links and creates nothing.
    MailMessage again;
    fx.options.trustStoreLines = true;
    ParseResult r2 = fx.Parse(again, stored);
    EXPECT_TRUE(r2.createdFiles.empty());
    EXPECT_TRUE(r2.storedAttachments);
    ASSERT_EQ(again.attachments.size(), 1u);
    EXPECT_EQ(again.attachments[0].path, m.attachments[0].path);
    EXPECT_EQ(again.attachments[0].subtype, "gif");
    EXPECT_EQ(fx.Body(again), fx.Body(m));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(fx.Attach()), {}), 1);
}

std::string TwoParts(const std::string& first, const std::string& second) {
    return "Content-Type: multipart/mixed; boundary=b\n\n--b\n" + first + "--b\n" + second +
           "--b--\n";
}

TEST(ParseMessage, AttachmentNamingRules) {
    MimeFixture fx;
    MailMessage m;
    const std::string named =
        "Content-Type: application/octet-stream; name=\"report.doc\"\n"
        "Content-Transfer-Encoding: base64\n\nAAEC\n";
    fx.Parse(m, TwoParts(named, named));
    EXPECT_EQ(fx.AttachmentNames(m), (Lines{"report.doc", "00_report.doc"}));

    // No name: Atch%04x with the type's first extension; a name without a
    // dot gets that extension; BinHex and uuencode names get .hqx / .uue.
    fx.Parse(m, TwoParts("Content-Type: application/octet-stream\n\nxx\n",
                         "Content-Type: application/octet-stream\n\nyy\n"));
    EXPECT_EQ(fx.AttachmentNames(m), (Lines{"Atch0000.bin", "Atch0001.bin"}));
    fx.Parse(m, TwoParts("Content-Type: image/jpeg; name=photo\n\nxx\n",
                         "Content-Type: application/mac-binhex40; name=\"prog.sit\"\n\nyy\n"));
    EXPECT_EQ(fx.AttachmentNames(m), (Lines{"photo.jpg", "prog.hqx"}));
    // An encoding x-uuencode makes the part application/x-uuencode, 7bit.
    fx.Parse(m, TwoParts("Content-Type: text/plain; name=\"data.bin\"\n"
                         "Content-Transfer-Encoding: x-uuencode\n\nnot really\n",
                         "Content-Type: application/pdf; name=\"x.pdf\"\n\nzz\n"));
    ASSERT_EQ(m.attachments.size(), 2u);
    EXPECT_EQ(m.attachments[0].path.filename(), "data.uue");
    EXPECT_EQ(m.attachments[0].subtype, "x-uuencode");
    EXPECT_EQ(m.attachments[0].encoding, "7bit");
    EXPECT_EQ(m.attachments[1].path.filename(), "x.pdf");  // type without a row
    // Content-Disposition fills a missing name; an RFC 2231 name wins.
    fx.Parse(m, TwoParts("Content-Type: application/zip\n"
                         "Content-Disposition: attachment; filename=\"a.zip\"\n\nq\n",
                         "Content-Type: application/zip; name=\"old.zip\"\n"
                         "Content-Disposition: attachment; filename=\"plain.zip\";\n"
                         " filename*=UTF-8''%C3%BCber.zip\n\nq\n"));
    EXPECT_EQ(fx.AttachmentNames(m), (Lines{"a.zip",
                                            "\xC3\xBC"
                                            "ber.zip"}));
}

TEST(ParseMessage, HostileNamesStayInsideTheAttachmentDirectory) {
    MimeFixture fx;
    MailMessage m;
    std::string longName(300, 'n');
    fx.Parse(m, TwoParts("Content-Type: application/zip; name=\"../../../etc/passwd.zip\"\n\nq\n",
                         "Content-Type: application/zip; name=\".hidden\x01\x1f.zip\"\n\nq\n"));
    EXPECT_EQ(fx.AttachmentNames(m), (Lines{"passwd.zip", "hidden__.zip"}));
    fx.Parse(m, TwoParts("Content-Type: application/zip; name=\"" + longName + ".zip\"\n\nq\n",
                         "Content-Type: application/x-zip-compressed; name=\"..\"\n\nq\n"));
    ASSERT_EQ(m.attachments.size(), 2u);
    EXPECT_EQ(m.attachments[0].path.filename().string().size(), 200u);
    EXPECT_TRUE(m.attachments[0].path.filename().string().ends_with(".zip"));
    EXPECT_EQ(m.attachments[1].path.filename(), "Atch0000.zip");
    for (const AttachmentEntry& a : m.attachments) {
        EXPECT_EQ(a.path.parent_path(), fx.Attach());
    }

    // A symbolic link planted under the expected name is not followed.
    std::filesystem::path victim = fx.dir / "victim.txt";
    WriteFileBytes(victim, "keep me");
    std::filesystem::create_symlink(victim, fx.Attach() / "evil.zip");
    fx.Parse(m, TwoParts("Content-Type: application/zip; name=\"evil.zip\"\n\nEVIL\n",
                         "Content-Type: text/plain\n\nx\n"));
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(m.attachments[0].path.filename(), "00_evil.zip");
    EXPECT_EQ(ReadFileBytes(victim), "keep me");
}

TEST(ParseMessage, Base64TextIsShownAndStoredOnlyInsideMultipart) {
    MimeFixture fx;
    MailMessage m;
    const std::string b64 = Base64EncodeText("line one\nline two\n");
    fx.Parse(
        m, TwoParts("Content-Type: text/plain\nContent-Transfer-Encoding: base64\n\n" + b64 + "\n",
                    "Content-Type: text/html; name=page.html\n\n<p>hi</p>\n"));
    EXPECT_EQ(fx.Body(m), (Lines{"line one", "line two"}));
    EXPECT_EQ(fx.AttachmentNames(m), (Lines{"Atch0000.txt", "page.html"}));
    EXPECT_EQ(ReadFileBytes(m.attachments[1].path), "<p>hi</p>\r\n");

    MailMessage single;
    ParseResult r = fx.Parse(single,
                             "Subject: s\nContent-Type: text/plain\n"
                             "Content-Transfer-Encoding: BASE64\n\n" +
                                 b64 + "\n");
    EXPECT_EQ(fx.Body(single), (Lines{"line one", "line two"}));
    EXPECT_TRUE(single.attachments.empty());
    EXPECT_TRUE(r.createdFiles.empty());
    EXPECT_TRUE(single.decoded);
}

TEST(ParseMessage, ShownTextRuleAndMessageParts) {
    MimeFixture fx;
    MailMessage m;
    const std::string enclosed = "From: x@y\nSubject: inner\n\ninner body\n";
    fx.Parse(m, TwoParts("Content-Type: text/enriched\n\n<bold>rich</bold>\n",
                         "Content-Type: message/rfc822\n\n" + enclosed));
    EXPECT_EQ(fx.Body(m), (Lines{"<bold>rich</bold>"}));
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(m.attachments[0].path.filename(), "Atch0000.eml");
    EXPECT_EQ(m.attachments[0].type, "message");

    // A whole message of an unregistered text type is shown; of a binary
    // type it becomes a file.
    fx.Parse(m, "Content-Type: message/delivery-status\n\nReporting-MTA: x\n");
    EXPECT_EQ(fx.Body(m), (Lines{"Reporting-MTA: x"}));
    fx.Parse(m,
             "Content-Type: application/pdf; name=doc.pdf\n"
             "Content-Transfer-Encoding: base64\n\nJVBERg==\n");
    EXPECT_EQ(fx.AttachmentNames(m), (Lines{"doc.pdf"}));
    EXPECT_EQ(ReadFileBytes(m.attachments[0].path), "%PDF");
    EXPECT_EQ(fx.Body(m), (Lines{""}));  // a message always has a body line
    // application/pgp is always shown.
    fx.Parse(m, "Content-Type: application/pgp\n\n-----BEGIN PGP MESSAGE-----\n");
    EXPECT_EQ(fx.Body(m), (Lines{"-----BEGIN PGP MESSAGE-----"}));
    EXPECT_TRUE(m.attachments.empty());
}

TEST(ParseMessage, SignedMultipartStaysRaw) {
    MimeFixture fx;
    MailMessage m;
    fx.Parse(m,
             "Content-Type: multipart/signed; boundary=s; protocol=x\n\n"
             "--s\nContent-Type: text/plain\n\nsigned text\n--s\n"
             "Content-Type: application/pgp-signature\n\nSIG\n--s--\n");
    EXPECT_TRUE(m.decoded);
    EXPECT_TRUE(m.attachments.empty());
    EXPECT_EQ(fx.Body(m).size(), 9u);
    EXPECT_EQ(fx.Body(m)[0], "--s");
}

TEST(ParseMessage, NestedAlternativeInsideMixed) {
    MimeFixture fx;
    MailMessage m;
    fx.Parse(m,
             "Content-Type: multipart/mixed; boundary=outer\n\n"
             "--outer\n"
             "Content-Type: multipart/alternative; boundary=inner\n\n"
             "inner preamble\n"
             "--inner\nContent-Type: text/plain\n\nplain version\n"
             "--inner\nContent-Type: text/html\n\n<b>html version</b>\n"
             "--inner--\n\n"
             "--outer\nContent-Type: application/zip; name=a.zip\n"
             "Content-Transfer-Encoding: base64\n\nUEsDBA==\n"
             "--outer\nContent-Type: image/gif; name=b.gif\n\nGIF\n"
             "--outer--\n");
    EXPECT_EQ(fx.Body(m), (Lines{"plain version"}));
    EXPECT_EQ(fx.AttachmentNames(m), (Lines{"Atch0000.html", "a.zip", "b.gif"}));
    EXPECT_EQ(ReadFileBytes(m.attachments[1].path), "PK\x03\x04");

    // An inner multipart that never closes ends at the outer boundary.
    fx.Parse(m,
             "Content-Type: multipart/mixed; boundary=\"o\"\n\n--o\n"
             "Content-Type: multipart/related; boundary=\"o-inner\"\n\n"
             "--o-inner\nContent-Type: text/plain\n\nfirst\n"
             "--o\nContent-Type: application/zip; name=z.zip\n\nZ\n--o--\n");
    EXPECT_EQ(fx.Body(m), (Lines{"first"}));
    EXPECT_EQ(fx.AttachmentNames(m), (Lines{"z.zip"}));
}

TEST(ParseMessage, HeaderFieldRules) {
    MimeFixture fx;
    fx.options.ownAddress = "me@example.com";
    MailMessage m;
    fx.Parse(m,
             "From: Me <ME@example.com>\nTo: a@x\nTo:  b@x\nTo: a@x\nCc: c@x\n"
             "Subject: =?UTF-8?B?w6k=?= and\n  more\n"
             "Priority: urgent\nX-Priority: 2\nX-MSMail-Priority: High\n"
             "Resent-From: r@x\nResent-Message-Id: <r1>\nReply-To: rt@x\n"
             "In-Reply-To: <p1@x> (comment)\nReferences: <r1@x> <r2@x>\n"
             "X-Other: kept\n\nbody\n");
    EXPECT_TRUE(m.read);
    EXPECT_EQ(m.to, "a@x, b@x, a@x");
    EXPECT_EQ(m.cc, "c@x");
    EXPECT_EQ(m.subject, "\xC3\xA9 and more");
    EXPECT_EQ(m.priority, 2);
    EXPECT_TRUE(m.hasResent);
    EXPECT_EQ(m.resentFrom, "r@x");
    EXPECT_EQ(m.replyTo, "rt@x");
    EXPECT_EQ(m.parentReference, "<r2@x>");
    EXPECT_EQ(m.otherHeaders,
              (Lines{"Priority: urgent", "X-MSMail-Priority: High", "Resent-Message-Id: <r1>",
                     "Reply-To: rt@x", "In-Reply-To: <p1@x> (comment)", "References: <r1@x> <r2@x>",
                     "X-Other: kept"}));

    // A word without number, HIGH or LOW gives 3; References before
    // In-Reply-To still wins.
    fx.Parse(m, "Priority: urgent\nReferences: <a@x> <b@x>\nIn-Reply-To: <c@x>\n\nx\n");
    EXPECT_EQ(m.priority, 3);
    EXPECT_EQ(m.parentReference, "<b@x>");
    EXPECT_FALSE(m.read);
    // A Status line from outside marks nothing and is not kept; in the
    // program's own copies it keeps the read mark.
    const std::string statusRo =
        "X-MSMail-Priority: Low\nStatus: RO\nIn-Reply-To: no brackets \n\nx\n";
    fx.Parse(m, statusRo);
    EXPECT_EQ(m.priority, 5);
    EXPECT_FALSE(m.read);
    EXPECT_EQ(m.status, "");
    EXPECT_EQ(m.otherHeaders, (Lines{"X-MSMail-Priority: Low", "In-Reply-To: no brackets "}));
    EXPECT_EQ(m.parentReference, "no brackets");
    fx.options.trustStoreLines = true;
    fx.Parse(m, statusRo);
    EXPECT_TRUE(m.read);
    EXPECT_EQ(m.status, "RO");
}

TEST(ParseMessage, StoreLinesAreTrustedOnlyFromOwnFiles) {
    MimeFixture fx;
    const std::string text =
        "From: x@y\nX-Marlo-Attachment-File:/etc/passwd\nX-Marlo-Decorded:1\n"
        "X-Marlo-Reply:1\nX-Marlo-Encoding:2\nX-Marlo-ReplyFolder:Work\n\nbody\n";
    MailMessage m;
    fx.Parse(m, text);
    EXPECT_TRUE(m.attachments.empty());
    EXPECT_FALSE(m.decoded);
    EXPECT_FALSE(m.replied);
    EXPECT_EQ(m.encoding, 0);
    EXPECT_EQ(m.otherHeaders, (Lines{"X-Marlo-ReplyFolder:Work"}));

    fx.options.trustStoreLines = true;
    ParseResult r = fx.Parse(m, text);
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(m.attachments[0].path, "/etc/passwd");
    EXPECT_EQ(m.attachments[0].subtype, "octet-stream");
    EXPECT_TRUE(r.storedAttachments);
    EXPECT_TRUE(m.decoded);
    EXPECT_TRUE(m.replied);
    EXPECT_EQ(m.encoding, 2);
    fx.Parse(m, "X-Marlo-Attachment-File:sub\\x.uue\n\nb\n");
    EXPECT_EQ(m.attachments[0].path, fx.Attach() / "sub/x.uue");
    EXPECT_EQ(m.attachments[0].subtype, "x-uuencode");
    EXPECT_EQ(m.attachments[0].encoding, "7bit");
}

// The mailbox loader and the parser read a stored link as the same file,
// and the writer gives back the value that was read.
TEST(AttachmentLink, LoaderAndParserReadOneFileAndWriteItBack) {
    MimeFixture fx;
    fx.options.trustStoreLines = true;
    const std::filesystem::path dir = fx.dir.Path();
    const struct {
        std::string value;
        std::filesystem::path file;
        std::string written;
    } cases[] = {
        {"pic.gif", fx.Attach() / "pic.gif", "pic.gif"},
        {"sub\\x.uue", fx.Attach() / "sub/x.uue", "sub/x.uue"},
        {"/elsewhere/doc.pdf", "/elsewhere/doc.pdf", "/elsewhere/doc.pdf"},
        // Paths on a Windows disk: kept whole, never taken from the
        // working directory.
        {"C:\\Mail\\Attach\\x.gif", fx.Attach() / "C:\\Mail\\Attach\\x.gif",
         "C:\\Mail\\Attach\\x.gif"},
        {"\\Mail\\x.gif", fx.Attach() / "\\Mail\\x.gif", "\\Mail\\x.gif"},
    };
    for (const auto& c : cases) {
        const std::string line = "X-Marlo-Attachment-File:" + c.value;
        MailMessage parsed;
        fx.Parse(parsed, line + "\n\nb\n");
        const std::string file = line + "\r\n\r\n.\r\n";
        MailboxLineReader reader(file.data(), file.data() + file.size());
        MailMessage loaded;
        ASSERT_TRUE(ReadMessageHeader(reader, loaded, dir, HeaderPass::Index));
        ASSERT_EQ(parsed.attachments.size(), 1u) << c.value;
        ASSERT_EQ(loaded.attachments.size(), 1u) << c.value;
        EXPECT_EQ(parsed.attachments[0].path, c.file) << c.value;
        EXPECT_EQ(loaded.attachments[0].path, c.file) << c.value;
        EXPECT_EQ(AttachmentLinkValue(c.file, dir), c.written) << c.value;
    }
}

// The mailbox loader and the parser read every stored field of one file
// alike.
TEST(StoredForm, LoaderAndParserReadEveryFieldAlike) {
    MimeFixture fx;
    fx.options.trustStoreLines = true;
    const std::string file = ReadFileBytes(DataPath("store/every-stored-field.mbx"));
    MailMessage parsed;
    fx.Parse(parsed, file);
    MailboxLineReader reader(file.data(), file.data() + file.size());
    MailMessage loaded;
    ASSERT_TRUE(ReadMessageHeader(reader, loaded, fx.dir.Path(), HeaderPass::Index));
    auto fields = [](const MailMessage& m) {
        Lines out = {m.from,
                     m.to,
                     m.cc,
                     m.bcc,
                     m.resentFrom,
                     m.resentTo,
                     m.resentCc,
                     m.resentBcc,
                     m.resentDate,
                     m.resentReplyTo,
                     m.subject,
                     m.date,
                     m.replyTo,
                     m.status,
                     m.messageId,
                     m.parentReference,
                     m.contentType,
                     m.contentSubtype,
                     m.transferEncoding};
        for (int flag :
             {m.priority, int{m.hasResent}, int{m.decoded}, int{m.replied}, m.encoding}) {
            out.push_back(std::to_string(flag));
        }
        for (const AttachmentEntry& a : m.attachments) {
            out.push_back(a.path.string());
        }
        return out;
    };
    EXPECT_EQ(fields(loaded), fields(parsed));
    EXPECT_EQ(loaded.otherHeaderCount, static_cast<int>(parsed.otherHeaders.size()));
}

TEST(ParseMessage, DepthAndPartLimitsLeaveTheRestAsText) {
    MimeFixture fx;
    std::string text = "Content-Type: multipart/mixed; boundary=b0\n\n--b0\n";
    for (int i = 1; i <= 150; ++i) {
        text += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" +
                std::to_string(i) + "\n";
    }
    text += "Content-Type: text/plain\n\ndeep\n";
    MailMessage m;
    ParseResult r = fx.Parse(m, text);
    EXPECT_TRUE(r.limitReached);
    EXPECT_LE(r.partCount, kMaxMimeParts + 1);
    EXPECT_GT(m.bodyLineCount, 0);
    EXPECT_EQ(fx.Body(m).back(), "deep");

    std::string many = "Content-Type: multipart/mixed; boundary=m\n\n";
    for (int i = 0; i < kMaxMimeParts + 50; ++i) {
        many += "--m\n\np\n";
    }
    many += "--m--\n";
    r = fx.Parse(m, many);
    EXPECT_TRUE(r.limitReached);
    EXPECT_EQ(fx.Body(m).back(), "--m--");
}

TEST(ParseMessage, TransportFormAndTerminator) {
    MimeFixture fx;
    MailMessage m;
    fx.Parse(m, "Subject: t\r\n\r\n..leading dot\r\n.\r\nafter terminator\r\n");
    EXPECT_EQ(m.subject, "t");
    EXPECT_EQ(fx.Body(m), (Lines{".leading dot"}));
    fx.Parse(m, "");
    EXPECT_EQ(fx.Body(m), (Lines{""}));
    fx.Parse(m, "no colon and no end");
    EXPECT_EQ(m.otherHeaders, (Lines{"no colon and no end"}));
}

TEST(ParseMessage, TextIsConvertedFromItsCharsetIntoTheWorkingCodePage) {
    MimeFixture fx;  // UTF-8
    MailMessage m;
    fx.Parse(m, TwoParts("Content-Type: text/plain; charset=iso-8859-1\n"
                         "Content-Transfer-Encoding: quoted-printable\n\ncaf=E9 soft=\nbreak\n",
                         "Content-Type: text/plain; charset=ISO-2022-JP\n\n\x1b$B$\"\x1b(B\n"));
    EXPECT_EQ(fx.Body(m), (Lines{"caf\xC3\xA9 softbreak", std::string(64, '-'), "\xE3\x81\x82"}));

    // A plain single body is converted once; the stored copy says so.
    fx.Parse(m, "Content-Type: text/plain; charset=windows-1252\n\n\x93quoted\x94\n");
    EXPECT_EQ(fx.Body(m), (Lines{"\xE2\x80\x9Cquoted\xE2\x80\x9D"}));
    EXPECT_TRUE(m.decoded);
    MailMessage again;
    fx.options.trustStoreLines = true;
    fx.Parse(again, SerializeMessage(m, fx.dir.Path()));
    EXPECT_EQ(fx.Body(again), fx.Body(m));
    EXPECT_FALSE(
        ParseMessage(again, "Content-Type: text/plain; charset=us-ascii\n\nx\n", fx.options)
            .charsetJis);
}

TEST(ParseMessage, JapaneseSystemConvertsJisAndUtf8ToShiftJis) {
    MimeFixture fx(CodePage::kShiftJis);
    MailMessage m;
    ParseResult r = fx.Parse(m,
                             "Content-Type: text/plain; charset=\"ISO-2022-JP\"\n"
                             "Content-Transfer-Encoding: base64\n\n" +
                                 Base64EncodeText("\x1b$B$\"\x1b(B\n") + "\n");
    EXPECT_TRUE(r.charsetJis);
    EXPECT_EQ(fx.Body(m), (Lines{"\x82\xA0"}));
    fx.Parse(m, TwoParts("Content-Type: text/plain; charset=utf-8\n\n\xE3\x81\x82\n",
                         "Content-Type: text/plain; charset=iso-8859-1\n\n\xE9\n"));
    EXPECT_EQ(fx.Body(m), (Lines{"\x82\xA0", std::string(64, '-'), "\xE9"}));
}

TEST(ParseMessage, UuencodedAttachmentIsDecodedASecondTime) {
    MimeFixture fx;
    MailMessage m;
    fx.Parse(m, TwoParts("Content-Type: text/plain\n\nsee attachment\n",
                         "Content-Type: application/x-uuencode; name=\"hello.uue\"\n\n"
                         "begin 644 hello.txt\n&:&5L;&\\*\n`\nend\n"));
    ASSERT_EQ(m.attachments.size(), 2u);
    EXPECT_EQ(m.attachments[0].path.filename(), "hello.uue");
    EXPECT_EQ(m.attachments[1].path.filename(), "hello.txt");
    EXPECT_EQ(m.attachments[1].subtype, "plain");
    EXPECT_EQ(ReadFileBytes(m.attachments[1].path), "hello\n");
}

TEST(ParseMessage, AutoWrapBreaksLongReceivedLines) {
    MimeFixture fx;
    fx.options.autoWrap = true;
    fx.options.breakSets = LineBreakSets::Defaults(*fx.options.codePage);
    std::string words;
    for (int i = 0; i < 20; ++i) {
        words += "word" + std::to_string(i) + " ";
    }
    MailMessage m;
    fx.Parse(m, "Subject: w\n\n" + words + "\n");
    ASSERT_GE(m.bodyLineCount, 2);
    for (const std::string& line : fx.Body(m)) {
        EXPECT_LE(line.size(), 79u);
    }
    // Once decoded, a stored message is not wrapped again.
    fx.options.trustStoreLines = true;
    fx.Parse(m, "X-Marlo-Decorded:1\n\n" + words + "\n");
    EXPECT_EQ(m.bodyLineCount, 1);
}

TEST(DecodeFormData, FieldsAndValues) {
    EXPECT_EQ(DecodeFormData("name=J%41ne+Doe&msg=line1%0D%0Aline2&x=%4\n1"),
              (Lines{"name:", "JAne Doe", "", "msg:", "line1", "line2", "", "x:", "A", ""}));
    EXPECT_TRUE(DecodeFormData("").empty());
    EXPECT_EQ(DecodeFormData("a=b\n.\n"), (Lines{"a:", "b", ""}));

    MimeFixture fx;
    MailMessage m;
    fx.Parse(m, "Content-Type: application/x-www-form-urlencoded\n\nq=1&r=2\n");
    EXPECT_EQ(fx.Body(m), (Lines{"q:", "1", "", "r:", "2", ""}));
    EXPECT_TRUE(m.decoded);
}

TEST(SerializeMessage, RoundTripsThroughParseMessage) {
    MimeFixture fx;
    MailMessage m;
    m.from = "a@x";
    m.to = "b@x";
    m.cc = "c@x";
    m.resentTo = "r@x";
    m.subject = "s";
    m.date = "Mon, 07 Dec 1998 09:45:03 +0900";
    m.priority = 4;
    m.status = "O";
    m.read = true;
    m.replied = true;
    m.encoding = 1;
    m.decoded = true;
    m.AddOtherHeader("X-Other: 1");
    m.attachments.push_back({fx.Attach() / "f.zip", "application", "x-zip-compressed", "base64"});
    m.attachments.push_back({"/elsewhere/g.gif", "image", "gif", "base64"});
    for (const char* line : {".", "..x", ".y", "plain"}) {
        m.AddBodyLine(line);
    }
    std::string stored = SerializeMessage(m, fx.dir.Path());
    EXPECT_EQ(stored.substr(0, 34), "From:a@x\nTo:b@x\nCc:c@x\nResent-To:r");
    EXPECT_NE(stored.find("\nStatus:RO\n"), std::string::npos);
    EXPECT_NE(stored.find("\nX-Marlo-Attachment-File:f.zip\n"
                          "X-Marlo-Attachment-File:/elsewhere/g.gif\n"),
              std::string::npos);
    EXPECT_TRUE(stored.ends_with("\n\n..\n...x\n.y\nplain\n.\n"));

    fx.options.trustStoreLines = true;
    MailMessage back;
    fx.Parse(back, stored);
    EXPECT_EQ(back.from, m.from);
    EXPECT_EQ(back.resentTo, m.resentTo);
    EXPECT_EQ(back.priority, 4);
    EXPECT_TRUE(back.read);
    EXPECT_TRUE(back.replied);
    EXPECT_EQ(back.encoding, 1);
    EXPECT_EQ(back.otherHeaders, (Lines{"X-Other: 1"}));
    EXPECT_EQ(fx.Body(back), fx.Body(m));
    EXPECT_EQ(fx.AttachmentNames(back), (Lines{"f.zip", "g.gif"}));
    EXPECT_EQ(SerializeMessage(back, fx.dir.Path()), stored);
}

}  // namespace
}  // namespace corvina::test

namespace corvina::test {
namespace {

// The attachment bytes of base64 parts equal what the general body decoder
// gives, for regular bodies and for every irregular shape it handles.
TEST(ParseMessage, Base64PartsDecodeLikeTheGeneralBodyDecoder) {
    std::mt19937 rng(5);
    std::vector<std::string> bodies;
    for (std::size_t size : {0u, 1u, 2u, 3u, 57u, 58u, 1000u, 4097u}) {
        std::string blob(size, '\0');
        for (char& c : blob) {
            c = static_cast<char>(rng());
        }
        std::string all = Base64EncodeText(blob);
        std::string lines;
        std::string crlf;
        for (std::size_t p = 0; p < all.size(); p += 76) {
            lines += all.substr(p, 76) + "\n";
            crlf += all.substr(p, 76) + "\r\n";
        }
        bodies.push_back(lines);
        bodies.push_back(crlf + "\n\n");
        if (all.size() > 10) {
            bodies.push_back(all.substr(0, 10) + "\n" + all.substr(10) + "\n");  // short line
            bodies.push_back(all.substr(0, 8) + " \n" + all.substr(8) + "\n");   // blank inside
            bodies.push_back("QQ==\n" + lines);  // padding before more data
            bodies.push_back(lines + "-- trailer\n");
        }
    }
    for (const std::string& body : bodies) {
        MimeFixture fx;
        MailMessage m;
        fx.Parse(m, TwoParts("Content-Type: application/octet-stream\n"
                             "Content-Transfer-Encoding: base64\n\n" +
                                 body,
                             "Content-Type: text/plain\n\nx\n"));
        ASSERT_EQ(m.attachments.size(), 1u);
        EXPECT_EQ(ReadFileBytes(m.attachments[0].path), Base64DecodeBody(body).bytes) << body;
    }
}

}  // namespace
}  // namespace corvina::test
