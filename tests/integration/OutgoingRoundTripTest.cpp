// Outgoing mail as written: messages composed with corvina --compose, sent
// with --deliver through the real Postfix, taken from the recipients'
// maildirs and read with Python's email package. Every address, display
// name, file name and byte must read as it was sent.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "BatchProcess.h"
#include "MailServers.h"
#include "OutgoingTextPython.h"
#include "TestSupport.h"
#include "common/CodePage.h"

namespace corvina {
namespace {

using test::BatchProcess;
using test::BatchResult;
using test::Hex;
using test::MailServers;
using test::PythonRow;
using test::ReadWithPython;
using test::RowsOf;
using Rows = std::vector<PythonRow>;

MailServers& Servers() {
    return MailServers::Get();
}

// Dave's client on plain SMTP; `extra` adds settings and profile values.
struct Sender {
    Sender(int codePage, const std::string& name, const std::string& settings,
           const std::string& profile)
        : batch(dir.Path()) {
        batch.WriteConfig("CodePage = " + std::to_string(codePage) + "\nTimeout = 30\n" + settings +
                          "[Users\\0]\nAccount = dave\nName = " + name +
                          "\nAddress = dave@example.test\nUser = dave\n"
                          "POP = 127.0.0.1\nPOP3Port = " +
                          std::to_string(Servers().pop3) + "\nSMTP = 127.0.0.1\nSMTPPort = " +
                          std::to_string(Servers().smtp) + "\n" + profile);
    }
    BatchResult Run(const std::vector<std::string>& args) {
        BatchResult r = batch.Run(args);
        EXPECT_EQ(r.exitCode, 0) << args[0] << " failed:\n" << r.err << Servers().Logs();
        return r;
    }
    test::ScratchDir dir;
    BatchProcess batch;
};

class OutgoingRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Servers().Ok()) << Servers().Failure();
        for (const char* user : {"bob", "carol", "dave", "erin", "frank"}) {
            Servers().ClearMaildir(user);
        }
    }
    // The one message the user received.
    static std::string Received(const char* user) {
        EXPECT_TRUE(Servers().WaitForMessages(user, 1)) << user << Servers().Logs();
        std::vector<std::string> messages = Servers().Messages(user);
        EXPECT_EQ(messages.size(), 1u) << user;
        return messages.empty() ? std::string() : messages[0];
    }
};

std::string Repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

