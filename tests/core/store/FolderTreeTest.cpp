// The folder tree model: names, the built tree, and the operations that
// change folders on disk (new, rename, delete, properties, status).

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>

#include "StoreTestHost.h"
#include "TestSupport.h"
#include "common/IniFile.h"
#include "store/FolderNames.h"
#include "store/FolderOps.h"
#include "store/FolderTree.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RecordingStore;
using test::ScratchDir;
using test::WriteFileBytes;

const std::vector<std::string> kEnglishNames = {"InBox", "OutBox",   "Sent",
                                                "Draft", "Reminder", "Trash"};

TEST(FolderNames, LabelRules) {
    std::string name;
    EXPECT_EQ(CheckFolderLabel("  Job  ", kEnglishNames, name), FolderNameCheck::Ok);
    EXPECT_EQ(name, "Job");
    EXPECT_EQ(CheckFolderLabel(" \t ", kEnglishNames, name), FolderNameCheck::Empty);
    for (const char* bad : {"a<b", "a>b", "a*", "?", "a|b", "a\\b", "a/b", "a\tb", "a\nb"})
        EXPECT_EQ(CheckFolderLabel(bad, kEnglishNames, name), FolderNameCheck::BadCharacter) << bad;
    // Display names of the current language and the fixed file names alike.
    const std::vector<std::string> japanese = {"Uketori", "Okuri", "Sumi",
                                               "Shita",   "Biboh", "Gomi"};
    EXPECT_EQ(CheckFolderLabel("gomi", japanese, name), FolderNameCheck::ReservedName);
    EXPECT_EQ(CheckFolderLabel("sent", japanese, name), FolderNameCheck::ReservedName);
    EXPECT_EQ(CheckFolderLabel(" Trash", kEnglishNames, name), FolderNameCheck::ReservedName);
    EXPECT_EQ(CheckFolderLabel("..", kEnglishNames, name), FolderNameCheck::ReservedName);
    EXPECT_EQ(CheckFolderLabel("Trashcan", kEnglishNames, name), FolderNameCheck::Ok);
}

TEST(FolderNames, MappingAndPrefixes) {
    const fs::path box = "/m/User0";
    EXPECT_EQ(FolderNameToPath(box, "Work\\Old"), fs::path("/m/User0/Work/Old.mbx"));
    EXPECT_EQ(FolderNameOfPath(box, "/m/User0/Work/Old.mbx").value(), "Work\\Old");
    // Names read from files never lead outside the mailbox directory.
    EXPECT_EQ(FolderNameToPath(box, "..\\..\\etc\\x"), fs::path("/m/User0/etc/x.mbx"));
    EXPECT_EQ(FolderNameToPath(box, "/etc/x"), fs::path("/m/User0/etc/x.mbx"));
    EXPECT_EQ(FolderNameToPath(box, "a/../../x"), fs::path("/m/User0/a/x.mbx"));
    EXPECT_FALSE(FolderNameOfPath(box, "/m/User1/Work.mbx"));
    EXPECT_FALSE(FolderNameOfPath(box, "/m/User0/Work.txt"));
    EXPECT_EQ(ResolveFolderName("sent"), "OutBox\\Sent");
    EXPECT_EQ(ResolveFolderName("Work"), "Work");
    EXPECT_EQ(SpecialFolderOfName("outbox\\draft"), SpecialFolder::Draft);
    EXPECT_TRUE(FolderNameIsWithin("work\\Old", "Work"));
    EXPECT_TRUE(FolderNameIsWithin("Work", "WORK"));
    EXPECT_FALSE(FolderNameIsWithin("Workshop", "Work"));
}

TEST(FolderNames, NewBoxNumbering) {
    ScratchDir dir;
    EXPECT_EQ(NextNewFolderBaseName(dir.Path()), "NewBox01");
    for (int i = 1; i <= 9; ++i)
        WriteFileBytes(dir / ("NewBox0" + std::to_string(i) + ".mbx"), "");
    EXPECT_EQ(NextNewFolderBaseName(dir.Path()), "NewBox0a");
    WriteFileBytes(dir / "newbox0A.MBX", "");  // taken in any letter case
    EXPECT_EQ(NextNewFolderBaseName(dir.Path()), "NewBox0b");
}

class FolderTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        box = dir.Path() / "User0";
        fs::create_directories(box);
        profiles[0].account = "Home";
        profiles[2].pop = "pop.example.com";
        profiles[2].address = "me@example.com";
        profiles[5].account = "Not configured";
    }
    void Build() { tree.BuildFolderTree(box, profiles, 0, kEnglishNames); }
    void Touch(const fs::path& rel) {
        fs::create_directories((box / rel).parent_path());
        WriteFileBytes(box / rel, "");
    }
    std::vector<std::string> Labels(const FolderNode& node) {
        std::vector<std::string> out;
        for (const auto& c : node.children)
            out.push_back(c->label);
        return out;
    }
    FolderNode& Node(std::string_view name) {
        FolderNode* n = tree.FindNode(name);
        EXPECT_NE(n, nullptr) << name;
        return *n;
    }

    ScratchDir dir;
    fs::path box;
    ProfileTable profiles{};
    RecordingStore host;
    FolderTree tree{&host.store};
};

TEST_F(FolderTreeTest, BuildOrderKindsAndFlags) {
    Touch("zeta.mbx");
    Touch("Alpha.mbx");
    Touch("beta.mbx");
    Touch("Work.mbx");
    Touch("Work/Old.mbx");
    fs::create_directories(box / "beta");  // kind 1 even when empty
    Build();

    EXPECT_TRUE(fs::is_directory(box / "Attach"));
    EXPECT_TRUE(fs::is_directory(box / "OutBox"));
    ASSERT_EQ(tree.Roots().size(), 2u);  // profile 5 has no POP server
    const FolderNode& root = *tree.CurrentRoot();
    EXPECT_EQ(root.label, "Home");
    EXPECT_EQ(root.folder->kind, 0);
    EXPECT_TRUE(root.folder->fixed);
    EXPECT_EQ(Labels(root), (std::vector<std::string>{"InBox", "OutBox", "Trash", "Alpha", "beta",
                                                      "Work", "zeta"}));
    EXPECT_EQ(Labels(*root.children[1]), (std::vector<std::string>{"Draft", "Sent", "Reminder"}));
    EXPECT_EQ(tree.Roots()[1]->label, "me@example.com");
    EXPECT_EQ(tree.Roots()[1]->folder->profileIndex, 2);

    EXPECT_EQ(Node("Work").folder->kind, 1);
    EXPECT_EQ(Node("beta").folder->kind, 1);
    EXPECT_EQ(Node("zeta").folder->kind, 2);
    EXPECT_EQ(Node("Work\\Old").folder->path, box / "Work" / "Old.mbx");
    for (const char* name : {"OutBox", "Sent", "Draft", "Reminder"}) {
        EXPECT_TRUE(Node(name).folder->countAll) << name;
        EXPECT_TRUE(Node(name).folder->fixed) << name;
    }
    EXPECT_FALSE(Node("InBox").folder->countAll);
    EXPECT_TRUE(Node("InBox").folder->fixed);
    EXPECT_TRUE(Node("Trash").folder->fixed);
    EXPECT_FALSE(Node("Work").folder->fixed);
    EXPECT_EQ(Node("OutBox\\Sent").folder->path, box / "OutBox" / "Sent.mbx");
}

TEST_F(FolderTreeTest, SpecialBaseNamesNeverUserFolders) {
    Touch("sent.mbx");
    Touch("TRASH.mbx");
    Touch("Work.mbx");
    Touch("Work/InBox.mbx");
    Touch("Work/Deep.mbx");
    Touch("Work/Deep/reminder.MBX");
    Touch("OutBox/Mine.mbx");
    Touch("Attach.mbx");
    Touch("Attach/saved.mbx");  // an attachment file, not a folder
    Build();
    const FolderNode& root = *tree.CurrentRoot();
    EXPECT_EQ(Labels(root),
              (std::vector<std::string>{"InBox", "OutBox", "Trash", "Attach", "Work"}));
    EXPECT_EQ(Node("Attach").folder->kind, 2);
    EXPECT_TRUE(Node("Attach").children.empty());
    EXPECT_EQ(Labels(Node("Work")), (std::vector<std::string>{"Deep"}));
    EXPECT_TRUE(Node("Work\\Deep").children.empty());
    EXPECT_EQ(Labels(Node("OutBox")), (std::vector<std::string>{"Draft", "Sent", "Reminder"}));
}

