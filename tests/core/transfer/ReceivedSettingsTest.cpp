// Received mail as the settings shape it: the receive job parses with the
// MIME type rows and AutoWrap of the settings, and a read mark written by
// the sender or another program does not survive the trip.

#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "StoreBackedHost.h"
#include "TestSupport.h"
#include "app/AppState.h"
#include "message/mime/MessageOptions.h"
#include "platform/ConfigStore.h"
#include "transfer/MailSession.h"
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
    MailSession session(transfer, host);
    ConfigureSession(session, state);
    ReceiveOutcome outcome = session.Receive(false);
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

}  // namespace
}  // namespace corvina