// One round trip per working code page: display names with commas, quotes
// and parentheses in From, To and Cc (the account's permanent Cc and Bcc
// added once), a long non-ASCII file name and an attached message.
TEST_F(OutgoingRoundTrip, NamesFileNamesAndAnAttachedMessageReadAsSent) {
    struct Case {
        int codePage;
        std::string fromName, toName, ccName, permanentName, subject, stem;
    };
    const CodePage& sjis = CodePage::Get(CodePage::kShiftJis);
    for (const Case& c : {
             Case{CodePage::kUtf8, "M\xC3\xBCller, J\xC3\xBCrgen (B\xC3\xBCro)",
                  "J\xC3\xBCrgen \"JJ\" Gro\xC3\x9F", "\xC3\x86r\xC3\xB8, \xC3\x85se",
                  "Ren\xC3\xA9"
                  "e (\xC3\x9Cnal)",
                  "Gr\xC3\xBC\xC3\x9F"
                  "e, \"J\xC3\xBCrgen\"",
                  Repeat("\xC3\xBC", 120)},
             Case{CodePage::kShiftJis, sjis.FromUtf8("山田, 太郎"),
                  sjis.FromUtf8("ソニー \"営業\""), sjis.FromUtf8("表 (本社)"),
                  sjis.FromUtf8("能力, 予定"), sjis.FromUtf8("件名, \"テスト\""),
                  Repeat(sjis.FromUtf8("日"), 120)},
         }) {
        SCOPED_TRACE(c.codePage);
        SetUp();
        const CodePage& cp = CodePage::Get(c.codePage);
        auto utf8 = [&](const std::string& text) { return cp.IsUtf8() ? text : cp.ToUtf8(text); };
        // The names are typed quoted, as the address book inserts them.
        auto quoted = [](const std::string& name) {
            std::string out = "\"";
            for (char ch : name) {
                out += ch == '"' ? "\\\"" : std::string(1, ch);
            }
            return out + "\"";
        };
        Sender dave(c.codePage, c.fromName, "",
                    "PermanentCc = " + quoted(c.permanentName) +
                        " <carol@example.test>\n"
                        "PermanentBcc = frank@example.test\n");
        const std::string pdf("%PDF-1.4\n\x00\x01\xFF binary\n", 20);
        const std::filesystem::path attachment = dave.dir / (c.stem + ".pdf");
        test::WriteFileBytes(attachment, pdf);
        const std::string eml =
            test::ReadFileBytes(test::DataPath("outgoing/attached-message.eml"));
        test::WriteFileBytes(dave.dir / "forwarded.eml", eml);
        test::WriteFileBytes(dave.dir / "body.txt", "Hello\n");

        dave.Run({"--compose", "--to", quoted(c.toName) + " <erin@example.test>", "--to",
                  quoted(c.ccName) + " <bob@example.test>", "--cc",
                  "\"Doe, John\" <dave@example.test>", "--subject", c.subject, "--body-file",
                  (dave.dir / "body.txt").string(), "--attach", attachment.string(), "--attach",
                  (dave.dir / "forwarded.eml").string()});
        BatchResult deliver = dave.Run({"--deliver", "--verbose"});

        const std::string wire = Received("erin");
        if (wire.empty()) {
            ADD_FAILURE() << deliver.err;
        }
        Rows rows = ReadWithPython(wire);
        const Rows want = {
            {"From", utf8(c.fromName), "dave@example.test"},
            {"To", utf8(c.toName), "erin@example.test"},
            {"To", utf8(c.ccName), "bob@example.test"},
            {"Cc", "Doe, John", "dave@example.test"},
            {"Cc", utf8(c.permanentName), "carol@example.test"},
        };
        EXPECT_EQ(RowsOf(rows, "address"), want) << wire;
        EXPECT_EQ(RowsOf(rows, "getaddresses"), want) << wire;
        EXPECT_EQ(RowsOf(rows, "defect"), Rows{}) << wire;
        EXPECT_EQ(RowsOf(rows, "subject"), Rows{{utf8(c.subject)}});

        Rows parts = RowsOf(rows, "part");
        ASSERT_EQ(parts.size(), 2u) << wire;
        EXPECT_TRUE(parts[0][3].starts_with(Hex("Hello\n"))) << parts[0][3];
        // The long name is cut before its extension, never inside a word.
        const std::string name = parts[1][1];
        const std::string whole = utf8(c.stem + ".pdf");
        EXPECT_TRUE(name.ends_with(".pdf")) << name;
        EXPECT_TRUE(whole.starts_with(name.substr(0, name.size() - 4))) << name;
        EXPECT_GT(name.size(), 60u) << name;
        EXPECT_EQ(parts[1][3], Hex(pdf));
        Rows messages = RowsOf(rows, "message");
        ASSERT_EQ(messages.size(), 1u) << wire;
        EXPECT_EQ(messages[0][0], "forwarded.eml");
        EXPECT_EQ(messages[0][1], "8bit");
        EXPECT_EQ(messages[0][3], "The enclosed message");
        std::string enclosedBody = eml.substr(eml.find("\r\n\r\n") + 4);
        // Its lines arrive as they were; the last one now ends a line.
        std::string lf;
        for (char ch : enclosedBody) {
            if (ch != '\r') {
                lf += ch;
            }
        }
        EXPECT_EQ(messages[0][4], Hex(lf + "\n"));

        // Each recipient, the permanent ones included, got exactly one copy;
        // the Bcc address shows nowhere.
        auto ourHeader = [](const std::string& copy) {
            std::size_t to = copy.find("\nTo: ");
            return to == std::string::npos ? copy : copy.substr(to);
        };
        for (const char* user : {"bob", "carol", "dave", "frank"}) {
            EXPECT_EQ(ourHeader(Received(user)), ourHeader(wire)) << user;
        }
        EXPECT_EQ(wire.find("frank@"), std::string::npos);
    }
}

// DefEncode 1: a new message's attachments go uuencoded.
TEST_F(OutgoingRoundTrip, NewMessagesTakeTheDefEncodeSetting) {
    Sender dave(CodePage::kUtf8, "Dave", "DefEncode = 1\n", "");
    test::WriteFileBytes(dave.dir / "data.bin", std::string("\x00\x01\x02\xFF", 4));
    dave.Run({"--compose", "--to", "erin@example.test", "--subject", "uuencoded", "--attach",
              (dave.dir / "data.bin").string()});
    dave.Run({"--deliver"});
    Rows parts = RowsOf(ReadWithPython(Received("erin")), "part");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1][0], "application/x-uuencode");
    EXPECT_EQ(parts[1][1], "data.uue");
    EXPECT_EQ(parts[1][2], "7bit");
}

// A file attached by --compose and deleted before --deliver: the delivery
// fails naming the file, the message goes where a failed one goes (Sent,
// marked "E") and nothing reaches the recipient.
TEST_F(OutgoingRoundTrip, AnAttachmentDeletedBeforeDeliveryFailsNamingTheFile) {
    Sender dave(CodePage::kUtf8, "Dave", "", "");
    const std::filesystem::path report = dave.dir / "report.pdf";
    test::WriteFileBytes(report, "%PDF");
    dave.Run({"--compose", "--to", "erin@example.test", "--subject", "with a report", "--attach",
              report.string()});
    std::filesystem::remove(report);
    BatchResult deliver = dave.batch.Run({"--deliver"});
    EXPECT_EQ(deliver.exitCode, 1) << deliver.err;
    EXPECT_NE(dave.Run({"--list", "Sent"}).out.find("\tE\n"), std::string::npos);
    BatchResult notice = dave.Run({"--show", "InBox", "1"});
    EXPECT_NE(notice.out.find("Mail sending error!"), std::string::npos) << notice.out;
    EXPECT_NE(notice.out.find("\"" + report.string() + "\""), std::string::npos) << notice.out;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(Servers().Messages("erin").empty());
}

}  // namespace
}  // namespace corvina
