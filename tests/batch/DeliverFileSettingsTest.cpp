// A message file delivered by the batch front end is parsed as the
// settings say: AutoWrap and the MIME type rows of the settings file.

#include <gtest/gtest.h>

#include "BatchProcess.h"
#include "TestSupport.h"

namespace corvina::test {
namespace {

TEST(DeliverFile, AutoWrapAndTheMimeTypeRowsOfTheSettingsApply) {
    ScratchDir dir;
    BatchProcess batch{dir.Path()};
    batch.WriteConfig(
        "AutoWrap = 1\n[Users\\0]\nAccount = Test\nAddress = me@example.com\n"
        "[MimeType\\application/x-corvina-sample]\nExt = .smp\n");
    const std::filesystem::path mail = DataPath("mime/long-line-and-a-type-of-the-settings.eml");
    BatchResult r = batch.Run({"--deliver-file", mail.string(), "InBox"});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const std::string stored = ReadFileBytes(batch.MailboxDir() / "InBox.mbx");
    EXPECT_NE(stored.find("\r\nX-Marlo-Attachment-File:Atch0000.smp\r\n"), std::string::npos)
        << stored;
    EXPECT_EQ(stored.find("never breaks its lines"), std::string::npos) << stored;
    EXPECT_NE(stored.find("so the reader has to.\r\n"), std::string::npos) << stored;
}

}  // namespace
}  // namespace corvina::test
