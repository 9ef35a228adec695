// The message list model over real mailbox files: rows and column texts,
// pictures, sorting (also threaded), selection, marks, delete into and from
// Trash, and the double-click decisions.

#include <gtest/gtest.h>

// Each sample row names only the fields that matter to its case.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "StoreTestHost.h"
#include "TestSupport.h"
#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/MailDate.h"
#include "message/MailMessage.h"
#include "store/FolderStat.h"
#include "store/FolderTree.h"
#include "store/ListWatcher.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"
#include "store/MessageList.h"
#include "store/ThreadOrder.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;
using test::WriteFileBytes;

// The store's questions and folder notices, and the list's notices, with
// the rows a list widget's model would hold after each.
class ListHost : public test::RecordingStore, public ListWatcher {
public:
    std::vector<int> posted;
    std::vector<const MailMessage*> shown;
    int cleared = 0;
    std::vector<std::string> rowEvents;  // "+row", "-row", "~row", "reset"

    void ViewedChanged(const MailMessage* m) override {
        if (m != nullptr)
            shown.push_back(m);
        else
            ++cleared;
    }
    void CountsChanged(int change) override { posted.push_back(change); }
    void RowsInserted(int first, int count) override { Rows('+', first, count); }
    void RowsRemoved(int first, int count) override { Rows('-', first, count); }
    void RowsChanged(int first, int count) override { Rows('~', first, count); }
    void ListReset() override { rowEvents.push_back("reset"); }

private:
    void Rows(char what, int first, int count) {
        for (int i = 0; i < count; ++i)
            rowEvents.push_back(what + std::to_string(first + i));
    }
};

struct Row {
    std::string subject, from = "Ann <ann@example.org>", to = "bob@example.org";
    std::string date, status, id, ref, extra;
    int lines = 1;
};

std::string MailboxText(const std::vector<Row>& rows) {
    std::string out;
    for (const Row& s : rows) {
        out += "From:" + s.from + "\r\nTo:" + s.to + "\r\nSubject:" + s.subject + "\r\n";
        if (!s.date.empty())
            out += "Date:" + s.date + "\r\n";
        if (!s.status.empty())
            out += "Status:" + s.status + "\r\n";
        if (!s.id.empty())
            out += "Message-Id: " + s.id + "\r\n";
        if (!s.ref.empty())
            out += "In-Reply-To: " + s.ref + "\r\n";
        out += s.extra + "\r\n";
        for (int i = 0; i < s.lines; ++i)
            out += "line " + std::to_string(i) + "\r\n";
        out += ".\r\n";
    }
    return out;
}

class MessageListTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(box / "Attach");
        fs::create_directories(box / "OutBox");
        inboxNode.folder = std::make_unique<MailFolder>(box / "InBox.mbx");
        inbox().treeItem = &inboxNode;
        trash.path = box / "Trash.mbx";
        context.mailboxDir = box;
        context.store = &host.store;
        context.profileAddress = "me@example.com";
        context.profileAddrGroup = "Friends";
        context.trash = &trash;
        context.msgThread = &msgThread;
    }
    MailFolder& inbox() { return *inboxNode.folder; }
    void WriteBox(MailFolder& folder, const std::vector<Row>& rows) {
        WriteFileBytes(folder.path, MailboxText(rows));
    }
    void AddChildFolder(std::string label) {
        auto child = std::make_unique<FolderNode>();
        child->folder = std::make_unique<MailFolder>(box / "InBox" / (label + ".mbx"));
        child->label = std::move(label);
        child->parent = &inboxNode;
        inboxNode.children.push_back(std::move(child));
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int r = 0; r < list.Count(); ++r)
            texts.push_back(list.ColumnText(r, column));
        return texts;
    }
    std::vector<std::string> Subjects() {
        std::vector<std::string> s;
        for (const auto& item : list.Items())
            s.push_back(item.message ? item.message->subject : "F");
        return s;
    }
    // The mailbox read back from disk: subjects in file order.
    std::vector<std::string> OnDisk(const fs::path& path) {
        MailFolder fresh(path);
        LoadFolder(fresh, {box, nullptr});
        std::vector<std::string> s;
        for (const auto& m : fresh.messages)
            s.push_back(m->subject);
        return s;
    }

    ScratchDir dir;
    fs::path box = dir.Path() / "User0";
    ListHost host;
    FolderNode inboxNode;
    MailFolder trash;
    int msgThread = -1;
    MessageListContext context;
    MessageList list{MessageListContext{}};

    void Open(MailFolder& folder) {
        list = MessageList(context);
        list.AddWatcher(&host);
        list.FillMessageList(&folder);
    }
};

