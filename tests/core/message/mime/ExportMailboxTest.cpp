// Received mail with attachments goes through the store and the UNIX-mailbox
// export, and Python's mailbox module reads the export back: every
// attachment byte for byte with a usable type, every text in its charset.
// Also the export's text form on the Japanese system and on a single-byte
// code page.
#include <gtest/gtest.h>

#include <cstdlib>

#include "MimeTestSupport.h"
#include "message/mime/OutgoingText.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina::test {
namespace {

using Lines = std::vector<std::string>;

// For each message: "subject|from" and per part its type, charset, file
// name and transfer encoding; attachments are written to <dir>/<n>-<name>,
// text parts to <dir>/<n>-text with the file's CR LF line ends made LF.
const char kReader[] = R"(import mailbox, sys, os
from email.header import decode_header, make_header
box = mailbox.mbox(sys.argv[1])
out = open(sys.argv[2], 'w', encoding='utf-8')
for n, m in enumerate(box):
    out.write('%s|%s\n' % (make_header(decode_header(m['Subject'])),
                           make_header(decode_header(m['From']))))
    for part in m.walk():
        if part.is_multipart():
            continue
        name = part.get_filename()
        data = part.get_payload(decode=True)
        out.write('%s %s %s %s\n' % (part.get_content_type(), part.get_content_charset(),
                                     name, part.get('Content-Transfer-Encoding', '').lower()))
        if name:
            open(os.path.join(sys.argv[3], '%d-%s' % (n, name)), 'wb').write(data)
        else:
            text = data.decode(part.get_content_charset() or 'ascii').replace('\r\n', '\n')
            open(os.path.join(sys.argv[3], '%d-text' % n), 'w', encoding='utf-8').write(text)
out.close()
)";

bool HavePython() {
    return std::system("python3 -c 'import mailbox' >/dev/null 2>&1") == 0;
}

std::string Data(const std::string& name) {
    return ReadFileBytes(DataPath("export/" + name));
}

// A message file in the transfer form the parser reads: lines beginning
// with "." doubled, so that a "." line of the text does not end it.
std::string Stuffed(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == '.') {
            out += '.';
        }
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

TEST(ExportMailbox, PythonReadsAttachmentsByteForByteAndTextInItsCharset) {
    if (!HavePython()) {
        GTEST_SKIP() << "python3 is not available";
    }
    MimeFixture fx;
    auto received = std::make_unique<MailMessage>();
    fx.Parse(*received, Stuffed(Data("received-with-attachments.eml")));
    ASSERT_EQ(fx.AttachmentNames(*received), (Lines{"beach.png", "plan.pdf", "cities.csv"}));
    // As the client keeps it: stored decoded, read back from the folder file.
    StoreContext context{fx.dir.Path(), nullptr};
    ASSERT_TRUE(AppendToFolderFile(*received, "InBox", context));
    MailFolder folder(fx.dir / "InBox.mbx");
    ASSERT_TRUE(LoadFolder(folder, context));
    ASSERT_EQ(folder.messages.size(), 1u);
    MailMessage& stored = *folder.messages[0];
    LoadMessageBody(stored);
    ASSERT_EQ(stored.attachments.size(), 3u);

    OutgoingOptions options;
    options.codePage = &CodePage::Get(CodePage::kUtf8);
    options.dateText = "Tue, 08 Dec 1998 10:00:00 +0100";
    const std::filesystem::path mbox = fx.dir / "out.mbox";
    ASSERT_TRUE(ExportMessage(stored, mbox, "", true, options));
    ASSERT_TRUE(ExportMessage(stored, mbox, "", true, options));

    std::filesystem::create_directories(fx.dir / "back");
    WriteFileBytes(fx.dir / "reader.py", kReader);
    const std::string read = "python3 '" + (fx.dir / "reader.py").string() + "' '" + mbox.string() +
                             "' '" + (fx.dir / "parts.txt").string() + "' '" +
                             (fx.dir / "back").string() + "'";
    ASSERT_EQ(std::system(read.c_str()), 0) << ReadFileBytes(mbox);

    const std::string summary =
        "Fotos de M\xC3\xA1laga|Jos\xC3\xA9 Garc\xC3\xAD"
        "a <jose@example.org>\n"
        "text/plain utf-8 None quoted-printable\n"
        "application/octet-stream None beach.png base64\n"
        "application/octet-stream None plan.pdf base64\n"
        "application/octet-stream None cities.csv base64\n";
    EXPECT_EQ(ReadFileBytes(fx.dir / "parts.txt"), summary + summary);
    for (int n : {0, 1}) {
        const std::string prefix = std::to_string(n) + "-";
        for (const char* name : {"beach.png", "plan.pdf", "cities.csv"}) {
            EXPECT_EQ(ReadFileBytes(fx.dir / "back" / (prefix + name)), Data(name)) << name;
        }
        const std::string text = ReadFileBytes(fx.dir / "back" / (prefix + "text"));
        EXPECT_EQ(text.substr(0, 59),
                  "Hall\xC3\xB3, here are the pictures from M\xC3\xA1laga.\n"
                  ">From the beach");
        EXPECT_NE(text.find("\n.\nCheers\n"), std::string::npos) << text;
        // The csv text part was shown in the body, made UTF-8 on arrival.
        EXPECT_NE(text.find("Jos\xC3\xA9;M\xC3\xA1laga"), std::string::npos) << text;
    }
}

