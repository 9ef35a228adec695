// A group is found by the name a user writes, in any letter case and in any
// script of the working code page, with its ".adr" in any case: by
// recipient expansion, by the address book's own lookups and in the
// listing of groups.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "addressbook/AddressBook.h"
#include "addressbook/AddressGroup.h"
#include "common/CodePage.h"
#include "compose/RecipientGroups.h"
#include "message/mime/MessageParser.h"
#include "message/mime/OutgoingText.h"
#include "message/MailMessage.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

class GroupNameCase : public ::testing::Test {
protected:
    void SetUp() override {
        CodePage::SetWorking(CodePage::kUtf8);
        // The files as people name them, the extension in several cases.
        WriteFileBytes(dir / "Friends.adr", "(pals)\r\nann@x\tAnn\r\nben@x\r\n");
        WriteFileBytes(dir / "Team.ADR", "dee@x\r\n");
        WriteFileBytes(dir / "Fam.Adr", "mum@x\r\n");
        WriteFileBytes(dir / "Élèves.adr", "cy@x\r\n");
        WriteFileBytes(dir / "Φίλοι.adr", "");
        WriteFileBytes(dir / "Друзья.adr", "");
        fs::create_directories(dir / "Folder.adr");  // not a group
        WriteFileBytes(dir / "notes.txt", "");
    }
    void TearDown() override { CodePage::SetWorking(0); }
    std::string Found(std::string_view name) {
        std::optional<fs::path> file = AddressGroup::FileFor(dir.Path(), name);
        return file ? file->filename().string() : "-";
    }
    static AddressEntry Entry(std::string address) {
        AddressEntry e;
        e.address = std::move(address);
        return e;
    }

    ScratchDir dir;
};

TEST_F(GroupNameCase, OneLookupForEveryCaseAndScript) {
    const struct {
        const char* name;
        const char* file;
    } cases[] = {
        {"Friends", "Friends.adr"},
        {"friends", "Friends.adr"},
        {"FRIENDS", "Friends.adr"},
        {"team", "Team.ADR"},
        {"fam", "Fam.Adr"},
        {"élèves", "Élèves.adr"},
        {"ÉLÈVES", "Élèves.adr"},
        {"ΦΊΛΟΙ", "Φίλοι.adr"},
        {"друзья", "Друзья.adr"},
        {"eleves", "-"},  // an accent is not a case
        {"Folder", "-"},
        {"notes", "-"},
        {"Friends.adr", "-"},
        {"../Friends", "-"},
        {"", "-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Found(c.name), c.file) << c.name;
    }
    // A file named exactly so wins; otherwise the first in name order.
    WriteFileBytes(dir / "friends.adr", "other@x\r\n");
    EXPECT_EQ(Found("friends"), "friends.adr");
    EXPECT_EQ(Found("Friends"), "Friends.adr");
    EXPECT_EQ(Found("FRIENDS"), "Friends.adr");
}

TEST_F(GroupNameCase, RecipientExpansionOfAMessage) {
    MailMessage m;
    ParseMessage(m, ReadFileBytes(test::DataPath("addressbook/to-groups-in-other-case.eml")), {});
    OutgoingOptions options;
    options.groups = AddressBookGroups(dir.Path());
    EXPECT_EQ(BuildEnvelope(m, options).recipients,
              (std::vector<std::string>{"ann@x", "ben@x", "cy@x", "dee@x", "mum@x"}));
    EXPECT_EQ(ExpandRecipients("@nobody, @\"team\"", options.groups), "dee@x");
}

TEST_F(GroupNameCase, AddressBookListsFindsAndCreatesByTheSameName) {
    AddressBook book(dir.Path(), nullptr);
    book.LoadGroups();
    std::vector<std::string> names;
    for (const auto& group : book.Groups())
        names.push_back(group->Name());
    EXPECT_EQ(names,
              (std::vector<std::string>{"Fam", "Friends", "Team", "Élèves", "Φίλοι", "Друзья"}));
    std::optional<AddressBook::GroupChoice> choice = book.GroupChoices("TEAM");
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->names[static_cast<std::size_t>(choice->selected)], "Team");

    ASSERT_NE(book.FindGroup("élèves"), nullptr);
    EXPECT_EQ(book.FindGroup("élèves"), book.FindGroup("ÉLÈVES"));
    AddressGroup* fam = nullptr;
    ASSERT_EQ(book.AddAddress("FAM", Entry("dad@x"), &fam), AddressBook::AddResult::kAdded);
    ASSERT_TRUE(book.SaveGroup(*fam));
    EXPECT_EQ(ReadFileBytes(dir / "Fam.Adr"), "mum@x\t.\t.\t.\t.\t.\r\ndad@x\t.\t.\t.\t.\t.\r\n");

    // A group file that came after the list was read is not written over.
    WriteFileBytes(dir / "Club.adr", "zed@x\r\n");
    AddressGroup* club = book.NewGroup("CLUB", "members");
    ASSERT_NE(club, nullptr);
    EXPECT_EQ(club->path, dir / "Club.adr");
    ASSERT_TRUE(book.SaveGroup(*club));
    EXPECT_EQ(ReadFileBytes(dir / "Club.adr"), "(members)\r\nzed@x\t.\t.\t.\t.\t.\r\n");
    EXPECT_FALSE(fs::exists(dir / "CLUB.adr"));

    // A group may change the case of its own name, not take another's.
    AddressGroup* team = book.FindGroup("team");
    ASSERT_NE(team, nullptr);
    EXPECT_FALSE(book.RenameGroup(*team, "FRIENDS", ""));
    ASSERT_TRUE(book.RenameGroup(*team, "TEAM", ""));
    EXPECT_EQ(team->path, dir / "TEAM.adr");
    EXPECT_FALSE(fs::exists(dir / "Team.ADR"));
    WriteFileBytes(dir / "Late.adr", "");  // on disk, not listed
    EXPECT_FALSE(book.RenameGroup(*team, "late", ""));
}

TEST_F(GroupNameCase, NicknamesIgnoreCaseInEveryScript) {
    WriteFileBytes(dir / "Friends.adr", "(Φίλοι)\r\nann@x\tAnn\t.\tÉlise\r\n");
    AddressBook book(dir.Path(), nullptr);
    book.LoadGroups();
    std::optional<NicknameMatch> m = book.FindNickname("éLISE");
    ASSERT_TRUE(m && m->entry);
    EXPECT_EQ(m->entry->address, "ann@x");
    m = book.FindNickname("φίλοι");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->group->Name(), "Friends");
    EXPECT_EQ(m->entry, nullptr);
    EXPECT_FALSE(book.FindNickname("elise"));
}

}  // namespace
}  // namespace corvina