TEST_F(MessageListTest, FoldersFirstThenNewestFirstWithColumnTexts) {
    AddChildFolder("Projects");
    WriteBox(inbox(), {{.subject = "First", .date = "Tue, 04 Mar 2025 10:11:12 +0000", .lines = 2},
                       {.subject = "", .from = "Me <ME@example.com>", .status = "R"},
                       {.subject = "Third", .from = "carl@example.org"}});
    const char* oldTz = std::getenv("TZ");
    const std::string savedTz = oldTz ? oldTz : "";
    setenv("TZ", "JST-9", 1);
    Open(inbox());

    EXPECT_EQ(list.ColumnCaptions(),
              (std::vector<std::string>{"Subject", "Sender", "Date", "Lines"}));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"Projects", "Third", "(non-title)", "First"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"", "carl@example.org", "--> bob@example.org",
                                                   "Ann <ann@example.org>"}));
    EXPECT_EQ(Column(3), (std::vector<std::string>{"", "1", "1", "2"}));
    EXPECT_EQ(list.ColumnText(3, 2), "Tue Mar  4 19:11:12 2025");
    EXPECT_EQ(list.ColumnText(1, 2), "");  // no Date
    if (oldTz)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");

    EXPECT_EQ(list.Picture(0), ItemPicture::Folder);
    EXPECT_EQ(list.Picture(1), ItemPicture::Unread);
    EXPECT_EQ(list.Picture(2), ItemPicture::OwnMessage);
    EXPECT_EQ(list.StatusText(), "Unread:    2 / Total:    3");
    EXPECT_EQ(list.AddressGroup(), "!Default");  // the folder's own group wins
    EXPECT_EQ(msgThread, 0);

    std::array<int, 4> computed{};
    for (int c = 0; c < 4; ++c)
        computed[c] = 900 * kDefaultColumnShares[c].numerator / kDefaultColumnShares[c].denominator;
    EXPECT_EQ(computed, (std::array<int, 4>{300, 300, 200, 100}));
}

TEST_F(MessageListTest, ThreadedRowsAreIndentedAndUnloadableFolderShowsOnlyFolders) {
    WriteBox(inbox(), {{.subject = "Plan", .id = "<a@x>"},
                       {.subject = "Re: Plan", .id = "<b@x>", .ref = "<a@x>"},
                       {.subject = "Other", .id = "<c@x>"},
                       {.subject = "Re: Re: Plan", .id = "<d@x>", .ref = "<b@x>"}});
    WriteFolderStat(inbox(), "Settings", "Thread", 1);
    Open(inbox());
    EXPECT_TRUE(list.Threaded());
    EXPECT_EQ(msgThread, 1);
    EXPECT_EQ(Column(0),
              (std::vector<std::string>{"Plan", "  | Re: Plan", "    | Re: Re: Plan", "Other"}));
    list.SwitchThreading(false);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"Re: Re: Plan", "Other", "Re: Plan", "Plan"}));

    AddChildFolder("Only");
    MailFolder missing(box / "Nowhere.mbx");
    missing.treeItem = &inboxNode;
    Open(missing);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"Only"}));
}

