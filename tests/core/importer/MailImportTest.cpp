// Converting foreign mailboxes into Import.mbx: separators and their drop
// flag, the blank and "." line rules, the code page rule, the store's own
// header lines, gathering single-message files, and failures that must
// leave the mailbox as it was.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "common/CodePage.h"
#include "importer/ImportType.h"
#include "importer/MailImport.h"
#include "platform/ConfigStore.h"
#include "store/MailFolder.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

struct Import {
    ScratchDir dir;
    std::filesystem::path output = dir / "User0" / "Import.mbx";
    int count = -1;

    Import() { std::filesystem::create_directories(output.parent_path()); }

    std::string Convert(std::string_view input, std::string separator, bool drop = true,
                        int codePage = CodePage::kUtf8) {
        WriteFileBytes(dir / "in.txt", input);
        ConversionOptions options;
        options.separator = std::move(separator);
        options.dropSeparator = drop;
        options.codePage = &CodePage::Get(codePage);
        EXPECT_TRUE(ConvertToMailbox(dir / "in.txt", output, options, count));
        return ReadFileBytes(output);
    }
};

TEST(MailImport, UnixMailboxSeparatorsDotsAndBlankLines) {
    Import im;
    const std::string out = im.Convert(
        "From alice@example.org Mon Dec  7 09:45:03 1998\n"
        "\n"
        "From: alice@example.org\n"
        "Subject: one\n"
        "\n"
        "first\n"
        ".\n"
        "\n"
        "From bob@example.org Tue Dec  8 10:00:00 1998\n"
        "From: bob@example.org\n"
        "\n"
        "second\n",
        "From ");
    EXPECT_EQ(im.count, 2);
    // The blank line right after the first separator is skipped, the one
    // inside the message is kept; the file's final newline gives the last
    // message one more blank line.
    EXPECT_EQ(out,
              "From: alice@example.org\r\nSubject: one\r\n\r\nfirst\r\n..\r\n\r\n.\r\n"
              "From: bob@example.org\r\n\r\nsecond\r\n\r\n.\r\n");
}

TEST(MailImport, AppendsToAnExistingMailbox) {
    Import im;
    WriteFileBytes(im.output, "From: old\r\n\r\nold\r\n.\r\n");
    const std::string out = im.Convert("From x\nFrom: new\n\nnew", "From ");
    EXPECT_EQ(im.count, 1);
    EXPECT_EQ(out, "From: old\r\n\r\nold\r\n.\r\nFrom: new\r\n\r\nnew\r\n.\r\n");
}

TEST(MailImport, UserDefinedSeparators) {
    {
        Import im;  // an empty separator matches nothing: one message
        EXPECT_EQ(im.Convert("a\n----\nb", ""), "a\r\n----\r\nb\r\n\r\n.\r\n");
        EXPECT_EQ(im.count, 1);
    }
    {
        Import im;  // kept separator lines start their messages
        EXPECT_EQ(im.Convert("--- 1\nA: a\n--- 2\nB: b", "---", false),
                  "--- 1\r\nA: a\r\n\r\n.\r\n--- 2\r\nB: b\r\n\r\n.\r\n");
        EXPECT_EQ(im.count, 2);
    }
    {
        Import im;  // two separators in a row write an empty message
        EXPECT_EQ(im.Convert("a\n--\n--\nb", "--"), "a\r\n\r\n.\r\n\r\n.\r\nb\r\n\r\n.\r\n");
        EXPECT_EQ(im.count, 3);
    }
    {
        Import im;  // the comparison is a case-sensitive prefix match
        EXPECT_EQ(im.Convert("a\nfrom x\nb", "From "), "a\r\nfrom x\r\nb\r\n\r\n.\r\n");
        EXPECT_EQ(im.count, 1);
    }
    {
        Import im;  // an input of separators and blank lines holds no message
        EXPECT_EQ(im.Convert("From a\n\nFrom b\n\n", "From "), "");
        EXPECT_EQ(im.count, 0);
    }
}

