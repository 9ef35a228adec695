// Choosing a folder for a message by the rules, and manual filtering of
// InBox into the folders the rules name.

#include <gtest/gtest.h>

#include <filesystem>

#include "../store/StoreTestHost.h"
#include "TestSupport.h"
#include "common/Bytes.h"
#include "common/CodePage.h"
#include "filter/FilterList.h"
#include "filter/ManualFiltering.h"
#include "message/MailMessage.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RecordingStore;
using test::ScratchDir;
using test::WriteFileBytes;

class FilterMatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        box = dir.Path() / "User0";
        fs::create_directories(box / "Lists");
        for (const char* f : {"Work.mbx", "Job.mbx", "Lists.mbx", "Lists/Dev.mbx"})
            WriteFileBytes(box / f, "");
        tree.BuildFolderTree(box, profiles, 0);
    }
    std::string Choose(const std::string& rules, MailMessage& m) {
        WriteFileBytes(box / "Filter.DEF", rules);
        EXPECT_TRUE(filters.LoadFilters(box));
        return filters.FilterFolder(m);
    }

    ScratchDir dir;
    fs::path box;
    ProfileTable profiles{};
    RecordingStore host;
    FolderTree tree{&host.store};
    FilterList filters;
};

TEST_F(FilterMatchTest, FirstMatchingRuleWins) {
    MailMessage m;
    m.from = "Boss <boss@example.com>";
    m.subject = "Weekly report";
    EXPECT_EQ(Choose("Subject\treport\tJob\t\r\nFrom\tboss@\tWork\t\r\n", m), "Job");
    EXPECT_EQ(Choose("From\tboss@\tWork\t\r\nSubject\treport\tJob\t\r\n", m), "Work");
    EXPECT_EQ(Choose("From\tnobody\tWork\t\r\n", m), "InBox");
    EXPECT_EQ(Choose("", m), "InBox");
}

TEST_F(FilterMatchTest, CaseFlag) {
    MailMessage m;
    m.subject = "URGENT: call me";
    EXPECT_EQ(Choose("Subject\turgent\tWork\t\r\n", m), "InBox");
    EXPECT_EQ(Choose("Subject\turgent\tWork\tI\r\n", m), "Work");
    EXPECT_EQ(Choose("subject\tURGENT\tWork\t\r\n", m), "Work");  // header name: any case
}

// With the flag "I", letters match in any case in every script of the
// working code page; a trail byte never matches a letter. Each message of
// the mailbox names the folder it must go to.
TEST_F(FilterMatchTest, CaseFlagInEveryScript) {
    const struct {
        int codePage;
        const char* name;
    } replays[] = {{CodePage::kUtf8, "ignore-case-any-script"},
                   {CodePage::kShiftJis, "ignore-case-shift-jis"}};
    for (const auto& r : replays) {
        CodePage::SetWorking(r.codePage);
        const std::string name = r.name;
        WriteFileBytes(box / "Filter.DEF",
                       ReadFileBytes(test::DataPath("filter/" + name + "-rules.txt")));
        ASSERT_TRUE(filters.LoadFilters(box));
        MailFolder replay(box / "Replay.mbx");
        WriteFileBytes(replay.path, ReadFileBytes(test::DataPath("filter/" + name + ".mbx")));
        ASSERT_TRUE(LoadFolder(replay, {box, nullptr}));
        ASSERT_GE(replay.messages.size(), 5u);
        for (const auto& m : replay.messages) {
            ASSERT_TRUE(LoadOtherHeaders(*m));
            const std::string_view expected = Trim(FilterHeaderText(*m, "X-Expected-Folder"));
            EXPECT_EQ(filters.FilterFolder(*m), expected) << name << ": " << m->subject;
        }
    }
    CodePage::SetWorking(0);
}

TEST_F(FilterMatchTest, ParsedFieldsAndMissingHeaders) {
    MailMessage m;
    m.to = "team@example.com";
    m.cc = "copy@example.com";
    m.replyTo = "list@example.com";
    m.date = "Tue, 8 Dec 2026";
    // Rules on empty fields and absent headers are skipped.
    EXPECT_EQ(Choose("From\t@\tJob\t\r\nX-None\t@\tJob\t\r\nReply-To\tlist@\tWork\t\r\n", m),
              "Work");
    EXPECT_EQ(Choose("Cc\tcopy\tLists\\Dev\t\r\n", m), "Lists\\Dev");
    EXPECT_EQ(Choose("To\tteam\tLists\t\r\n", m), "Lists");
    EXPECT_EQ(Choose("Date\t2026\tJob\t\r\n", m), "Job");
}