TEST_F(MessageListTest, CountAllFolderShowsRecipientsAndErrors) {
    MailFolder outbox(box / "OutBox.mbx");
    outbox.countAll = true;
    WriteBox(outbox, {{.subject = "a", .to = "x@example.org", .status = "W"},
                      {.subject = "b", .to = "y@example.org", .status = "E"}});
    Open(outbox);
    EXPECT_EQ(list.ColumnCaptions()[1], "Recipient");
    EXPECT_EQ(Column(1), (std::vector<std::string>{"y@example.org", "x@example.org"}));
    EXPECT_EQ(list.Picture(0), ItemPicture::Error);
    EXPECT_EQ(list.Picture(1), ItemPicture::OwnMessage);
    EXPECT_EQ(list.StatusText(), "Unread:    0 / Total:    2");
    list.Select(0);
    EXPECT_FALSE(list.MarkRead());
    EXPECT_FALSE(list.MarkUnread());
}

TEST_F(MessageListTest, ThreeClicksOnAHeaderCycleBackToNaturalOrder) {
    AddChildFolder("Sub");
    WriteBox(inbox(), {{.subject = "b", .date = "Tue, 04 Mar 2025 10:00:00 +0000"},
                       {.subject = "C", .date = "Mon, 03 Mar 2025 10:00:00 +0000"},
                       {.subject = "a", .date = "Wed, 05 Mar 2025 03:00:00 +0900"}});
    Open(inbox());
    const std::vector<std::string> natural = Subjects();
    list.ClickColumn(2);
    EXPECT_EQ(list.ColumnCaptions()[2], "Date <");
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"F", "C", "b", "a"}));
    list.ClickColumn(2);
    EXPECT_EQ(list.ColumnCaptions()[2], "Date >");
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"F", "a", "b", "C"}));
    list.ClickColumn(0);  // another column: ascending, the old mark goes
    EXPECT_EQ(list.ColumnCaptions(),
              (std::vector<std::string>{"Subject <", "Sender", "Date", "Lines"}));
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"F", "a", "b", "C"}));
    list.ClickColumn(0);
    list.ClickColumn(0);
    EXPECT_EQ(list.SortKey(), kNaturalOrder);
    EXPECT_EQ(Subjects(), natural);
    EXPECT_EQ(list.ColumnCaptions()[0], "Subject");
}

TEST_F(MessageListTest, SubjectAndSenderSortIgnoreCaseInEveryScript) {
    CodePage::SetWorking(CodePage::kUtf8);
    WriteBox(inbox(), {{.subject = "Zèbre", .from = "Борис"},
                       {.subject = "ÉCOLE B", .from = "анна"},
                       {.subject = "école A", .from = "Вера"},
                       {.subject = "Ábaco", .from = "Аня"}});
    Open(inbox());
    list.ClickColumn(0);
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"Zèbre", "Ábaco", "école A", "ÉCOLE B"}));
    list.ClickColumn(1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"анна", "Аня", "Борис", "Вера"}));
    CodePage::SetWorking(0);
}

// Several levels of replies and two top messages with equal keys in every
// sortable column ("Plan" and "PLAN" are equal without regard to case).
// The children of a message stand the same way after every sort, ascending
// or descending: the last of them in the thread display first.
TEST_F(MessageListTest, ThreadedSortKeepsChildrenTheSameWayInBothDirections) {
    const std::string day1 = "Mon, 03 Mar 2025 10:00:00 +0000";
    const std::string day2 = "Tue, 04 Mar 2025 10:00:00 +0000";
    WriteBox(inbox(),
             {{.subject = "Plan", .from = "Bob", .date = day2, .id = "<p>", .lines = 3},
              {.subject = "Re: Plan", .from = "c1", .date = day2, .id = "<c1>", .ref = "<p>"},
              {.subject = "Re: Plan", .from = "c2", .date = day2, .id = "<c2>", .ref = "<p>"},
              {.subject = "Re: Re: Plan", .from = "g1", .date = day2, .id = "<g1>", .ref = "<c1>"},
              {.subject = "Re: Re: Plan", .from = "g2", .date = day2, .id = "<g2>", .ref = "<c1>"},
              {.subject = "PLAN", .from = "BOB", .date = day2, .id = "<r>", .lines = 3},
              {.subject = "agenda", .from = "alice", .date = day1, .id = "<q>", .lines = 1}});
    WriteFolderStat(inbox(), "Settings", "Thread", 1);
    auto senders = [&] {
        std::vector<std::string> s;
        for (const auto& item : list.Items())
            s.push_back(item.message->from);
        return s;
    };
    using Rows = std::vector<std::string>;
    for (int column = 0; column < 4; ++column) {
        Open(inbox());
        ASSERT_EQ(senders(), (Rows{"Bob", "c1", "g1", "g2", "c2", "BOB", "alice"}));
        list.ClickColumn(column);
        EXPECT_EQ(senders(), (Rows{"alice", "Bob", "c2", "c1", "g2", "g1", "BOB"}))
            << "ascending by column " << column;
        list.ClickColumn(column);
        EXPECT_EQ(senders(), (Rows{"Bob", "c2", "c1", "g2", "g1", "BOB", "alice"}))
            << "descending by column " << column;
    }
}