TEST(MailImport, JisIsConvertedOnlyOnTheJapaneseCodePage) {
    // "あ" in ISO-2022-JP, then in Shift_JIS.
    const std::string jis = "S: \x1b$B$\"\x1b(B!\n";
    const std::string sjis = "S: \x82\xa0!";
    {
        Import im;
        EXPECT_EQ(im.Convert(jis, "From ", true, CodePage::kShiftJis), sjis + "\r\n\r\n.\r\n");
    }
    {
        Import im;  // UTF-8 (and any other page) copies bytes
        EXPECT_EQ(im.Convert(jis, "From ", true, CodePage::kUtf8),
                  "S: \x1b$B$\"\x1b(B!\r\n\r\n.\r\n");
    }
    {
        Import im;  // Shift_JIS without escapes stays byte for byte
        const std::string raw = "A: \x82\xa0\x88\x9f\x5c\n\n\x83\x5c\x95\x5c\n";
        EXPECT_EQ(im.Convert(raw, "From ", true, CodePage::kShiftJis),
                  "A: \x82\xa0\x88\x9f\x5c\r\n\r\n\x83\x5c\x95\x5c\r\n\r\n.\r\n");
    }
}

TEST(MailImport, StoreOwnHeaderLinesAreNotCopied) {
    Import im;
    const std::string out = im.Convert(
        "From a\n"
        "From: a@example.org\n"
        "X-Marlo-Attachment-File: /etc/passwd\n"
        "x-marlo-decorded: yes\n"
        "X-Marlo-Reply: 1\n"
        "X-Marlo-Encoding: 2\n"
        "  continued\n"
        "X-Marlo-Other: kept\n"
        "\n"
        "X-Marlo-Attachment-File: in the body stays\n",
        "From ");
    EXPECT_EQ(out,
              "From: a@example.org\r\nX-Marlo-Other: kept\r\n\r\n"
              "X-Marlo-Attachment-File: in the body stays\r\n\r\n.\r\n");
}

// A separator that matches store lines, kept as the first line of each
// message: those lines are header lines of the imported mail and must not
// reach Import.mbx either, and the client reads none of them back.
TEST(MailImport, KeptSeparatorLinesAreFilteredLikeEveryHeaderLine) {
    Import im;
    const std::string out = im.Convert(
        ReadFileBytes(test::DataPath("import/x-marlo-separator.txt")), "X-Marlo-", false);
    EXPECT_EQ(im.count, 3);
    EXPECT_EQ(out,
              "From: first@example.org\r\nSubject: one\r\n\r\nbody one\r\n.\r\n"
              "From: second@example.org\r\nSubject: two\r\n\r\nbody two\r\n.\r\n"
              "X-Marlo-Other: 7\r\nFrom: third@example.org\r\nSubject: three\r\n\r\n"
              "body three\r\n\r\n.\r\n");
    MailFolder folder(im.output);
    StoreContext context{im.output.parent_path(), nullptr};
    ASSERT_TRUE(LoadFolder(folder, context));
    ASSERT_EQ(folder.messages.size(), 3u);
    for (const auto& m : folder.messages) {
        EXPECT_FALSE(m->replied);
        EXPECT_FALSE(m->decoded);
        EXPECT_TRUE(m->attachments.empty());
        EXPECT_EQ(m->encoding, 0);
    }
}

TEST(MailImport, OpenFailuresLeaveTheMailboxAlone) {
    ScratchDir dir;
    WriteFileBytes(dir / "in.txt", "a\n");
    ConversionOptions options;
    int count = -1;
    EXPECT_FALSE(ConvertToMailbox(dir / "missing.txt", dir / "out.mbx", options, count));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mbx"));
    EXPECT_FALSE(ConvertToMailbox(dir / "in.txt", dir / "no-dir" / "out.mbx", options, count));
    EXPECT_EQ(count, 0);
}

