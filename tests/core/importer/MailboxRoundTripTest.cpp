// A UNIX mailbox written by Python's mailbox module goes through the
// import, the store and the UNIX-mailbox export, and Python reads the
// exported file back: the same number of messages with the same bodies,
// apart from the one ">" that mbox quoting adds before "From " lines.
// Also: a group recipient made by the address book expands to the group,
// and a backup log is read back through the real message parser.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "addressbook/AddressBook.h"
#include "common/CodePage.h"
#include "compose/RecipientGroups.h"
#include "importer/MailImport.h"
#include "message/MailMessage.h"
#include "message/mime/MessageParser.h"
#include "message/mime/OutgoingText.h"
#include "store/BackupLog.h"
#include "store/ExportRun.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

constexpr int kMessages = 1000;

const char kWriter[] = R"(import mailbox, sys
from email.message import Message
box = mailbox.mbox(sys.argv[1])
for i in range(int(sys.argv[2])):
    m = Message()
    m['From'] = 'sender%d@example.org' % i
    m['To'] = 'you@example.org'
    m['Subject'] = 'message %d' % i
    m['Date'] = 'Mon, 07 Dec 1998 09:%02d:03 +0000' % (i % 60)
    body = 'line one of %d\n' % i
    if i % 3 == 0:
        body += 'From the start of a line\n>From quoted already\n'
    if i % 5 == 0:
        body += '.\nmiddle\n.\n'
    if i % 7 == 0:
        body += '\n\nafter blank lines\n'
    body += 'last line\n'
    m.set_payload(body)
    box.add(m)
box.flush()
)";

// One body per line of output, newlines written as "\n" escapes.
const char kReader[] = R"(import mailbox, sys
box = mailbox.mbox(sys.argv[1])
out = open(sys.argv[2], 'w', newline='')
for m in box:
    body = m.get_payload().replace('\r\n', '\n')
    out.write(body.replace('\\', '\\\\').replace('\n', '\\n') + '\n')
out.close()
)";