// The put-back step exactly as described: walk down the sorted list and
// insert each belonging taken-out message directly below the current one;
// the replies are taken out in the order of the thread display.
std::vector<const MailMessage*> SlowThreadedSort(const std::vector<MessageListItem>& shown,
                                                 const std::vector<MessageListItem>& threaded,
                                                 int column, bool descending) {
    std::vector<const MailMessage*> top, taken;
    for (const auto& item : shown) {
        if (item.depth == 0)
            top.push_back(item.message);
    }
    for (const auto& item : threaded) {
        if (item.depth > 0)
            taken.push_back(item.message);
    }
    auto key = [column](const MailMessage* m) -> std::string {
        switch (column) {
            case 0:
                return ToLowerAscii(m->subject);
            case 1:
                return ToLowerAscii(m->from);
            case 2:
                return std::to_string(ParseMailDate(m->date) + 1000000000000LL);
            default:
                return std::to_string(m->bodyLineCount + 1000);
        }
    };
    std::stable_sort(top.begin(), top.end(), [&](const MailMessage* a, const MailMessage* b) {
        return descending ? key(a) > key(b) : key(a) < key(b);
    });
    std::vector<const MailMessage*> out = top;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const MailMessage& m = *out[i];
        for (auto it = taken.begin(); it != taken.end();) {
            const MailMessage& t = **it;
            const bool belongs = !t.parentReference.empty()
                                     ? t.parentReference == m.messageId
                                     : BaseSubject(t.subject) == BaseSubject(m.subject);
            if (belongs) {
                out.insert(out.begin() + static_cast<long>(i) + 1, *it);
                it = taken.erase(it);
            } else {
                ++it;
            }
        }
    }
    out.insert(out.end(), taken.begin(), taken.end());
    return out;
}

TEST_F(MessageListTest, ThreadedSortPutsRepliesBackAsTheProcedureDoes) {
    std::mt19937 rng(7);
    WriteFolderStat(inbox(), "Settings", "Thread", 1);
    for (int round = 0; round < 60; ++round) {
        std::vector<Row> rows;
        const int n = 1 + static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            Row s;
            s.subject = std::string(rng() % 2 ? "Re: " : "") + (rng() % 2 ? "x" : "Y");
            s.from = rng() % 2 ? "ann" : "Bob";
            s.date = "Tue, 0" + std::to_string(1 + rng() % 3) + " Mar 2025 10:00:00 +0000";
            s.id = "<" + std::to_string(rng() % (n / 2 + 1)) + ">";
            if (i > n / 4 && rng() % 2)
                s.ref = "<" + std::to_string(rng() % (n / 2 + 3)) + ">";
            s.lines = 1 + static_cast<int>(rng() % 4);
            rows.push_back(s);
        }
        inbox().ClearMessages();
        WriteBox(inbox(), rows);
        Open(inbox());
        const std::vector<MessageListItem> threaded = list.Items();
        // Clicks on random columns: ascending, descending, or another column.
        for (int click = 0; click < 4; ++click) {
            const int column = static_cast<int>(rng() % 4);
            if (list.SortKey() == kDescending + column)
                continue;  // a third click shows the natural order again
            const bool descending = list.SortKey() == column;
            const std::vector<const MailMessage*> expected =
                SlowThreadedSort(list.Items(), threaded, column, descending);
            list.ClickColumn(column);
            std::vector<const MailMessage*> got;
            for (const auto& item : list.Items())
                got.push_back(item.message);
            ASSERT_EQ(got, expected) << "round " << round << ", column " << column
                                     << (descending ? " descending" : " ascending");
        }
    }
}

