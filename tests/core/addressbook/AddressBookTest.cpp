// The address book model: group files written back byte for byte, the
// changed-on-disk reload, adding with the overwrite question, the
// nickname check, groups created, renamed and deleted, recipient texts and
// lists, and the window's stored layout.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "RecordingPrompt.h"
#include "TestSupport.h"
#include "addressbook/AddressBook.h"
#include "addressbook/AddressGroup.h"
#include "platform/ConfigStore.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::RecordingPrompt;
using test::ScratchDir;
using test::WriteFileBytes;

AddressEntry Entry(std::string address, std::string name = "", std::string nickname = "") {
    AddressEntry e;
    e.address = std::move(address);
    e.name = std::move(name);
    e.nickname = std::move(nickname);
    return e;
}

// Makes a later write visible to a last-write-time comparison even on
// coarse file systems.
void Touch(const std::filesystem::path& file) {
    std::filesystem::last_write_time(
        file, std::filesystem::last_write_time(file) + std::chrono::seconds(2));
}

TEST(AddressBookFile, RoundTripsByteForByte) {
    ScratchDir dir;
    const std::string text =
        "(team)\r\n"
        "ann@x\tAnn Smith\tboss\tannie\thttp://a\tANNKEY\r\n"
        "ben@y\t.\t.\t.\t.\t.\r\n"
        "cy@z\tCy\t.\tcy\t.\t0x1234\r\n";
    WriteFileBytes(dir / "Team.adr", text);
    AddressGroup group(dir / "Team.adr");
    ASSERT_TRUE(group.Load());
    EXPECT_EQ(group.nickname, "team");
    EXPECT_EQ(group.entries.size(), 3u);  // the group line is no address
    group.changed = true;
    ASSERT_TRUE(group.Save());
    EXPECT_EQ(ReadFileBytes(dir / "Team.adr"), text);
    EXPECT_FALSE(group.changed);

    // An address alone gets five "." fields; deleted entries are left out;
    // no group line without a nickname.
    group.nickname.clear();
    group.entries[0].deleted = true;
    group.entries.push_back(Entry("dee@w"));
    group.changed = true;
    ASSERT_TRUE(group.Save());
    EXPECT_EQ(ReadFileBytes(dir / "Team.adr"),
              "ben@y\t.\t.\t.\t.\t.\r\ncy@z\tCy\t.\tcy\t.\t0x1234\r\ndee@w\t.\t.\t.\t.\t.\r\n");
    // Tabs or line ends in a field cannot split the line.
    AddressEntry odd = Entry("e@v", "a\tb\r\nc");
    EXPECT_EQ(AddressGroup::EntryLine(odd), "e@v\ta b  c\t.\t.\t.\t.");
}

TEST(AddressBookFile, ReloadsOnlyWhenChangedOnDisk) {
    ScratchDir dir;
    WriteFileBytes(dir / "G.adr", "a@x\r\n");
    AddressGroup group(dir / "G.adr");
    ASSERT_TRUE(group.LoadIfChanged());
    group.entries[0].name = "in memory";
    ASSERT_TRUE(group.LoadIfChanged());
    EXPECT_EQ(group.entries[0].name, "in memory");
    WriteFileBytes(dir / "G.adr", "b@x\r\n");
    Touch(dir / "G.adr");
    ASSERT_TRUE(group.LoadIfChanged());
    EXPECT_EQ(group.entries[0].address, "b@x");
    // An unwritable file keeps the changed flag.
    AddressGroup lost(dir / "no-dir" / "G.adr");
    lost.changed = true;
    EXPECT_FALSE(lost.Save());
    EXPECT_TRUE(lost.changed);
}

TEST(AddressBook, AddAddressCreatesDefaultAndAsksBeforeOverwriting) {
    ScratchDir dir;
    RecordingPrompt prompt;
    AddressBook book(AddressBook::DirectoryUnder(dir.Path()), &prompt);
    ASSERT_TRUE(book.Open());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "AddrBook"));
    AddressGroup* group = nullptr;
    EXPECT_EQ(book.AddAddress("", Entry("ann@x", "Ann"), &group), AddressBook::AddResult::kAdded);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->Name(), "!Default");
    EXPECT_TRUE(std::filesystem::exists(dir / "AddrBook" / "!Default.adr"));

    EXPECT_EQ(book.AddAddress("!default", Entry("ANN@x", "Other")), AddressBook::AddResult::kKept);
    EXPECT_EQ(prompt.questions.back().text,
              "The mail address already exists\nDo you want to overwrite it?");
    EXPECT_EQ(group->entries.size(), 1u);
    EXPECT_EQ(group->entries[0].name, "Ann");

    prompt.answers.push_back(ConfirmAnswer::Yes);
    EXPECT_EQ(book.AddAddress("!Default", Entry("ANN@x", "Other", "an")),
              AddressBook::AddResult::kOverwritten);
    EXPECT_EQ(group->entries[0].name, "Other");
    EXPECT_EQ(group->entries[0].address, "ANN@x");
    EXPECT_EQ(book.AddAddress("Nope", Entry("b@x")), AddressBook::AddResult::kFailed);

    ASSERT_TRUE(book.SaveAll());
    EXPECT_EQ(ReadFileBytes(dir / "AddrBook" / "!Default.adr"), "ANN@x\tOther\t.\tan\t.\t.\r\n");
}

