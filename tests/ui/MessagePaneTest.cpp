// The message pane over a real frame: what selecting a message shows in
// the header pane, the body and the attachment pane, what the attachment
// pane does with a file, and that the pane lets go of a message before its
// folder is read again or left.

#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "FrameFixture.h"
#include "message/MailMessage.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"
#include "ui/editor/CIlkaView.h"
#include "ui/main/CAtView.h"
#include "ui/main/CHeadView.h"
#include "ui/main/CMoView.h"

namespace corvina::test {
namespace {

using Field = CHeadView::Field;

// The desktop services the pane asked for.
class RecordingHost : public AttachmentHost {
public:
    std::vector<std::string> calls;
    bool OpenWithDefaultAction(const std::filesystem::path& file) override {
        calls.push_back("open " + file.filename().string());
        return true;
    }
    bool RunProgram(const std::filesystem::path& program,
                    const std::filesystem::path& file) override {
        calls.push_back("run " + program.string() + " " + file.filename().string());
        return true;
    }
    bool ExploreFolder(const std::filesystem::path& directory) override {
        calls.push_back("explore " + directory.string());
        return true;
    }
    void AddMessageToShownFolder(std::string) override { calls.push_back("add"); }
};

class MessagePaneTest : public FrameFixture {
protected:
    // The frame over an InBox holding the named files of tests/data/viewer
    // (stored after the settings are read, so that attachments land in the
    // profile's Attach directory), the InBox shown in the list.
    CMoView& Open(std::initializer_list<const char*> files) {
        CMainFrame& window = MakeFrame();
        for (const char* file : files) {
            AddToFolder("InBox", ReadFileBytes(DataPath(std::string("viewer/") + file)));
        }
        context->list.FillMessageList(Inbox());
        return window.View();
    }
    MailFolder* Inbox() { return context->tree.FindNode("InBox")->folder.get(); }
    // Selects the message whose subject starts with `subject`.
    void SelectSubject(std::string_view subject) {
        for (int row = 0; row < context->list.Count(); ++row) {
            const MailMessage* m = context->list.Items()[static_cast<std::size_t>(row)].message;
            if (m != nullptr && m->subject.starts_with(subject)) {
                context->list.Select(row);
                return;
            }
        }
        ADD_FAILURE() << "no message " << subject;
    }
    static std::string FirstLine(CMoView& view) {
        const MailMessage* shown = view.Body().Document();
        return shown && !shown->bodyLines.empty() ? std::string(shown->bodyLines[0].Content())
                                                  : std::string();
    }
};

TEST_F(MessagePaneTest, SelectingShowsHeaderAndBodyAndLeavingTheFolderEmptiesThem) {
    CMoView& view = Open({"with-cc.eml", "long-subject-no-cc.eml"});
    SelectSubject("Minutes");
    ASSERT_NE(view.Shown(), nullptr);
    EXPECT_EQ(view.Body().Document(), view.Shown());
    EXPECT_EQ(FirstLine(view), "The minutes are below.");
    CHeadView& head = view.Head();
    EXPECT_EQ(head.Text(Field::From), "Ann Archer <ann@example.org>");
    EXPECT_EQ(head.Text(Field::To), "Reader <reader@example.net>");
    EXPECT_EQ(head.Text(Field::Cc), "Carl <carl@example.org>, Dora <dora@example.org>");
    EXPECT_EQ(head.Text(Field::Subject), "Minutes of the Tuesday meeting");
    EXPECT_EQ(head.Text(Field::Date), "Tue, 04 Mar 2025 10:11:12 +0000");
    EXPECT_TRUE(head.Shown(Field::Cc));
    EXPECT_FALSE(head.ShowsHtmlNote());
    EXPECT_FALSE(view.Attachments().isVisible());

    SelectSubject("A subject far too long");
    EXPECT_EQ(FirstLine(view), "Short body.");
    EXPECT_FALSE(head.Shown(Field::Cc));
    EXPECT_TRUE(head.Shown(Field::Subject));
    const QString subject = head.Text(Field::Subject);
    EXPECT_TRUE(subject.endsWith("word79"));
    bool elidedWithTip = false;  // too long for the pane: elided, whole in the tooltip
    for (const QLabel* label : head.findChildren<QLabel*>()) {
        elidedWithTip |= label->toolTip() == subject && label->text() != subject;
    }
    EXPECT_TRUE(elidedWithTip);

    // The list shows another folder: the pane lets go before the InBox's
    // bodies may be released.
    const MailMessage* before = view.Shown();
    context->list.FillMessageList(context->tree.FindNode("Trash")->folder.get());
    EXPECT_EQ(view.Shown(), nullptr);
    EXPECT_NE(view.Body().Document(), before);
    EXPECT_TRUE(head.Text(Field::From).isEmpty());
}

TEST_F(MessagePaneTest, AttachmentsAreListedSavedAndARiskyFileIsOpenedOnlyAfterAnOk) {
    CMoView& view = Open({"two-attachments-one-a-script.eml"});
    SelectSubject("Notes and an installer");
    CAtView& pane = view.Attachments();
    EXPECT_TRUE(pane.isVisible());
    ASSERT_EQ(pane.count(), 2);
    EXPECT_TRUE(pane.item(0)->text().startsWith("notes.dat"));
    EXPECT_TRUE(pane.item(1)->text().startsWith("setup.sh"));
    // Typed by extension when read back from the folder file.
    EXPECT_TRUE(pane.item(0)->toolTip().endsWith("application/octet-stream"));

    const std::filesystem::path target = scratch / "saved" / "kept.dat";
    std::filesystem::create_directories(target.parent_path());
    prompt.files.push_back(target);
    EXPECT_TRUE(pane.SaveRowAs(0));
    EXPECT_EQ(ReadFileBytes(target), "Attached notes\r\nline two\r\n");
    EXPECT_EQ(std::filesystem::path(app.settings.attachSaveDir), target.parent_path());

    RecordingHost host;
    pane.SetHost(&host);
    pane.setFocus();
    pane.setCurrentRow(1);
    prompt.answers = {ConfirmAnswer::Cancel};
    QTest::keyClick(&pane, Qt::Key_Return);
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0].buttons, ConfirmButtons::OkCancel);
    EXPECT_TRUE(host.calls.empty());