TEST_F(MessageListTest, SelectingShowsAndMayMarkRead) {
    AddChildFolder("Sub");
    WriteBox(inbox(), {{.subject = "one"}, {.subject = "two", .status = "R"}});
    Open(inbox());
    list.Select(2);  // "one", unread
    EXPECT_TRUE(inbox().modified);
    EXPECT_FALSE(inbox().messages[0]->read);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_TRUE(host.shown[0]->bodyLoaded);
    EXPECT_EQ(list.Picture(2), ItemPicture::Viewed);
    list.Select(2);
    EXPECT_EQ(host.shown.size(), 1u);  // already shown
    list.Select(0);
    EXPECT_EQ(host.cleared, 1);

    context.alwaysRead = true;
    inbox().modified = false;
    Open(inbox());
    list.Select(2);
    MailMessage& one = *inbox().messages[0];
    EXPECT_TRUE(one.read);
    EXPECT_TRUE(one.dirty);
    EXPECT_EQ(host.posted, (std::vector<int>{kCountsBecameRead}));
    ApplyCountsChanged(inbox(), kCountsBecameRead);
    EXPECT_EQ(inbox().unread, 0);
    // Shown again, the same message stays selected.
    list.FillMessageList(&inbox());
    EXPECT_EQ(list.SelectedRows(), (std::vector<int>{list.RowOf(&one)}));
}

TEST_F(MessageListTest, MarkReadAndUnreadKeepOtherStatusLetters) {
    WriteBox(inbox(), {{.subject = "a", .status = "RO", .extra = "X-Marlo-Reply:1\r\n"},
                       {.subject = "b", .status = "O"}});
    Open(inbox());
    MailMessage& a = *inbox().messages[0];
    MailMessage& b = *inbox().messages[1];
    ASSERT_TRUE(a.replied);
    EXPECT_EQ(list.Picture(1), ItemPicture::Replied);
    list.Select(0);
    list.AddToSelection(1);
    host.posted.clear();
    ASSERT_TRUE(list.MarkUnread());
    EXPECT_EQ(a.status, "O");
    EXPECT_FALSE(a.read);
    EXPECT_FALSE(a.replied);
    EXPECT_TRUE(a.dirty);
    MessageList other(context);  // a list where "a" is not the viewed message
    other.FillMessageList(&inbox());
    EXPECT_EQ(other.Picture(1), ItemPicture::Unread);
    EXPECT_EQ(inbox().unread, 2);
    EXPECT_EQ(host.posted, (std::vector<int>{kCountsChanged}));

    ASSERT_TRUE(list.MarkRead());
    EXPECT_EQ(a.status, "OR");
    EXPECT_EQ(b.status, "OR");
    EXPECT_EQ(inbox().unread, 0);
    ASSERT_TRUE(SaveFolder(inbox(), false, {box, &host.store}));
    MailFolder fresh(inbox().path);
    ASSERT_TRUE(LoadFolder(fresh, {box, nullptr}));
    EXPECT_TRUE(fresh.messages[0]->read);
    EXPECT_FALSE(fresh.messages[0]->replied);
    EXPECT_EQ(fresh.unread, 0);
}