TEST_F(FolderTreeTest, PropertiesAndExpandedFromControlFile) {
    Touch("Work.mbx");
    Touch("Work/Old.mbx");
    WriteFileBytes(box / "Work.ctl",
                   "[Property]\r\nNewTemplate=new.tml\r\nRemoveHead=1\r\nDefAddrGroup=Team\r\n"
                   "[Tree]\r\nExpanded=1\r\n");
    WriteFileBytes(box / "OutBox.ctl", "[Tree]\r\nExpanded=1\r\n");
    Build();
    const MailFolder& work = *Node("Work").folder;
    EXPECT_EQ(work.newTemplate, "new.tml");
    EXPECT_TRUE(work.removeHead);
    EXPECT_EQ(work.defAddrGroup, "Team");
    EXPECT_TRUE(Node("Work").expanded);
    EXPECT_EQ(Node("Work\\Old").folder->defAddrGroup, "!Default");
    EXPECT_FALSE(Node("Work\\Old").expanded);
    EXPECT_TRUE(Node("OutBox").expanded);
}

TEST_F(FolderTreeTest, RootLabelFallbacks) {
    AccountProfile p;
    EXPECT_EQ(ProfileRootLabel(p), "(no name)");
    p.name = "Ann";
    EXPECT_EQ(ProfileRootLabel(p), "Ann");
    p.address = "ann@x";
    EXPECT_EQ(ProfileRootLabel(p), "ann@x");
}

TEST_F(FolderTreeTest, NewFolderPlacement) {
    Touch("Work.mbx");
    Build();
    // Below InBox (fixed) and below the root: the mailbox directory.
    FolderNode* a = NewFolder(tree, &Node("InBox"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->folder->path, box / "NewBox01.mbx");
    EXPECT_TRUE(fs::exists(box / "NewBox01.mbx"));
    EXPECT_EQ(a->parent, tree.CurrentRoot());
    EXPECT_EQ(a->parent->children.back().get(), a);
    FolderNode* b = NewFolder(tree, tree.CurrentRoot());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->folder->path, box / "NewBox02.mbx");

    FolderNode& work = Node("Work");
    EXPECT_EQ(work.folder->kind, 2);
    FolderNode* c = NewFolder(tree, &work);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->folder->path, box / "Work" / "NewBox01.mbx");
    EXPECT_EQ(work.folder->kind, 1);
    EXPECT_TRUE(work.expanded);
    EXPECT_EQ(c->folder->kind, 2);

    Touch("Attach.mbx");
    Build();
    EXPECT_EQ(NewFolder(tree, &Node("Attach")), nullptr);
    EXPECT_EQ(Node("Attach").folder->kind, 2);
}

class FolderRenameTest : public FolderTreeTest {
protected:
    void SetUp() override {
        FolderTreeTest::SetUp();
        WriteFileBytes(box / "Work.mbx", "From:a\r\nTo:b\r\nSubject:s\r\n\r\nbody\r\n.\r\n");
        WriteFileBytes(box / "Work.ctl", "[Mail]\r\nTotal=1\r\nUnRead=1\r\n");
        Touch("Work/Old.mbx");
        Touch("Work/Old/Deeper.mbx");
        WriteFileBytes(box / "Workshop.mbx", "keep");
        WriteFileBytes(box / "Workshop.ctl", "[Mail]\r\nTotal=0\r\n");
        WriteFileBytes(box / "Filter.DEF",
                       "From\ta\tWork\t\r\n"
                       "From\tb\tWork\\Old\\Deeper\tI\r\n"
                       "From\tc\tWorkshop\t\r\n"
                       "# Work\r\n");
        Build();
    }
};