TEST(AddressBook, NicknamesAcrossGroupsAndEntries) {
    ScratchDir dir;
    RecordingPrompt prompt;
    WriteFileBytes(dir / "Work.adr", "(work)\r\nann@x\tAnn\t.\tAnnie\r\n");
    WriteFileBytes(dir / "Home.adr", "bob@y\tBob\t.\tbobby\r\n");
    AddressBook book(dir.Path(), &prompt);
    book.LoadGroups();
    ASSERT_EQ(book.Groups().size(), 2u);

    std::optional<NicknameMatch> m = book.FindNickname("WORK");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->group->Name(), "Work");
    EXPECT_EQ(m->entry, nullptr);
    m = book.FindNickname("annie");
    ASSERT_TRUE(m && m->entry);
    EXPECT_EQ(m->entry->address, "ann@x");
    EXPECT_FALSE(book.FindNickname("nobody"));

    EXPECT_TRUE(book.CheckNickname("fresh"));
    EXPECT_TRUE(book.CheckNickname("annie", *m));  // the entry being edited
    EXPECT_FALSE(book.CheckNickname("Bobby"));
    ASSERT_EQ(prompt.notices.size(), 1u);
    EXPECT_EQ(prompt.notices[0], "The nickname already exists");
}

TEST(AddressBook, GroupsCreatedRenamedAndDeleted) {
    ScratchDir dir;
    RecordingPrompt prompt;
    AddressBook book(dir.Path(), &prompt);
    AddressGroup* friends = book.NewGroup("Friends", "pals");
    ASSERT_NE(friends, nullptr);
    EXPECT_EQ(ReadFileBytes(dir / "Friends.adr"), "(pals)\r\n");
    EXPECT_EQ(book.NewGroup("../evil", "x"), nullptr);
    // A listed group only gets its new nickname.
    EXPECT_EQ(book.NewGroup("friends", "buddies"), friends);
    EXPECT_TRUE(friends->changed);
    ASSERT_TRUE(book.AddAddress("Friends", Entry("c@z")) == AddressBook::AddResult::kAdded);

    ASSERT_TRUE(book.RenameGroup(*friends, "Mates", "mates"));
    EXPECT_FALSE(std::filesystem::exists(dir / "Friends.adr"));
    EXPECT_EQ(ReadFileBytes(dir / "Mates.adr"), "(mates)\r\nc@z\t.\t.\t.\t.\t.\r\n");
    ASSERT_NE(book.NewGroup("Other", ""), nullptr);
    AddressGroup* mates = book.FindGroup("Mates");
    ASSERT_NE(mates, nullptr);
    EXPECT_FALSE(book.RenameGroup(*mates, "other", "m"));  // the name is taken

    // Deleting asks first; No changes nothing.
    std::vector<AddressEntry*> entries = {&mates->entries[0]};
    EXPECT_FALSE(book.DeleteSelected(mates, entries, {}));
    EXPECT_EQ(prompt.questions.back().text, "Are you sure you want to delete the selected item");
    EXPECT_FALSE(mates->entries[0].deleted);
    prompt.answers = {ConfirmAnswer::Yes, ConfirmAnswer::Yes};
    ASSERT_TRUE(book.DeleteSelected(mates, entries, {}));
    EXPECT_EQ(ReadFileBytes(dir / "Mates.adr"), "(m)\r\n");
    // A deleted group's file goes and is not written again.
    mates->changed = true;
    ASSERT_TRUE(book.DeleteSelected(nullptr, {}, {"Mates"}));
    EXPECT_FALSE(std::filesystem::exists(dir / "Mates.adr"));
    EXPECT_EQ(book.FindGroup("Mates"), nullptr);
    EXPECT_TRUE(book.SaveAll());
    EXPECT_FALSE(std::filesystem::exists(dir / "Mates.adr"));
    EXPECT_FALSE(book.DeleteSelected(nullptr, {}, {}));  // nothing selected: no question
}

TEST(AddressBook, GroupChoicesOfTheMailAddressDialog) {
    ScratchDir dir;
    AddressBook book(dir / "AddrBook", nullptr);
    std::optional<AddressBook::GroupChoice> choice = book.GroupChoices("Family");
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->names, std::vector<std::string>{"Family"});
    EXPECT_TRUE(std::filesystem::exists(dir / "AddrBook" / "Family.adr"));
    WriteFileBytes(dir / "AddrBook" / "A.b.adr", "");
    choice = book.GroupChoices("family");
    EXPECT_EQ(choice->names, (std::vector<std::string>{"A", "Family"}));
    EXPECT_EQ(choice->selected, 1);
    EXPECT_EQ(book.GroupChoices("none")->selected, 0);
    // A file that cannot be created cancels the dialog.
    WriteFileBytes(dir / "file", "");
    AddressBook broken(dir / "file" / "AddrBook", nullptr);
    EXPECT_FALSE(broken.GroupChoices("X"));
}