TEST_F(MessageListTest, DeleteMovesIntoTrashAndTheFileLosesTheMessage) {
    WriteBox(trash, {{.subject = "old"}});
    WriteBox(inbox(), {{.subject = "first"}, {.subject = "second"}, {.subject = "third"}});
    Open(inbox());
    list.Select(2);  // "first": the first message of the file
    ASSERT_TRUE(list.DeleteSelected());
    EXPECT_EQ(OnDisk(trash.path), (std::vector<std::string>{"old", "first"}));
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"third", "second"}));
    EXPECT_EQ(list.SelectedRows(), (std::vector<int>{1}));  // the row before the old one
    EXPECT_EQ(inbox().total, 2);
    EXPECT_EQ(inbox().unread, 2);
    EXPECT_EQ(host.changed, (std::vector<MailFolder*>{&inbox(), &trash}));
    ASSERT_TRUE(SaveFolder(inbox(), false, {box, &host.store}));
    EXPECT_EQ(OnDisk(inbox().path), (std::vector<std::string>{"second", "third"}));
}

TEST_F(MessageListTest, DeleteKeepsTheMessagesWhenTrashCannotBeWritten) {
    trash.path = box / "no such dir" / "Trash.mbx";
    WriteBox(inbox(), {{.subject = "first"}, {.subject = "second"}, {.subject = "third"}});
    Open(inbox());
    list.Select(1);
    list.AddToSelection(2);
    EXPECT_FALSE(list.DeleteSelected());
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"third", "second", "first"}));
    EXPECT_EQ(inbox().messages.size(), 3u);
    EXPECT_EQ(inbox().total, 3);
    EXPECT_EQ(inbox().unread, 3);
    EXPECT_TRUE(trash.messages.empty());
    SaveFolder(inbox(), false, {box, &host.store});
    EXPECT_EQ(OnDisk(inbox().path), (std::vector<std::string>{"first", "second", "third"}));
}

TEST_F(MessageListTest, DeleteFromTrashAsksAboutAttachFilesOnly) {
    const fs::path inside = box / "Attach" / "a.txt";
    const fs::path outside = dir.Path() / "b.txt";
    WriteFileBytes(inside, "a");
    WriteFileBytes(outside, "b");
    WriteBox(trash, {{.subject = "keep"},
                     {.subject = "gone",
                      .extra = "X-Marlo-Attachment-File:" + inside.string() + "\r\n" +
                               "X-Marlo-Attachment-File:" + outside.string() + "\r\n"}});
    Open(trash);
    list.Select(0);  // "gone"
    host.prompt.answers = {ConfirmAnswer::Cancel};
    EXPECT_FALSE(list.DeleteSelected());
    EXPECT_EQ(trash.messages.size(), 2u);

    host.prompt.questions.clear();
    ASSERT_TRUE(list.DeleteSelected());
    ASSERT_EQ(host.QuestionTexts().size(), 2u);
    EXPECT_EQ(host.QuestionTexts()[0], "Are you sure you want to delete?");
    EXPECT_EQ(host.QuestionTexts()[1],
              "Do you want to delete the file?\n(" + inside.string() + ")");
    EXPECT_FALSE(fs::exists(inside));
    EXPECT_TRUE(fs::exists(outside));
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"keep"}));
    EXPECT_EQ(trash.total, 1);
    ASSERT_TRUE(SaveFolder(trash, false, {box, &host.store}));
    EXPECT_EQ(OnDisk(trash.path), (std::vector<std::string>{"keep"}));
}