TEST_F(FolderRenameTest, WorkToJobMovesEverythingAndLeavesWorkshop) {
    FolderNode& work = Node("Work");
    MailFolder* deeper = Node("Work\\Old\\Deeper").folder.get();
    bool filters = false;
    ASSERT_EQ(RenameFolder(tree, work, "Job", &filters), RenameResult::Renamed);
    EXPECT_TRUE(filters);

    EXPECT_FALSE(fs::exists(box / "Work.mbx"));
    EXPECT_FALSE(fs::exists(box / "Work.ctl"));
    EXPECT_FALSE(fs::exists(box / "Work"));
    EXPECT_EQ(ReadFileBytes(box / "Job.mbx"), "From:a\r\nTo:b\r\nSubject:s\r\n\r\nbody\r\n.\r\n");
    EXPECT_TRUE(fs::exists(box / "Job.ctl"));
    EXPECT_TRUE(fs::exists(box / "Job" / "Old" / "Deeper.mbx"));
    EXPECT_EQ(work.folder->path, box / "Job.mbx");
    EXPECT_EQ(work.label, "Job");
    EXPECT_EQ(deeper->path, box / "Job" / "Old" / "Deeper.mbx");
    EXPECT_EQ(tree.FindNode("Job\\Old\\Deeper")->folder.get(), deeper);

    EXPECT_EQ(ReadFileBytes(box / "Workshop.mbx"), "keep");
    EXPECT_TRUE(fs::exists(box / "Workshop.ctl"));
    EXPECT_EQ(Node("Workshop").folder->path, box / "Workshop.mbx");
    EXPECT_EQ(ReadFileBytes(box / "Filter.DEF"),
              "From\ta\tJob\t\r\n"
              "From\tb\tJob\\Old\\Deeper\tI\r\n"
              "From\tc\tWorkshop\t\r\n"
              "# Work\r\n");
    // Siblings re-sorted: InBox, OutBox, Trash, then Job before Workshop.
    EXPECT_EQ(Labels(*tree.CurrentRoot()),
              (std::vector<std::string>{"InBox", "OutBox", "Trash", "Job", "Workshop"}));
}

TEST_F(FolderRenameTest, NestedRenameRewritesRemainder) {
    ASSERT_EQ(RenameFolder(tree, Node("Work\\Old"), "Older"), RenameResult::Renamed);
    EXPECT_TRUE(fs::exists(box / "Work" / "Older" / "Deeper.mbx"));
    EXPECT_EQ(Node("Work\\Older\\Deeper").folder->path, box / "Work" / "Older" / "Deeper.mbx");
    EXPECT_NE(ReadFileBytes(box / "Filter.DEF").find("From\tb\tWork\\Older\\Deeper\tI\r\n"),
              std::string::npos);
}

TEST_F(FolderRenameTest, RefusalsChangeNothing) {
    const std::string filterBefore = ReadFileBytes(box / "Filter.DEF");
    FolderNode& work = Node("Work");
    EXPECT_EQ(RenameFolder(tree, work, "Jo|b"), RenameResult::Refused);
    EXPECT_EQ(RenameFolder(tree, work, "a\\b"), RenameResult::Refused);
    EXPECT_EQ(RenameFolder(tree, work, "   "), RenameResult::Refused);
    EXPECT_EQ(RenameFolder(tree, work, "Sent"), RenameResult::Refused);
    EXPECT_EQ(RenameFolder(tree, work, "Work"), RenameResult::Unchanged);
    // Another folder's mailbox is never overwritten.
    EXPECT_EQ(RenameFolder(tree, work, "workshop"), RenameResult::NameTaken);
    EXPECT_EQ(RenameFolder(tree, Node("InBox"), "Mail"), RenameResult::Refused);
    EXPECT_EQ(RenameFolder(tree, *tree.CurrentRoot(), "Mail"), RenameResult::Refused);
    EXPECT_TRUE(fs::exists(box / "Work.mbx"));
    EXPECT_EQ(ReadFileBytes(box / "Workshop.mbx"), "keep");
    EXPECT_EQ(ReadFileBytes(box / "Filter.DEF"), filterBefore);
    EXPECT_EQ(work.label, "Work");
    // Top level only: Attach would adopt the attachment directory.
    EXPECT_EQ(RenameFolder(tree, work, "attach"), RenameResult::Refused);
    EXPECT_EQ(RenameFolder(tree, Node("Work\\Old"), "Attach"), RenameResult::Renamed);
}