TEST(MailImport, GatheredTypesUseAWorkFileThatIsRemoved) {
    ScratchDir dir;
    std::filesystem::create_directories(dir / "eml");
    WriteFileBytes(dir / "eml" / "b.eml", "From: b\r\n\r\nbody b\r\n");
    WriteFileBytes(dir / "eml" / "a.EML", "From: a\r\n\r\nbody a\r\n.\r\n");
    WriteFileBytes(dir / "eml" / "note.txt", "From: no\r\n\r\nnot mail\r\n");
    std::filesystem::create_directories(dir / "tmp");
    std::filesystem::create_directories(dir / "User0");

    ImportRequest request;
    request.type = 4;
    request.input = dir / "eml" / "b.eml";
    request.output = dir / "User0" / "Import.mbx";
    request.tempDirectory = dir / "tmp";
    request.codePage = &CodePage::Get(CodePage::kUtf8);
    ImportOutcome outcome = RunImport(request);
    ASSERT_EQ(outcome.status, ImportOutcome::Status::kImported);
    // a.EML ends with its own "." line, and the gathering adds one: two
    // separators in a row, so an empty message is written and counted.
    EXPECT_EQ(outcome.count, 3);
    EXPECT_EQ(ReadFileBytes(request.output),
              "From: a\r\n\r\nbody a\r\n.\r\n\r\n.\r\nFrom: b\r\n\r\nbody b\r\n\r\n.\r\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));

    // Numbered files: the chosen one and names that are not numbers are
    // left out; the order is numeric.
    std::filesystem::create_directories(dir / "we");
    WriteFileBytes(dir / "we" / "10", "N: 10\n\nten\n");
    WriteFileBytes(dir / "we" / "2", "N: 2\n\ntwo\n");
    WriteFileBytes(dir / "we" / "0", "N: 0\n\nzero\n");
    WriteFileBytes(dir / "we" / "index", "N: index\n\nindex\n");
    WriteFileBytes(dir / "we" / "1", "N: 1\n\nchosen\n");
    std::filesystem::remove(request.output);
    request.type = 7;
    request.input = dir / "we" / "1";
    outcome = RunImport(request);
    ASSERT_EQ(outcome.status, ImportOutcome::Status::kImported);
    EXPECT_EQ(outcome.count, 2);
    EXPECT_EQ(ReadFileBytes(request.output),
              "N: 2\r\n\r\ntwo\r\n\r\n.\r\nN: 10\r\n\r\nten\r\n\r\n.\r\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));

    // Nothing to gather: the mailbox is not touched.
    std::filesystem::create_directories(dir / "empty");
    std::filesystem::remove(request.output);
    request.type = 4;
    request.input = dir / "empty" / "x.eml";
    outcome = RunImport(request);
    EXPECT_EQ(outcome.status, ImportOutcome::Status::kNothingMatched);
    EXPECT_FALSE(std::filesystem::exists(request.output));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
}

TEST(MailImport, RequestChecksResultTextAndMailboxPath) {
    ImportRequest request;
    request.type = 8;
    EXPECT_EQ(RunImport(request).status, ImportOutcome::Status::kUnknownType);
    request.type = 1;
    EXPECT_EQ(RunImport(request).status, ImportOutcome::Status::kNoInputName);
    EXPECT_EQ(ImportResultText(3).substr(0, 51),
              "3Items are imported into the 'Import' folder of you");

    ConfigStore config;
    EXPECT_FALSE(ImportMailboxPath(config));
    config.LoadFromText("[Settings]\nHomeDir=/home/u/mail/\nDefUser=3\n");
    EXPECT_EQ(*ImportMailboxPath(config), std::filesystem::path("/home/u/mail/User3/Import.mbx"));

    EXPECT_EQ(ImportTypeAt(5)->separator.size(), 75u);
    EXPECT_EQ(ImportTypeAt(2)->separator, "From -");
    EXPECT_EQ(ImportTypeAt(8), nullptr);
}

}  // namespace
}  // namespace corvina

namespace corvina {
namespace {

TEST(MailImport, NothingPassesForATerminatorOrAnotherMessage) {
    Import im;
    // A lone CR ends a line for the client: the "." after it is stuffed and
    // the store line after it is still seen as a header line. A JIS escape
    // that hides a "." line is no way around the stuffing either.
    const std::string out =
        im.Convert("From a\nSubject: s\r.\rX-Marlo-Attachment-File: /etc/passwd\n\nbody\n\x1b(B.\n",
                   "From ", true, CodePage::kShiftJis);
    EXPECT_EQ(out, "Subject: s\r\n..\r\n\r\nbody\r\n..\r\n\r\n.\r\n");
    EXPECT_EQ(im.count, 1);
}

}  // namespace
}  // namespace corvina