TEST_F(MessageListTest, DoubleClickDecisions) {
    AddChildFolder("Sub");
    WriteBox(inbox(), {{.subject = "question", .id = "<q@x>"}});
    Open(inbox());
    DoubleClickAction a = list.DoubleClick(0, RowPart::Text, false);
    EXPECT_EQ(a.kind, DoubleClickAction::SelectFolder);
    EXPECT_EQ(a.folder, inboxNode.children[0]->folder.get());

    std::vector<int> priorities;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list.DoubleClick(1, RowPart::Picture, false).kind,
                  DoubleClickAction::PriorityCycled);
        priorities.push_back(inbox().messages[0]->priority);
    }
    EXPECT_EQ(priorities, (std::vector<int>{2, 1, 5, 4, 3}));
    EXPECT_EQ(list.DoubleClick(1, RowPart::Text, false).kind, DoubleClickAction::OpenViewer);

    MailFolder outbox(box / "OutBox.mbx");
    outbox.countAll = true;
    WriteBox(outbox, {{.subject = "Re: question",
                       .status = "W",
                       .ref = "<q@x>",
                       .extra = "X-Marlo-ReplyFolder: InBox\r\n"},
                      {.subject = "other", .status = "W"}});
    Open(outbox);
    EXPECT_EQ(list.DoubleClick(1, RowPart::Text, true).kind, DoubleClickAction::OpenAsNew);
    a = list.DoubleClick(1, RowPart::Text, false);  // file order 0: the reply
    ASSERT_EQ(a.kind, DoubleClickAction::ReEdit);
    ASSERT_TRUE(a.removed);
    EXPECT_EQ(a.removed->subject, "Re: question");
    EXPECT_EQ(a.removed->bodyLineCount, 1);
    EXPECT_EQ(a.answered, inbox().messages[0].get());
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"other"}));
    EXPECT_EQ(outbox.total, 1);

    MailFolder sent(box / "OutBox" / "Sent.mbx");
    sent.countAll = true;
    WriteBox(sent, {{.subject = "done", .status = "S"}});
    Open(sent);
    EXPECT_EQ(list.DoubleClick(0, RowPart::Text, false).kind, DoubleClickAction::OpenAsNew);
}

TEST_F(MessageListTest, InsertMessageItemOnlyIntoTheShownFolder) {
    AddChildFolder("Sub");
    WriteBox(inbox(), {{.subject = "a"}});
    Open(inbox());
    MailMessage m;
    EXPECT_EQ(list.InsertMessageItem(trash, m), -1);
    EXPECT_FALSE(m.dirty);
    EXPECT_EQ(list.InsertMessageItem(inbox(), m), 1);
    EXPECT_TRUE(m.dirty);
    EXPECT_TRUE(inbox().modified);
    EXPECT_EQ(list.Items()[1].message, &m);
}

// A widget's model follows the list by its notices alone, and the store
// hears what the list and the viewer show.
TEST_F(MessageListTest, RowNoticesAndWhatIsShown) {
    AddChildFolder("Sub");
    WriteBox(trash, {});
    WriteBox(inbox(), {{.subject = "one"}, {.subject = "two"}});
    context.alwaysRead = true;
    Open(inbox());
    EXPECT_EQ(host.rowEvents, (std::vector<std::string>{"reset"}));
    EXPECT_EQ(host.store.ShownFolder(), &inbox());

    list.Select(2);  // "one", unread: marked read at once
    MailMessage& one = *inbox().messages[0];
    EXPECT_EQ(host.rowEvents.back(), "~2");
    EXPECT_TRUE(host.store.KeepsBodyLoaded(one));
    list.Select(0);  // the child folder: the viewer empties
    EXPECT_FALSE(host.store.KeepsBodyLoaded(one));

    host.rowEvents.clear();
    list.Select(1);
    ASSERT_TRUE(list.DeleteSelected());
    EXPECT_EQ(host.rowEvents, (std::vector<std::string>{"~1", "-1"}));
    MailMessage added;
    EXPECT_EQ(list.InsertMessageItem(inbox(), added), 1);
    EXPECT_EQ(host.rowEvents.back(), "+1");
    list.ClickColumn(0);
    EXPECT_EQ(host.rowEvents.back(), "reset");
}

TEST_F(MessageListTest, ShowingAnotherFolderEmptiesTheViewerBeforeTheRows) {
    WriteBox(trash, {{.subject = "gone"}});
    WriteBox(inbox(), {{.subject = "one"}});
    Open(inbox());
    list.Select(0);
    host.rowEvents.clear();
    for (MailFolder* next : {&trash, static_cast<MailFolder*>(nullptr)}) {
        list.FillMessageList(next);
        EXPECT_EQ(host.cleared, 1);  // told once, while a message was shown
        EXPECT_EQ(list.ViewedMessage(), nullptr);
        EXPECT_FALSE(host.store.KeepsBodyLoaded(*inbox().messages[0]));
    }
    EXPECT_EQ(host.rowEvents, (std::vector<std::string>{"reset", "reset"}));
}