    prompt.answers = {ConfirmAnswer::Ok};
    EXPECT_EQ(pane.OpenRow(1), OpenOutcome::Opened);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"open setup.sh"}));
    EXPECT_EQ(pane.OpenRow(0), OpenOutcome::Opened);  // plain data: no question
    EXPECT_EQ(prompt.questions.size(), 2u);
    pane.SetHost(nullptr);
}

TEST_F(MessagePaneTest, AfterTheFolderIsReadAgainNoStaleBodyIsShown) {
    CMoView& view = Open({"with-cc.eml", "long-subject-no-cc.eml"});
    SelectSubject("Minutes");
    ASSERT_NE(view.Shown(), nullptr);

    // Another program rewrote the folder: the first message has a new
    // body; the index is read again and every record is new.
    std::filesystem::remove(Inbox()->path);
    std::string changed = ReadFileBytes(DataPath("viewer/with-cc.eml"));
    changed.replace(changed.find("The minutes are below."), 22, "Corrected minutes below.");
    AddToFolder("InBox", changed);
    AddToFolder("InBox", ReadFileBytes(DataPath("viewer/long-subject-no-cc.eml")));
    LoadFolder(*Inbox(), context->tree.Context());
    context->store.FolderReloaded(*Inbox());
    EXPECT_EQ(view.Shown(), nullptr);
    EXPECT_TRUE(view.Head().Text(Field::Subject).isEmpty());

    context->list.FillMessageList(Inbox());
    SelectSubject("A subject far too long");
    EXPECT_EQ(FirstLine(view), "Short body.");
    SelectSubject("Minutes");
    EXPECT_EQ(FirstLine(view), "Corrected minutes below.");
    EXPECT_EQ(view.Head().Text(Field::Subject), "Minutes of the Tuesday meeting");
}

TEST_F(MessagePaneTest, ABodyRenderedFromHtmlIsMarked) {
    CMoView& view = Open({"with-cc.eml", "long-subject-no-cc.eml"});
    for (const auto& message : Inbox()->messages) {
        message->renderedFromHtml = message->subject.starts_with("Minutes");
    }
    SelectSubject("Minutes");
    EXPECT_TRUE(view.Head().ShowsHtmlNote());
    SelectSubject("A subject far too long");
    EXPECT_FALSE(view.Head().ShowsHtmlNote());
}

}  // namespace
}  // namespace corvina::test
