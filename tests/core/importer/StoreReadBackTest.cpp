// What the client reads back from an imported mailbox: every message the
// import counted is one message of the folder, including empty ones and
// text without a blank line.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "common/CodePage.h"
#include "importer/MailImport.h"
#include "store/FolderStat.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

TEST(ImportReadBack, EveryCountedMessageIsOneStoredMessage) {
    test::ScratchDir dir;
    test::WriteFileBytes(dir / "in.txt",
                         "--\nA: a\n--\n--\nno blank line here\n--\nB: b\n\nbody\n.\nend\n");
    ConversionOptions options;
    options.separator = "--";
    options.codePage = &CodePage::Get(CodePage::kUtf8);
    int count = 0;
    ASSERT_TRUE(ConvertToMailbox(dir / "in.txt", dir / "Import.mbx", options, count));
    EXPECT_EQ(count, 4);
    MailFolder folder(dir / "Import.mbx");
    StoreContext context{dir.Path(), nullptr};
    ASSERT_TRUE(LoadFolder(folder, context));
    ASSERT_EQ(folder.messages.size(), 4u);
    MailMessage& last = *folder.messages[3];
    LoadMessageBody(last);
    EXPECT_EQ(last.bodyLines.Joined(), "body\n.\nend\n\n");
}

TEST(ImportReadBack, CachedCountsOfTheFolderAreForgotten) {
    test::ScratchDir dir;
    test::WriteFileBytes(dir / "Import.mbx", "");
    {
        MailFolder folder(dir / "Import.mbx");
        ASSERT_TRUE(WriteFolderCounts(folder, 0, 0));
    }
    test::WriteFileBytes(dir / "in.txt", "From a\nFrom: a\n\nnew\n");
    ImportRequest request;
    request.input = dir / "in.txt";
    request.output = dir / "Import.mbx";
    request.codePage = &CodePage::Get(CodePage::kUtf8);
    ASSERT_EQ(RunImport(request).status, ImportOutcome::Status::kImported);
    MailFolder folder(dir / "Import.mbx");
    StoreContext context{dir.Path(), nullptr};
    EXPECT_TRUE(FolderHasUnread(folder, context));
}

}  // namespace
}  // namespace corvina