// Records replaced, removed or dropped by the store are let go of before
// anything can touch them: the viewer empties, the rows are new.
TEST_F(MessageListTest, ReplacedRemovedOrDroppedRecordsAreLetGoOf) {
    WriteBox(inbox(), {{.subject = "one"}, {.subject = "two"}, {.subject = "three"}});
    Open(inbox());
    host.store.AddWatcher(&list);
    const auto selectSubject = [&](const std::string& subject) {
        for (int row = 0; row < list.Count(); ++row) {
            if (list.Items()[row].message->subject == subject)
                list.Select(row);
        }
    };
    selectSubject("one");
    ASSERT_EQ(host.shown.size(), 1u);

    // Read again: every record is new, maybe at an old one's address.
    LoadFolder(inbox(), {box, &host.store});
    host.store.FolderReloaded(inbox());
    EXPECT_EQ(host.cleared, 1);
    EXPECT_EQ(list.ViewedMessage(), nullptr);
    EXPECT_TRUE(list.SelectedRows().empty());
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"three", "two", "one"}));
    selectSubject("one");
    ASSERT_EQ(host.shown.size(), 2u);
    EXPECT_EQ(host.shown.back(), inbox().messages[0].get());
    EXPECT_TRUE(host.shown.back()->bodyLoaded);

    // Taken out of the folder by someone else and freed.
    const MessageRef ref = StoredMessageRef(box, inbox(), *inbox().messages[0]);
    inbox().messages.erase(inbox().messages.begin());
    host.rowEvents.clear();
    host.store.MessageRemoved(inbox(), ref);
    EXPECT_EQ(host.cleared, 2);
    EXPECT_EQ(host.rowEvents, (std::vector<std::string>{"-2"}));
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"three", "two"}));

    selectSubject("two");
    host.store.FolderReset(inbox());
    EXPECT_EQ(host.cleared, 3);
    EXPECT_EQ(list.Folder(), nullptr);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(MessageListTest, DropOnAnotherProfileCopiesAttachmentsWithoutOverwriting) {
    const fs::path other = dir.Path() / "User1";
    fs::create_directories(other / "Attach");
    WriteFileBytes(other / "Attach" / "a.txt", "theirs");
    WriteFileBytes(other / "Attach" / "00_a.txt", "theirs too");
    const fs::path mine = box / "Attach" / "a.txt";
    WriteFileBytes(mine, "mine");
    WriteBox(inbox(), {{.subject = "with file",
                        .extra = "X-Marlo-Attachment-File:" + mine.string() + "\r\n"},
                       {.subject = "plain"}});
    Open(inbox());
    list.Select(0);
    list.AddToSelection(1);
    const std::vector<MailMessage*> moved = list.SelectedMessages();
    EXPECT_EQ(CopyToProfileInBox(moved, other).size(), 2u);
    EXPECT_EQ(test::ReadFileBytes(other / "Attach" / "a.txt"), "theirs");
    EXPECT_EQ(test::ReadFileBytes(other / "Attach" / "01_a.txt"), "mine");
    MailFolder theirs(other / "InBox.mbx");
    ASSERT_TRUE(LoadFolder(theirs, {other, nullptr}));
    ASSERT_EQ(theirs.messages.size(), 2u);
    EXPECT_EQ(theirs.messages[1]->subject, "with file");
    ASSERT_EQ(theirs.messages[1]->attachments.size(), 1u);
    EXPECT_EQ(theirs.messages[1]->attachments[0].path, other / "Attach" / "01_a.txt");

    // A move then takes them out of the shown folder; the file follows on save.
    list.RemoveDroppedMessages(moved);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(inbox().total, 0);
    ASSERT_TRUE(SaveFolder(inbox(), false, {box, &host.store}));
    EXPECT_TRUE(OnDisk(inbox().path).empty());
    EXPECT_TRUE(fs::exists(mine));  // the source keeps its file
}

}  // namespace
}  // namespace corvina
