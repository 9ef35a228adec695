// Received mail as the settings shape it: the receive job parses with the
// MIME type rows and AutoWrap of the settings, and a read mark written by
// the sender or another program does not survive the trip.

#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "StoreBackedHost.h"
#include "TestSupport.h"
#include "app/AppState.h"
#include "common/CodePage.h"
#include "message/mime/MessageOptions.h"
#include "platform/ConfigStore.h"
#include "transfer/MailSession.h"
#include "transfer/ReceiveJob.h"
#include "transfer/RemoteMailbox.h"
#include "transfer/SessionSetup.h"

namespace corvina {
namespace {

using test::ScriptedServer;
using test::ServerConnection;

// A maildrop holding `messages` (each ending in CR LF, no line starting ".").
void Serve(ServerConnection& c, const std::vector<std::string>& messages) {
    c.SendLine("+OK ready");
    while (auto line = c.ReadLine()) {
        const std::string& l = *line;
        const std::string count = std::to_string(messages.size());
        if (l.rfind("USER", 0) == 0 || l.rfind("PASS", 0) == 0 || l.rfind("DELE", 0) == 0) {
            c.SendLine("+OK");
        } else if (l == "STAT") {
            c.SendLine("+OK " + count + " 1000");
        } else if (l == "LIST" || l == "UIDL") {
            std::string text = "+OK\r\n";
            for (size_t i = 1; i <= messages.size(); ++i) {
                text += std::to_string(i) +
                        (l == "LIST" ? " 500\r\n" : " u" + std::to_string(i) + "\r\n");
            }
            c.Send(text + ".\r\n");
        } else if (l.rfind("TOP ", 0) == 0) {
            const std::string& m = messages.at(std::stoul(l.substr(4)) - 1);
            c.Send("+OK\r\n" + m.substr(0, m.find("\r\n\r\n") + 4) + ".\r\n");
        } else if (l.rfind("RETR ", 0) == 0) {
            const size_t n = std::stoul(l.substr(5));
            c.Send("+OK\r\n" + messages.at(n - 1) + ".\r\n");
        } else if (l == "QUIT") {
            c.SendLine("+OK bye");
            return;
        } else {
            c.SendLine("-ERR unknown");
        }
    }
}

TEST(ReceivedMail, SettingsShapeTheParseAndOutsideReadMarksAreDropped) {
    const std::vector<std::string> messages = {
        test::ReadFileBytes(test::DataPath("mime/status-read-mark-from-outside.eml")),
        test::ReadFileBytes(test::DataPath("mime/long-line-and-a-type-of-the-settings.eml"))};
    ScriptedServer server([&](ServerConnection& c) { Serve(c, messages); });
    test::ScratchDir dir;

    ConfigStore store;
    store.LoadFromText("[MimeType\\application/x-corvina-sample]\nExt=.smp\n");
    AppState state;
    state.current.pop = "127.0.0.1";
    state.current.pop3Port = server.Port();
    state.current.user = "u";
    state.current.pass = "p";
    state.current.address = "me@example.com";
    state.mailboxDirectory = dir.Path();
    state.settings.timeout = 10;
    state.settings.autoWrap = 1;
    state.mimeTypes = LoadMimeTypes(store);

    test::StoreBackedHost host(dir.Path());
    TransferState transfer;
    MailSession session(transfer, host, host);
    ConfigureSession(session, state);
    ReceiveOutcome outcome = ReceiveJob(session).Run(false);
    ASSERT_TRUE(outcome.ok) << session.LastError();
    ASSERT_EQ(outcome.stored, 2);
    server.Finish();

    std::vector<std::unique_ptr<MailMessage>> inbox = host.ReadFolder("InBox");
    ASSERT_EQ(inbox.size(), 2u);
    EXPECT_FALSE(inbox[0]->read);
    EXPECT_FALSE(inbox[1]->read);

    const std::string stored = test::ReadFileBytes(dir.Path() / "InBox.mbx");
    EXPECT_EQ(stored.find("Status:"), std::string::npos) << stored;
    EXPECT_NE(stored.find("\r\nX-Marlo-Attachment-File:Atch0000.smp\r\n"), std::string::npos)
        << stored;
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "Attach" / "Atch0000.smp"));
    // The long line is wrapped; no stored line is longer than a wrapped one.
    EXPECT_EQ(stored.find("never breaks its lines"), std::string::npos) << stored;
    EXPECT_NE(stored.find("so the reader has to.\r\n"), std::string::npos) << stored;
    const size_t start = stored.find("This paragraph");
    const size_t end = stored.find("\r\n.\r\n", start);
    ASSERT_NE(end, std::string::npos);
    for (size_t pos = start; pos < end;) {
        const size_t lineEnd = std::min(stored.find("\r\n", pos), end);
        EXPECT_LE(lineEnd - pos, 79u) << stored.substr(pos, lineEnd - pos);
        pos = lineEnd + 2;
    }
}