MailMessage EightBitMessage(std::string_view subject, std::string_view body) {
    MailMessage m(0);
    m.from = "ann@example.org";
    m.to = "bob@example.org";
    m.subject = subject;
    m.transferEncoding = "base64";  // as received; the stored body is decoded text
    m.AddBodyLine(body);
    return m;
}

TEST(ExportMailbox, TextFormFollowsTheWorkingCodePage) {
    ScratchDir dir;
    OutgoingOptions options;
    options.dateText = "Tue, 08 Dec 1998 10:00:00 +0100";

    // A single-byte code page: labelled, encoded words, quoted-printable.
    options.codePage = &CodePage::Get(1252);
    ASSERT_TRUE(ExportMessage(EightBitMessage("Caf\xE9", "cr\xE8me"), dir / "1252.txt", "", false,
                              options));
    EXPECT_EQ(ReadFileBytes(dir / "1252.txt"),
              "To: bob@example.org\r\nFrom: ann@example.org\r\n"
              "Subject: =?windows-1252?B?Q2Fm6Q==?=\r\nMIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=windows-1252\r\n"
              "Content-Transfer-Encoding: Quoted-Printable\r\n\r\ncr=E8me\r\n");

    // A signed body stays byte for byte under its own type line.
    MailMessage signedMessage = EightBitMessage("s", "--b");
    signedMessage.transferEncoding = "7bit";
    signedMessage.contentType = "multipart";
    signedMessage.contentSubtype = "signed";
    signedMessage.AddOtherHeader("Content-Type: multipart/signed; boundary=b; protocol=x");
    signedMessage.AddBodyLine("caf\xE9");
    ASSERT_TRUE(ExportMessage(signedMessage, dir / "signed.txt", "", false, options));
    const std::string signedText = ReadFileBytes(dir / "signed.txt");
    EXPECT_NE(signedText.find("\r\nContent-Type: multipart/signed; boundary=b; protocol=x\r\n"
                              "Content-Transfer-Encoding: 7bit\r\n\r\n--b\r\ncaf\xE9\r\n"),
              std::string::npos)
        << signedText;

    // The Japanese system keeps Shift_JIS as stored, without a label; the
    // received base64 label no longer fits the decoded body.
    options.codePage = &CodePage::Get(CodePage::kShiftJis);
    ASSERT_TRUE(ExportMessage(EightBitMessage("\x93\xfa\x96\x7b", "\x82\xa0"), dir / "932.txt", "",
                              false, options));
    EXPECT_EQ(ReadFileBytes(dir / "932.txt"),
              "To: bob@example.org\r\nFrom: ann@example.org\r\nSubject: \x93\xfa\x96\x7b\r\n"
              "MIME-Version: 1.0\r\nContent-Type: text/plain\r\n"
              "Content-Transfer-Encoding: 8bit\r\n\r\n\x82\xa0\r\n");
}

}  // namespace
}  // namespace corvina::test