TEST_F(FilterMatchTest, OtherHeadersSearchedAfterFirstColon) {
    MailMessage m;
    m.AddOtherHeader("X-Mailer: Mutt/2.2");
    m.AddOtherHeader("List-Id: dev:announce <dev.example.com>");
    EXPECT_EQ(Choose("X-Mailer\tMutt\tWork\t\r\n", m), "Work");
    // The header's own name is not part of the searched text.
    EXPECT_EQ(Choose("X-Mailer\tX-Mailer\tWork\t\r\n", m), "InBox");
    EXPECT_EQ(Choose("List-Id\tdev:announce\tJob\t\r\n", m), "Job");
    // "X-Mail" names no line here: the name must be followed by a colon.
    EXPECT_EQ(Choose("X-Mail\tMutt\tWork\t\r\n", m), "InBox");
    EXPECT_EQ(Choose("x-mailer\t mutt\tWork\tI\r\n", m), "Work");  // leading blank kept
}

TEST_F(FilterMatchTest, MissingFolderNeverMatches) {
    MailMessage m;
    m.from = "a@example.com";
    EXPECT_EQ(Choose("From\ta@\tGone\t\r\nFrom\ta@\tJob\t\r\n", m), "Job");
    EXPECT_EQ(Choose("From\ta@\tWork\\Gone\t\r\n", m), "InBox");
}

TEST_F(FilterMatchTest, MissingFilterFileMeansNoRules) {
    EXPECT_TRUE(filters.LoadFilters(box / "nowhere"));
    EXPECT_TRUE(filters.Rules().empty());
}

TEST_F(FilterMatchTest, ManualFilteringMovesMatchedMessages) {
    // In the store's own format, so that a rewrite reproduces them exactly.
    const std::string keep1 =
        "From:friend@x\r\nTo:me\r\nSubject:hello\r\nX-Priority:3\r\n\r\nhi\r\n.\r\n";
    const std::string keep2 =
        "From:boss@x\r\nTo:me\r\nSubject:stay\r\nX-Priority:3\r\nStatus:R\r\n\r\nx\r\n.\r\n";
    WriteFileBytes(
        box / "InBox.mbx",
        "From:boss@x\r\nTo:me\r\nSubject:plan\r\n\r\nline 1\r\n..\r\n.\r\n" + keep1 +
            "From:bot@x\r\nTo:me\r\nSubject:build\r\nList-Id: <dev.lists>\r\n\r\nok\r\n.\r\n" +
            keep2);
    WriteFileBytes(
        box / "Filter.DEF",
        "Subject\tstay\tInBox\t\r\nFrom\tboss@\tWork\t\r\nList-Id\tdev.lists\tLists\\Dev\t\r\n");
    ASSERT_TRUE(filters.LoadFilters(box));
    tree.BuildFolderTree(box, profiles, 0);

    EXPECT_EQ(ManualFiltering(tree, filters), -1);  // the list shows no folder
    host.store.SetShown(tree.FindNode("Work")->folder.get());
    EXPECT_EQ(ManualFiltering(tree, filters), 2);
    EXPECT_EQ(host.selected.back(), tree.FindNode("InBox")->folder.get());
    ASSERT_EQ(host.removed.size(), 2u);  // the list drops the moved rows
    EXPECT_EQ(host.removed[0].folder, "InBox");

    EXPECT_EQ(ReadFileBytes(box / "InBox.mbx"), keep1 + keep2);
    const MailFolder& inbox = *tree.FindNode("InBox")->folder;
    EXPECT_EQ(inbox.total, 2);
    EXPECT_EQ(inbox.unread, 1);
    const std::string work = ReadFileBytes(box / "Work.mbx");
    EXPECT_NE(work.find("Subject:plan\r\n"), std::string::npos);
    EXPECT_NE(work.find("line 1\r\n..\r\n.\r\n"), std::string::npos);  // body came along
    const std::string dev = ReadFileBytes(box / "Lists" / "Dev.mbx");
    EXPECT_NE(dev.find("List-Id: <dev.lists>\r\n"), std::string::npos);
    EXPECT_NE(dev.find("\r\n\r\nok\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(tree.FindNode("Work")->folder->total, 1);

    // Nothing left to move: a second run changes nothing.
    EXPECT_EQ(ManualFiltering(tree, filters), 0);
    EXPECT_EQ(ReadFileBytes(box / "InBox.mbx"), keep1 + keep2);
}

}  // namespace
}  // namespace corvina
