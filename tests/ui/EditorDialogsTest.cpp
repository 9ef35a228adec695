#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "TestSupport.h"
#include "ViewFixture.h"
#include "editor/SearchState.h"
#include "platform/ConfigStore.h"
#include "ui/editor/QtEditorDialogs.h"
#include "ui/editor/dialogs/ConvertDialog.h"
#include "ui/editor/dialogs/FindDialog.h"
#include "ui/editor/dialogs/JumpDialog.h"
#include "ui/editor/dialogs/PasteHistoryDialog.h"
#include "ui/editor/dialogs/ReplaceThisDialog.h"
#include "ui/editor/dialogs/SortDialog.h"
#include "ui/editor/dialogs/StepDialog.h"

namespace corvina::test {
namespace {

// The control of `dialog` showing `text`, as the user sees it.
template <typename Control = QAbstractButton>
Control* Named(QWidget& dialog, const char* text) {
    for (Control* control : dialog.findChildren<Control*>()) {
        if (control->text() == QString::fromUtf8(text)) {
            return control;
        }
    }
    ADD_FAILURE() << "no control \"" << text << "\" in " << dialog.windowTitle().toStdString();
    return nullptr;
}

void Press(QWidget& dialog, const char* button, Qt::KeyboardModifiers modifiers = {}) {
    if (auto* b = Named<QPushButton>(dialog, button)) {
        QTest::mouseClick(b, Qt::LeftButton, modifiers);
    }
}

void Check(QWidget& dialog, const char* box) {
    if (auto* b = Named(dialog, box)) {
        b->click();
    }
}

// Runs `act` on the modal dialog once it is open (tests through exec()).
void WhenModal(std::function<void(QWidget&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

class EditorDialogsTest : public ViewFixture {
protected:
    void SetUp() override { CodePage::SetWorking(CodePage::kUtf8); }
};

TEST_F(EditorDialogsTest, FindRoundTripsStringOptionsAndDirection) {
    FindDialogValues values;
    values.pattern = "abc";
    values.options = SearchOptions::FromLetters("IE");  // E has no check box
    values.history = {"newer", "older"};
    std::vector<std::string> saved;
    FindDialog dialog(
        values, [&](const SearchOptions& options) { saved.push_back(options.Letters()); }, nullptr);
    dialog.show();

    auto* combo = dialog.findChild<QComboBox*>();
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), "newer");
    EXPECT_EQ(combo->currentText(), "abc");
    EXPECT_TRUE(Named(dialog, "&Forward")->isChecked());
    QTest::keyClicks(combo->lineEdit(), "x\\t");
    combo->lineEdit()->insert(QStringLiteral("ü"));
    Check(dialog, "Match &Whole Word");
    Check(dialog, "&Ignore Case");
    Check(dialog, "&Regular Expression");
    Check(dialog, "&Backward");
    Press(dialog, "&Save Option");
    EXPECT_TRUE(dialog.isVisible());
    Press(dialog, "Mark A&ll");

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Button(), FindDialogButton::kMarkAll);
    const FindDialogValues out = dialog.Values();
    EXPECT_EQ(out.pattern, "x\\t\xc3\xbc");
    EXPECT_EQ(out.options.Letters(), "WER");
    EXPECT_TRUE(out.backward);
    EXPECT_EQ(out.history, values.history);
    EXPECT_EQ(saved, std::vector<std::string>{"WER"});
}

// "Save Option" of one dialog stores its own letters only, through the
// search state into the client's settings.
TEST_F(EditorDialogsTest, SaveOptionStoresOnlyItsDialogsOptions) {
    ConfigStore store;
    SearchState search;
    QtEditorDialogs dialogs(nullptr, &store, search);

    ReplaceDialogValues replace;
    replace.pattern = "cat";
    replace.options = SearchOptions::FromLetters("G");
    WhenModal([](QWidget& d) {
        Check(d, "Match &Top of String");
        Press(d, "Save &Option");
        QTest::keyClicks(d.findChildren<QComboBox*>().at(1)->lineEdit(), "dog");
        Press(d, "R&eplace All");
    });
    ASSERT_EQ(dialogs.AskReplace(replace), ReplaceDialogButton::kReplaceAll);
    EXPECT_EQ(replace.replacement, "dog");
    EXPECT_EQ(store.GetString("Settings", "ReplOption", "-"), "GT");
    EXPECT_EQ(store.GetString("Settings", "FindOption", "-"), "-");
    EXPECT_EQ(search.ReplaceOptions().Letters(), "GT");

    FindDialogValues find;
    WhenModal([](QWidget& d) {
        Check(d, "&Mark Found Line");
        Press(d, "&Save Option");
        Press(d, "Cancel");
    });
    EXPECT_EQ(dialogs.AskFind(find), FindDialogButton::kCancel);
    EXPECT_EQ(store.GetString("Settings", "FindOption", "-"), "M");
    EXPECT_EQ(store.GetString("Settings", "ReplOption", "-"), "GT");
}

// The values typed into the Qt dialog reach the search of the view.
TEST_F(EditorDialogsTest, FindFromTheViewSearchesForWhatWasTyped) {
    QtEditorDialogs qtDialogs(nullptr);
    CIlkaView view(options, nullptr, qtDialogs);
    view.Attach(MessageWithBody("alpha\nbeta gamma\n"));
    view.show();
    WhenModal([](QWidget& d) {
        QLineEdit* pattern = d.findChild<QComboBox*>()->lineEdit();
        pattern->clear();
        QTest::keyClicks(pattern, "GAMMA");
        Press(d, "OK");
    });
    view.RunCommand(EditorCommand::kSearchFwd);
    EXPECT_EQ(view.Editor().CaretLine(), 1u);
    EXPECT_EQ(view.Editor().CaretOffset(), 5u);
}

TEST_F(EditorDialogsTest, ReplaceThisAnswersByButtonAndShift) {
    const struct {
        const char* button;
        Qt::KeyboardModifiers modifiers;
        ReplaceAnswer answer;
    } cases[] = {
        {"&Yes", {}, ReplaceAnswer::kYes},      {"&Yes", Qt::ShiftModifier, ReplaceAnswer::kAll},
        {"&No", {}, ReplaceAnswer::kNo},        {"Replace &All", {}, ReplaceAnswer::kAll},
        {"Cancel", {}, ReplaceAnswer::kCancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        ReplaceThisDialog dialog(nullptr);
        dialog.show();
        Press(dialog, c.button, c.modifiers);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.Answer(), c.answer);
    }
}

TEST_F(EditorDialogsTest, JumpPresetsItsCountingAndReadsTheNumber) {
    for (const bool asShown : {false, true}) {
        JumpDialog dialog({7, asShown}, nullptr);
        dialog.show();
        EXPECT_TRUE(Named(dialog, asShown ? "As &Shown" : "&Logical")->isChecked());
        auto* number = dialog.findChild<QLineEdit*>();
        EXPECT_EQ(number->text(), "7");
        QTest::keyClicks(number, "42");  // the preset is selected: typing replaces it
        Check(dialog, asShown ? "&Logical" : "As &Shown");
        const JumpDialogValues out = dialog.Choice();
        EXPECT_EQ(out.lineNumber, 42);
        EXPECT_EQ(out.asShown, !asShown);
    }
}

// Radio buttons map onto the enumerations in their order.
TEST_F(EditorDialogsTest, ConvertAndSortReturnTheChoicesShown) {
    ConvertDialog convert({}, nullptr);
    Check(convert, "Upper Top Of Word");
    Check(convert, "Space to Tab");
    Check(convert, "MBCS to SBCS");
    const ConvertChoice c = convert.Choice();
    EXPECT_EQ(c.letterCase, CaseConversion::kUpperTopOfWord);
    EXPECT_EQ(c.spacing, SpacingConversion::kSpaceToTab);
    EXPECT_EQ(c.width, WidthConversion::kMbcsToSbcs);

    SortDialog sort({}, nullptr);
    Check(sort, "&Decend");
    Check(sort, "Sort &Lines");
    const SortChoice s = sort.Choice();
    EXPECT_TRUE(s.descending);
    EXPECT_FALSE(s.ignoreCase);
    EXPECT_FALSE(s.sortLines);
}

// The chosen entry comes back byte for byte, even bytes that are no text
// of the code page.
TEST_F(EditorDialogsTest, PasteHistoryReturnsTheChosenEntryAndAction) {
    const std::vector<std::string> entries = {"first\nline", "bytes \xff\xfe"};
    PasteHistoryDialog paste(entries, nullptr);
    paste.show();
    Press(paste, "&Paste");
    EXPECT_EQ(paste.Choice().action, PasteHistoryChoice::Action::kPaste);
    EXPECT_EQ(paste.Choice().text, entries[0]);

    PasteHistoryDialog copy(entries, nullptr);
    copy.show();
    copy.findChild<QListWidget*>()->setCurrentRow(1);
    Press(copy, "&Copy");
    EXPECT_EQ(copy.Choice().action, PasteHistoryChoice::Action::kCopy);
    EXPECT_EQ(copy.Choice().text, entries[1]);

    PasteHistoryDialog cancel(entries, nullptr);
    cancel.show();
    Press(cancel, "Cancel");
    EXPECT_EQ(cancel.Choice().action, PasteHistoryChoice::Action::kCancel);
}

TEST_F(EditorDialogsTest, StepButtonsUndoAndRedoTheEditor) {
    CIlkaView& v = MakeView("text\n");
    QTest::keyClicks(&v, "ab");
    v.Editor().CommitLine();
    const std::string typed = v.Editor().Text();

    StepDialog dialog(v.Editor(), &v);
    dialog.show();
    auto* steps = dialog.findChild<QLineEdit*>();
    const QString before = steps->text();
    Press(dialog, "&Undo");
    EXPECT_NE(v.Editor().Text(), typed);
    EXPECT_NE(steps->text(), before);
    EXPECT_TRUE(Named(dialog, "&Redo")->isEnabled());
    while (Named(dialog, "&Redo")->isEnabled()) {
        Press(dialog, "&Redo");
    }
    EXPECT_EQ(v.Editor().Text(), typed);
    EXPECT_EQ(steps->text(), before);
}

TEST_F(EditorDialogsTest, FileDialogReturnsTheChosenPath) {
    ScratchDir dir;
    const std::filesystem::path file = dir / "päste.txt";
    WriteFileBytes(file, "x");
    QtEditorDialogs dialogs(nullptr);
    WhenModal([&](QWidget& d) {
        auto& files = dynamic_cast<QFileDialog&>(d);
        EXPECT_EQ(files.windowTitle(), "Paste from File");
        files.selectFile(QString::fromStdString(file.string()));
        static_cast<QDialog&>(files).accept();
    });
    std::filesystem::path chosen;
    ASSERT_TRUE(dialogs.AskFileName(FileDialogKind::kPasteFromFile, chosen));
    EXPECT_EQ(chosen, file);
}

// Escape waiting in the queue is seen; the other input waiting with it is
// swallowed instead of reaching a widget in the middle of a search. The
// press counts until the event loop next waits.
TEST_F(EditorDialogsTest, EscapeIsSeenAndOtherInputSwallowedWhileSearching) {
    QtEditorDialogs dialogs(nullptr);
    QLineEdit edit;
    edit.show();
    EXPECT_FALSE(dialogs.EscapePressed());
    QCoreApplication::postEvent(&edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, {}, "a"));
    QCoreApplication::postEvent(&edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
    EXPECT_TRUE(dialogs.EscapePressed());
    EXPECT_TRUE(dialogs.EscapePressed());
    EXPECT_EQ(edit.text(), "");

    QEventLoop idle;
    QTimer::singleShot(20, &idle, &QEventLoop::quit);
    idle.exec();
    EXPECT_FALSE(dialogs.EscapePressed());
}

}  // namespace
}  // namespace corvina::test