TEST(AddressBook, RecipientTextsAndLists) {
    EXPECT_EQ(FormatRecipient(Entry("a@x", "Smith, Ann")), "\"Smith, Ann\" <a@x>");
    EXPECT_EQ(FormatRecipient(Entry("a@x", "\"Smith, Ann\"")), "\"Smith, Ann\" <a@x>");
    EXPECT_EQ(FormatRecipient(Entry("a@x", "Ann Smith")), "Ann Smith <a@x>");
    EXPECT_EQ(FormatRecipient(Entry("a@x", "A+B")), "\"A+B\" <a@x>");
    EXPECT_EQ(FormatRecipient(Entry("a@x")), "a@x");
    AddressEntry group;
    group.kind = AddressEntry::Kind::Group;
    group.name = "My Team";
    EXPECT_EQ(FormatRecipient(group), "@\"My Team\"");

    RecipientLists lists;
    AddressEntry a = Entry("a@x", "A"), b = Entry("b@x");
    lists.Append(RecipientLists::List::kTo, {&a, &b, &group});
    lists.Append(RecipientLists::List::kBcc, {&b});
    EXPECT_EQ(lists.FieldText(RecipientLists::List::kTo), "A <a@x>, b@x, @\"My Team\"");
    lists.Remove(RecipientLists::List::kTo, {2, 0, 7});
    EXPECT_EQ(lists.FieldText(RecipientLists::List::kTo), "b@x");
    lists.Clear(RecipientLists::List::kBcc);
    EXPECT_EQ(lists.FieldText(RecipientLists::List::kBcc), "");
    EXPECT_EQ(lists.SecondLabel(), "[Cc]");
    lists.showBcc = true;
    EXPECT_EQ(lists.SecondLabel(), "[Bcc]");
}

TEST(AddressBook, LayoutSettings) {
    ConfigStore config;
    AddressBookLayout layout;
    layout.Load(config, 3, 100);
    EXPECT_EQ(layout.sortColumn, -1);
    EXPECT_EQ(layout.columnWidths, (std::vector<int>{100, 100, 100}));
    layout.sortColumn = 1;
    layout.columnWidths[2] = 240;
    layout.Save(config);
    EXPECT_EQ(config.GetInt("Settings", "AddrHeadW2", 0), 240);
    AddressBookLayout back;
    back.Load(config, 3, 50);
    EXPECT_EQ(back.sortColumn, 1);
    EXPECT_EQ(back.columnWidths, (std::vector<int>{100, 100, 240}));
}

}  // namespace
}  // namespace corvina

namespace corvina {
namespace {

// An entry whose line would read back as the group line, or as no entry,
// is refused with a notice; the file keeps reading as it did.
TEST(AddressBookFile, EntriesTheFileCannotHoldAreRefused) {
    ScratchDir dir;
    const std::filesystem::path book = dir / "AddrBook";
    std::filesystem::create_directories(book);
    const std::string before = ReadFileBytes(test::DataPath("addressbook/team-with-nickname.adr"));
    WriteFileBytes(book / "Team.adr", before);
    RecordingPrompt prompt;
    AddressBook addresses(book, &prompt);
    addresses.LoadGroups();

    AddressGroup* team = nullptr;
    EXPECT_EQ(addresses.AddAddress("Team", Entry("(work)bob@x.org"), &team),
              AddressBook::AddResult::kFailed);
    EXPECT_EQ(addresses.AddAddress("Team", Entry(".")), AddressBook::AddResult::kFailed);
    EXPECT_EQ(prompt.notices, (std::vector<std::string>{std::string(kAddressParenthesisText),
                                                        std::string(kAddressDotText)}));
    EXPECT_FALSE(addresses.CheckEntry(Entry("(x)")));
    EXPECT_TRUE(addresses.CheckEntry(Entry("bob@x.org (work)")));
    EXPECT_TRUE(addresses.SaveAll());
    EXPECT_EQ(ReadFileBytes(book / "Team.adr"), before);

    // A group nickname the group line cannot hold.
    prompt.notices.clear();
    EXPECT_EQ(addresses.NewGroup("Other", "a)b"), nullptr);
    AddressGroup* found = addresses.FindGroup("Team");
    ASSERT_NE(found, nullptr);
    EXPECT_FALSE(addresses.RenameGroup(*found, "Team", "tab\there"));
    EXPECT_EQ(prompt.notices.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(book / "Other.adr"));

    // Whatever reaches a group by another road is never written wrongly:
    // the save refuses and the file stays as it was.
    found->entries.push_back(Entry("(work)bob@x.org"));
    found->changed = true;
    EXPECT_FALSE(found->Save());
    EXPECT_TRUE(found->changed);
    AddressGroup reread(book / "Team.adr");
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.nickname, "team");
    EXPECT_EQ(reread.Addresses(), (std::vector<std::string>{"ann@example.org", "ben@example.org"}));
    EXPECT_EQ(reread.entries[1].comment, "(desk 4)");
}

}  // namespace
}  // namespace corvina
