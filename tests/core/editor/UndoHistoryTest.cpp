#include "editor/UndoHistory.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "RecordingEditorHost.h"
#include "editor/DeletedLineRing.h"
#include "editor/PasteHistory.h"

namespace corvina {
namespace {

using test::TestEditor;

TEST(UndoHistory, EachKindIsUndoneAndRedone) {
    struct Case {
        const char* name;
        std::string body;
        TextPlace caret;
        std::function<void(TestEditor&)> edit;
        std::string edited;
    };
    const Case cases[] = {
        {"typed", "ab\n", {0, 1}, [](TestEditor& t) { t.editor.TypeText("x"); }, "axb\n"},
        {"overwrite",
         "ab\n",
         {0, 0},
         [](TestEditor& t) {
             t.editor.SetInsertMode(false);
             t.editor.TypeText("x");
         },
         "xb\n"},
        {"text",
         "ab\n",
         {0, 1},
         [](TestEditor& t) { t.editor.InsertText("1\r\n2\r3"); },
         "a1\n2\n3b\n"},
        {"line at end",
         "ab\n",
         {0, 0},
         [](TestEditor& t) {
             BoxBuffer::Shared().lines = {"x", "y"};
             t.editor.BoxPaste();
         },
         "xab\ny\n"},
        {"case change",
         "ab\x82\x61\ncd\n",
         {1, 1},
         [](TestEditor& t) {
             t.editor.SelectRange({0, 1}, {1, 1});
             t.editor.ChangeCase(true);
         },
         "aB\x82\x61\nCd\n"},
        {"popped line",
         "ab\ncd\n",
         {0, 0},
         [](TestEditor& t) {
             t.editor.DeleteLine();
             t.editor.MoveCaretTo(0, 2);
             t.editor.PopLine();
         },
         "ab\ncd\n"},
        {"lines replaced",
         "ab\ncd\n",
         {0, 0},
         [](TestEditor& t) {
             t.editor.ReplaceLines(0, 2, {"abc", "d"}, {1, 1});
         },
         "abc\nd\n"},
        {"delete at caret",
         "ab\ncd\n",
         {0, 2},
         [](TestEditor& t) { t.editor.DeleteChar(); },
         "abcd\n"},
        {"selection",
         "ab\ncd\n",
         {1, 1},
         [](TestEditor& t) {
             t.editor.SelectRange({0, 1}, {1, 1});
             t.editor.DeleteSelection();
         },
         "ad\n"},
        {"delete line", "ab\ncd\n", {0, 1}, [](TestEditor& t) { t.editor.DeleteLine(); }, "cd\n"},
        {"back space", "ab\ncd\n", {1, 0}, [](TestEditor& t) { t.editor.BackSpace(); }, "abcd\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestEditor t(c.body);
        t.editor.MoveCaretTo(c.caret.line, c.caret.offset);
        c.edit(t);
        EXPECT_EQ(t.editor.Text(), c.edited);
        const TextPlace after = t.editor.Caret();
        while (t.editor.Undo()) {
        }
        EXPECT_EQ(t.editor.Text(), c.body);
        EXPECT_EQ(t.editor.Caret(), c.caret);
        while (t.editor.Redo()) {
        }
        EXPECT_EQ(t.editor.Text(), c.edited);
        EXPECT_EQ(t.editor.Caret(), after);
    }
    DeletedLineRing::Shared().Clear();
}

TEST(UndoHistory, StepsGroupRecordsAndANewChangeDropsTheRedoPart) {
    TestEditor t("\n");
    for (const char c : std::string("abc")) {
        t.editor.TypeChar(static_cast<unsigned char>(c));  // a step each
    }
    t.editor.TypeText("de");  // one step
    EXPECT_EQ(t.editor.UndoCount(), 4u);
    EXPECT_TRUE(t.editor.Undo());
    EXPECT_EQ(t.editor.Text(), "abc\n");
    EXPECT_TRUE(t.editor.Undo());
    EXPECT_EQ(t.editor.RedoCount(), 2u);
    t.editor.TypeChar('z');
    EXPECT_EQ(t.editor.RedoCount(), 0u);
    EXPECT_FALSE(t.editor.Redo());
    EXPECT_EQ(t.editor.Text(), "abz\n");
    // A selection typed over: deletion and insertion undo together.
    t.editor.SelectRange({0, 0}, {0, 2});
    t.editor.TypeText("Q");
    EXPECT_EQ(t.editor.Text(), "Qz\n");
    EXPECT_TRUE(t.editor.Undo());
    EXPECT_EQ(t.editor.Text(), "abz\n");
    // Repeat does the last change again at the caret.
    t.editor.MoveCaretTo(0, 3);
    t.editor.TypeText("!");
    EXPECT_TRUE(t.editor.Repeat());
    EXPECT_EQ(t.editor.Text(), "abz!!\n");
}

TEST(UndoHistory, StepObjectClosesOnEveryPathAndTheLimitDropsOldSteps) {
    UndoHistory history;
    auto addStep = [&](std::size_t bytes, int records) {
        UndoStep step(history);
        for (int i = 0; i < records; ++i) {
            if (history.Record(UndoKind::kText, {}, {}, std::string(bytes, 'x')) == nullptr) {
                return;  // an early return still closes the step
            }
        }
    };
    addStep(20000, 2);
    addStep(20000, 1);
    EXPECT_EQ(history.UndoCount(), 2u);
    addStep(20000, 1);  // 80,000 bytes: the oldest step (two records) goes
    EXPECT_EQ(history.UndoCount(), 2u);
    EXPECT_EQ(history.TotalBytes(), 40000u);
    addStep(70000, 1);  // a step over the limit alone clears everything
    EXPECT_EQ(history.UndoCount(), 0u);
    EXPECT_EQ(history.TotalBytes(), 0u);
    {
        UndoHistory::Suspension suspension(history);
        EXPECT_EQ(history.Record(UndoKind::kTyped, {}, {}, "a"), nullptr);
    }
    EXPECT_EQ(history.UndoCount(), 0u);
}

TEST(UndoHistory, APasteOverTheLimitClearsTheHistory) {
    TestEditor t("\n");
    t.editor.TypeText("a");
    std::string big;
    while (big.size() <= UndoHistory::kLimit) {
        big += "0123456789012345678901234567890123456789\n";
    }
    t.host.clipboard = big;
    t.editor.Paste();
    EXPECT_EQ(t.editor.UndoCount(), 0u);
    EXPECT_FALSE(t.editor.Undo());
    EXPECT_EQ(t.editor.LineCount(), 1 + std::count(big.begin(), big.end(), '\n'));
}

TEST(UndoHistory, ARecordThatCannotBeKeptIsToldOnceAndEditingGoesOn) {
    TestEditor t("\n");
    t.editor.TypeText("ab");
    t.editor.History().SetAllocationLimit(3);
    t.editor.InsertText("long text");
    t.editor.InsertText("more text");
    EXPECT_EQ(t.editor.Text(), "ablong textmore text\n");
    EXPECT_EQ(t.editor.UndoCount(), 0u);
    EXPECT_EQ(t.host.beeps, 1);
    ASSERT_EQ(t.host.statuses.size(), 1u);
    EXPECT_NE(t.host.statuses[0].find("undo"), std::string::npos);
    t.editor.TypeText("!");  // small enough: recorded again
    EXPECT_TRUE(t.editor.Undo());
    EXPECT_EQ(t.editor.Text(), "ablong textmore text\n");
}

}  // namespace
}  // namespace corvina