TEST_F(FolderRenameTest, ChildDirectoryFailureMovesMailboxBack) {
    // A plain file where the directory would go makes the second move fail.
    WriteFileBytes(box / "Job", "in the way");
    EXPECT_EQ(RenameFolder(tree, Node("Work"), "Job"), RenameResult::MoveFailed);
    EXPECT_TRUE(fs::exists(box / "Work.mbx"));
    EXPECT_FALSE(fs::exists(box / "Job.mbx"));
    EXPECT_TRUE(fs::is_directory(box / "Work" / "Old"));
    EXPECT_EQ(ReadFileBytes(box / "Job"), "in the way");
    EXPECT_EQ(Node("Work").folder->path, box / "Work.mbx");
    EXPECT_EQ(Node("Work\\Old").folder->path, box / "Work" / "Old.mbx");
}

TEST_F(FolderRenameTest, DeleteAsksAndRemovesRecursively) {
    FolderNode& work = Node("Work");
    host.prompt.answers = {ConfirmAnswer::Cancel};
    bool deleted = true;
    EXPECT_EQ(DeleteFolder(tree, work, &deleted), nullptr);
    EXPECT_FALSE(deleted);
    ASSERT_EQ(host.QuestionTexts().size(), 1u);
    EXPECT_EQ(host.QuestionTexts()[0],
              "\"Work\"\nAre you sure to delete this folder\nincluding sub folders and messages?");
    EXPECT_TRUE(fs::exists(box / "Work.mbx"));

    host.prompt.answers = {ConfirmAnswer::Ok};
    MailFolder* inner = Node("Work\\Old").folder.get();
    MailFolder* outer = work.folder.get();
    const std::size_t below = tree.FolderNodes().size();
    host.store.SetShown(inner);
    FolderNode* next = DeleteFolder(tree, work, &deleted);
    // Whoever holds the folders lets go of each of them, the outer one last.
    EXPECT_EQ(host.resetFolders.size(), below - tree.FolderNodes().size());
    EXPECT_NE(std::find(host.resetFolders.begin(), host.resetFolders.end(), inner),
              host.resetFolders.end());
    EXPECT_EQ(host.resetFolders.back(), outer);
    EXPECT_EQ(host.store.ShownFolder(), nullptr);
    EXPECT_TRUE(deleted);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->label, "Workshop");
    EXPECT_FALSE(fs::exists(box / "Work.mbx"));
    EXPECT_FALSE(fs::exists(box / "Work.ctl"));
    EXPECT_FALSE(fs::exists(box / "Work"));
    EXPECT_EQ(tree.FindNode("Work"), nullptr);
    EXPECT_EQ(tree.FindNode("Work\\Old"), nullptr);
    EXPECT_TRUE(fs::exists(box / "Workshop.mbx"));

    // The last sibling: the previous one is selected; fixed folders stay.
    host.prompt.answers = {ConfirmAnswer::Ok};
    next = DeleteFolder(tree, Node("Workshop"), &deleted);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->label, "Trash");
    host.prompt.answers = {ConfirmAnswer::Ok};
    EXPECT_EQ(DeleteFolder(tree, Node("Trash"), &deleted), nullptr);
    EXPECT_FALSE(deleted);
}

TEST_F(FolderRenameTest, FolderPropertyAppliesToSubFolders) {
    FolderProperties props;
    props.repTemplate = "rep.tml";
    props.defAddrGroup = "Team";
    props.removeHead = true;
    EXPECT_EQ(ApplyFolderProperty(tree, Node("Work"), props, "Work", true),
              RenameResult::Unchanged);
    for (const char* name : {"Work", "Work\\Old", "Work\\Old\\Deeper"}) {
        EXPECT_EQ(PropertiesOf(Node(name)), props) << name;
    }
    EXPECT_EQ(PropertiesOf(Node("Workshop")), FolderProperties{});
    // A rebuild reads them back from the control files.
    Build();
    EXPECT_EQ(PropertiesOf(Node("Work\\Old\\Deeper")), props);
    EXPECT_EQ(Node("Work").folder->repTemplate, "rep.tml");

    // Without the check box only the folder itself changes; a new name renames.
    FolderProperties other;
    other.newTemplate = "n.tml";
    EXPECT_EQ(ApplyFolderProperty(tree, Node("Work"), other, "Job", false), RenameResult::Renamed);
    EXPECT_EQ(PropertiesOf(Node("Job")), other);
    EXPECT_EQ(PropertiesOf(Node("Job\\Old")), props);
}

}  // namespace
}  // namespace corvina