std::string Escaped(std::string_view body) {
    std::string out;
    for (char c : body) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

// The body as an mboxrd writer quotes it: one more ">" before every line
// that reads "From " after any ">".
std::string Quoted(std::string_view body) {
    std::string out;
    std::size_t pos = 0;
    while (pos < body.size()) {
        std::size_t lf = body.find('\n', pos);
        std::string_view line = body.substr(pos, lf == std::string_view::npos ? lf : lf - pos + 1);
        pos = lf == std::string_view::npos ? body.size() : lf + 1;
        std::size_t i = 0;
        while (i < line.size() && line[i] == '>') {
            ++i;
        }
        if (line.substr(i).starts_with("From ")) {
            out += '>';
        }
        out += line;
    }
    return out;
}

bool HavePython() {
    return std::system("python3 -c 'import mailbox' >/dev/null 2>&1") == 0;
}

TEST(MailboxRoundTrip, PythonMboxThroughImportAndUnixExport) {
    if (!HavePython()) {
        GTEST_SKIP() << "python3 is not available";
    }
    ScratchDir dir;
    WriteFileBytes(dir / "writer.py", kWriter);
    WriteFileBytes(dir / "reader.py", kReader);
    const std::string write = "python3 '" + (dir / "writer.py").string() + "' '" +
                              (dir / "in.mbox").string() + "' " + std::to_string(kMessages);
    ASSERT_EQ(std::system(write.c_str()), 0);

    ImportRequest request;
    request.type = 1;
    request.input = dir / "in.mbox";
    request.output = dir / "Import.mbx";
    request.tempDirectory = dir.Path();
    request.codePage = &CodePage::Get(CodePage::kUtf8);
    ImportOutcome outcome = RunImport(request);
    ASSERT_EQ(outcome.status, ImportOutcome::Status::kImported);
    EXPECT_EQ(outcome.count, kMessages);

    MailFolder folder(dir / "Import.mbx");
    StoreContext context{dir.Path(), nullptr};
    ASSERT_TRUE(LoadFolder(folder, context));
    ASSERT_EQ(folder.messages.size(), static_cast<std::size_t>(kMessages));
    std::vector<std::string> imported;
    std::vector<MailMessage*> all;
    for (auto& m : folder.messages) {
        LoadMessageBody(*m);
        imported.push_back(m->bodyLines.Joined());
        ReleaseMessageBody(*m);
        all.push_back(m.get());
    }
    EXPECT_EQ(folder.messages[3]->subject, "message 3");
    EXPECT_NE(imported[0].find("\n>From the start of a line\n"), std::string::npos);
    EXPECT_NE(imported[5].find("\n.\nmiddle\n.\n"), std::string::npos);

    ExportSettings settings;
    settings.file = (dir / "out.mbox").string();
    settings.unix = 1;
    OutgoingOptions options;
    options.codePage = &CodePage::Get(CodePage::kUtf8);
    options.tempDirectory = dir.Path();
    EXPECT_EQ(RunExport(all, settings, true, options, nullptr), kMessages);

    const std::string read = "python3 '" + (dir / "reader.py").string() + "' '" +
                             (dir / "out.mbox").string() + "' '" + (dir / "bodies.txt").string() +
                             "'";
    ASSERT_EQ(std::system(read.c_str()), 0);
    const std::string bodies = ReadFileBytes(dir / "bodies.txt");
    std::vector<std::string> back;
    for (std::size_t pos = 0; pos < bodies.size();) {
        std::size_t lf = bodies.find('\n', pos);
        back.push_back(bodies.substr(pos, lf - pos));
        pos = lf + 1;
    }
    ASSERT_EQ(back.size(), static_cast<std::size_t>(kMessages));
    int differing = 0;
    for (int i = 0; i < kMessages; ++i) {
        if (back[i] != Escaped(Quoted(imported[i]))) {
            if (++differing <= 3) {
                ADD_FAILURE() << "message " << i << "\nexported: " << back[i]
                              << "\nimported: " << Escaped(Quoted(imported[i]));
            }
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST(AddressBookDelivery, GroupRecipientExpandsToTheGroup) {
    ScratchDir dir;
    AddressBook book(dir / "AddrBook", nullptr);
    ASSERT_NE(book.NewGroup("My Team", "team"), nullptr);
    AddressEntry a, b;
    a.address = "ann@example.org";
    b.address = "ben@example.org";
    b.name = "Ben";
    ASSERT_EQ(book.AddAddress("My Team", a), AddressBook::AddResult::kAdded);
    ASSERT_EQ(book.AddAddress("My Team", b), AddressBook::AddResult::kAdded);
    ASSERT_TRUE(book.SaveAll());
    AddressEntry item;
    item.kind = AddressEntry::Kind::Group;
    item.name = "My Team";
    EXPECT_EQ(ExpandRecipients(FormatRecipient(item), AddressBookGroups(dir / "AddrBook")),
              "ann@example.org,ben@example.org");
}

TEST(BackupLogRestore, ParsesAsReceivedMailWithoutTrustingStoreLines) {
    ScratchDir dir;
    // As the receiver appends them: header unfolded, lines in transfer form.
    WriteFileBytes(dir / "19981207.mol",
                   "From: a@example.org\nSubject: first\n"
                   "X-Marlo-Attachment-File: /etc/passwd\n\n..dotted\nplain\n.\n"
                   "From: me@example.org\nSubject: second\nStatus: R\n\nbody\n.\n"
                   "From: x@example.org\nSubject: cut off\n\npart");
    MailFolder inbox(dir / "InBox.mbx");
    StoreContext context{dir.Path(), nullptr};
    ParseOptions options;
    options.mailboxDirectory = dir.Path();
    options.ownAddress = "me@example.org";
    options.codePage = &CodePage::Get(CodePage::kUtf8);
    ASSERT_EQ(ReceiveBackupLog(dir / "19981207.mol", context, options, nullptr), 2);
    MailFolder check(dir / "InBox.mbx");
    ASSERT_TRUE(LoadFolder(check, context));
    ASSERT_EQ(check.messages.size(), 2u);
    EXPECT_EQ(check.messages[0]->subject, "first");
    EXPECT_TRUE(check.messages[0]->attachments.empty());
    LoadMessageBody(*check.messages[0]);
    EXPECT_EQ(check.messages[0]->bodyLines.Joined(), ".dotted\nplain\n");
    // Even mail from the account's own address comes back unread.
    EXPECT_FALSE(check.messages[1]->read);
    EXPECT_EQ(check.messages[1]->subject, "second");
}

}  // namespace
}  // namespace corvina
