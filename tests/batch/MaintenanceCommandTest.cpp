// The maintenance, export and address book commands through the real
// binary: a Python mbox imported and exported again as a UNIX mailbox,
// compaction and reorganisation, a backup log, the address book lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "BatchProcess.h"
#include "TestSupport.h"
#include "common/CodePage.h"
#include "importer/MailImport.h"

namespace corvina {
namespace {

using test::BatchProcess;
using test::BatchResult;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

struct Maintenance : ::testing::Test {
    ScratchDir dir;
    BatchProcess batch{dir.Path()};
    void SetUp() override {
        batch.WriteConfig("[Users\\0]\nAccount = Test\nAddress = me@example.org\n");
        std::filesystem::create_directories(batch.MailboxDir());
    }
    BatchResult Run(const std::vector<std::string>& args) { return batch.Run(args); }
};

TEST_F(Maintenance, PythonMailboxImportedAndExportedAsUnixMailbox) {
    if (std::system("python3 -c 'import mailbox' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3 is not available";
    }
    WriteFileBytes(dir / "w.py", R"(import mailbox, sys
from email.message import Message
box = mailbox.mbox(sys.argv[1])
for i in range(1000):
    m = Message()
    m['From'] = 's%d@example.org' % i
    m['Subject'] = 'm %d' % i
    m.set_payload('one\n' + ('From here\n.\n' if i % 4 == 0 else '') + 'last\n')
    box.add(m)
box.flush()
)");
    WriteFileBytes(dir / "r.py", R"(import mailbox, sys
ms = list(mailbox.mbox(sys.argv[1]))
assert len(ms) == 1000, len(ms)
for i, m in enumerate(ms):
    # the input's final newline gives the last message one more blank line
    want = 'one\n' + ('>>From here\n.\n' if i % 4 == 0 else '') + 'last\n\n'
    want += '\n' if i == 999 else ''
    got = m.get_payload().replace('\r\n', '\n')
    assert m['Subject'] == 'm %d' % i and got == want, (i, got)
)");
    const std::string in = (dir / "in.mbox").string(), out = (dir / "out.mbox").string();
    ASSERT_EQ(std::system(("python3 '" + (dir / "w.py").string() + "' '" + in + "'").c_str()), 0);
    ImportRequest request;
    request.input = in;
    request.output = batch.MailboxDir() / "Import.mbx";
    request.codePage = &CodePage::Get(CodePage::kUtf8);
    ASSERT_EQ(RunImport(request).count, 1000);

    BatchResult r = Run({"--export", "Import", out, "--unix"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::system(("python3 '" + (dir / "r.py").string() + "' '" + out + "'").c_str()), 0);
}

TEST_F(Maintenance, CompactReorganizeAndRestoreLog) {
    const std::filesystem::path inbox = batch.MailboxDir() / "InBox.mbx";
    WriteFileBytes(inbox,
                   "Received: x\r\nFrom: b@x\r\nSubject: late\r\nDate: Tue, 08 Dec 1998 10:00:00 "
                   "+0000\r\nX-Mailer: m\r\n\r\nb\r\n.\r\n"
                   "From: a@x\r\nSubject: early\r\nDate: Mon, 07 Dec 1998 10:00:00 "
                   "+0000\r\n\r\na\r\n.\r\n");
    BatchResult r = Run({"--compact", "InBox"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string file = ReadFileBytes(inbox);
    EXPECT_EQ(file.find("Received"), std::string::npos);
    EXPECT_NE(file.find("X-Mailer: m"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(batch.MailboxDir() / "InBox.bak"));  // CompactBack = 1
    ASSERT_EQ(Run({"--compact", "InBox", "--minimum"}).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(inbox).find("X-Mailer"), std::string::npos);

    ASSERT_EQ(Run({"--reorganize", "InBox"}).exitCode, 0);
    file = ReadFileBytes(inbox);
    EXPECT_LT(file.find("early"), file.find("late"));

    WriteFileBytes(dir / "log.mol", "From: c@x\nSubject: again\n\nc\n.\nFrom: d@x\n");
    r = Run({"--restore-log", (dir / "log.mol").string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("1 message(s) delivered"), std::string::npos);
    r = Run({"--folders"});
    EXPECT_NE(r.out.find("InBox\t3\t3"), std::string::npos) << r.out;

    EXPECT_EQ(Run({"--compact", "NoSuch"}).exitCode, 1);
    EXPECT_EQ(Run({"--compact"}).exitCode, 2);
    EXPECT_EQ(Run({"--reorganize", "InBox", "--minimum"}).exitCode, 2);
    EXPECT_EQ(Run({"--export", "InBox", "x", "--separator-top"}).exitCode, 2);
}

TEST_F(Maintenance, AddressBookLines) {
    ASSERT_EQ(Run({"--add-address", "Team", "ann@x", "--name", "Ann", "--nick", "an"}).exitCode, 0);
    ASSERT_EQ(Run({"--add-address", "Team", "bob@x"}).exitCode, 0);
    EXPECT_EQ(Run({"--add-address", "Team", "BOB@x", "--name", "New"}).exitCode, 1);
    EXPECT_EQ(Run({"--add-address", "Other", "cy@x", "--nick", "AN"}).exitCode, 1);
    EXPECT_EQ(ReadFileBytes(batch.Home() / "AddrBook" / "Team.adr"),
              "ann@x\tAnn\t.\tan\t.\t.\r\nbob@x\t.\t.\t.\t.\t.\r\n");
    BatchResult r = Run({"--addresses", "Team"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "ann@x\tAnn\t\tan\t\t\nbob@x\t\t\t\t\t\n");
    EXPECT_EQ(Run({"--addresses", "Nobody"}).exitCode, 1);
    // Group names as users write them: any case, the file's ".adr" in any case.
    EXPECT_EQ(Run({"--addresses", "TEAM"}).out, r.out);
    WriteFileBytes(batch.Home() / "AddrBook" / "Fam.ADR", "mum@x\r\n");
    ASSERT_EQ(Run({"--add-address", "fam", "dad@x"}).exitCode, 0);
    EXPECT_EQ(Run({"--addresses", "FAM"}).out, "mum@x\t\t\t\t\t\ndad@x\t\t\t\t\t\n");
    EXPECT_FALSE(std::filesystem::exists(batch.Home() / "AddrBook" / "fam.adr"));
}

}  // namespace
}  // namespace corvina