// A session on a maildrop holding `files`, with EUCReceive as given.
class FileMaildrop {
public:
    FileMaildrop(const std::vector<std::string>& files, bool eucReceive)
        : host_(dir_.Path()), session_(transfer_, host_, host_) {
        for (const std::string& file : files) {
            std::string crlf;
            for (char ch : test::ReadFileBytes(test::DataPath(file))) {
                crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
            }
            messages_.push_back(std::move(crlf));
        }
        AppState state;
        state.current.pop = "127.0.0.1";
        state.current.pop3Port = server_.Port();
        state.current.user = "u";
        state.current.pass = "p";
        state.mailboxDirectory = dir_.Path();
        state.settings.timeout = 10;
        state.settings.eucReceive = eucReceive ? 1 : 0;
        ConfigureSession(session_, state);
    }

    // The messages as the receive stores them.
    std::vector<std::unique_ptr<MailMessage>> Receive() {
        const ReceiveOutcome outcome = ReceiveJob(session_).Run(false);
        EXPECT_TRUE(outcome.ok) << session_.LastError();
        server_.Finish();
        return host_.ReadFolder("InBox");
    }

    // The subjects of the remote mailbox listing.
    std::vector<std::string> ListSubjects() {
        RemoteMailbox remote(session_);
        EXPECT_TRUE(remote.List(false)) << session_.LastError();
        std::vector<std::string> subjects;
        for (const RemoteRow& row : remote.Rows()) {
            subjects.push_back(row.subject);
        }
        remote.Close();
        server_.Finish();
        return subjects;
    }

private:
    std::vector<std::string> messages_;
    ScriptedServer server_{[this](ServerConnection& c) { Serve(c, messages_); }};
    test::ScratchDir dir_;
    test::StoreBackedHost host_;
    TransferState transfer_;
    MailSession session_;
};

// EUCReceive reads each parsed message as EUC-JP: unlabelled EUC-JP becomes
// W, while a message with a line that is not EUC-JP and text its sender
// labelled (even text that happens to be valid EUC-JP) stay as parsed.
TEST(ReceivedMail, EucReceiveConvertsWholeEucMessagesAfterTheParse) {
    const std::vector<std::string> files = {
        "mime/undeclared-euc-jp-every-line-valid.eml", "mime/undeclared-euc-jp.eml",
        "mime/labelled-utf-8-mentions-its-charset.eml", "mime/labelled-iso-2022-jp.eml"};
    struct Case {
        int codePage;
        std::string subject, firstLine, kanaLine;
    } const cases[] = {
        {CodePage::kShiftJis, "\x89\xEF\x8B\x63\x82\xCC\x97\x5C\x92\xE8",
         "\x96\xBE\x93\xFA\x82\xCC", "\xCA\xDD\xB6\xB8 kana and ASCII."},
        {CodePage::kUtf8, "会議の予定", "明日の", "ﾊﾝｶｸ kana and ASCII."},
    };
    struct SystemCodePageAfterwards {
        ~SystemCodePageAfterwards() { CodePage::SetWorking(0); }
    } restore;
    for (const Case& c : cases) {
        CodePage::SetWorking(c.codePage);
        const auto parsed = FileMaildrop(files, false).Receive();
        const auto received = FileMaildrop(files, true).Receive();
        ASSERT_EQ(parsed.size(), files.size());
        ASSERT_EQ(received.size(), files.size());
        const MailMessage& euc = *received[0];
        EXPECT_EQ(euc.subject, c.subject) << c.codePage;
        ASSERT_GE(euc.bodyLines.size(), 2u);
        EXPECT_TRUE(euc.bodyLines[0].Content().starts_with(c.firstLine)) << c.codePage;
        EXPECT_EQ(euc.bodyLines[1].Content(), c.kanaLine) << c.codePage;
        for (size_t i = 1; i < files.size(); ++i) {
            EXPECT_EQ(received[i]->subject, parsed[i]->subject) << files[i] << c.codePage;
            EXPECT_EQ(received[i]->from, parsed[i]->from) << files[i] << c.codePage;
            EXPECT_EQ(received[i]->bodyLines.Joined(), parsed[i]->bodyLines.Joined())
                << files[i] << c.codePage;
        }
        // The listing converts the headers alone, which are valid EUC-JP in
        // both unlabelled messages.
        const std::vector<std::string> listed = FileMaildrop(files, true).ListSubjects();
        EXPECT_EQ(listed, (std::vector<std::string>{c.subject, c.subject, parsed[2]->subject,
                                                    parsed[3]->subject}))
            << c.codePage;
    }
    // Without EUCReceive the parse keeps the undeclared EUC-JP bytes.
    EXPECT_EQ(FileMaildrop({files[0]}, false).Receive()[0]->subject,
              "\xB2\xF1\xB5\xC4\xA4\xCE\xCD\xBD\xC4\xEA");
}

}  // namespace
}  // namespace corvina
