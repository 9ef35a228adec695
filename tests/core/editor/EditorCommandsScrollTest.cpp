#include <gtest/gtest.h>

#include <string>

#include "EditorCommandsFixture.h"

namespace corvina {
namespace {

using test::CommandsEditor;
using C = EditorCommand;

// Ten one-row lines in a window of three rows.
struct SmallWindow : CommandsEditor {
    explicit SmallWindow(EditorOptions options = {})
        : CommandsEditor("0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n", CodePage::kShiftJis, options) {
        t.editor.SetWindowRows(3);
    }
    void Place(long top, std::size_t caretLine) {
        t.editor.ScrollTo(top);
        t.editor.MoveCaretTo(caretLine, 0);
    }
};

TEST(EditorCommandsScroll, WindowAndCaretAfterEachCommand) {
    struct Case {
        C command;
        long top;
        std::size_t caretLine;
        long expectedTop;
        std::size_t expectedLine;
    };
    const Case cases[] = {
        {C::kRollUp, 0, 0, 1, 1},        // the caret is pushed along
        {C::kRollUp, 0, 2, 1, 2},        // it keeps its line while it is shown
        {C::kRollDown, 1, 3, 0, 2},      //
        {C::kRollDown, 0, 1, 0, 1},      // at the top nothing moves
        {C::kNormalRlUp, 4, 5, 5, 5},    //
        {C::kNormalRlDn, 4, 5, 3, 5},    //
        {C::kSRollUp, 4, 4, 5, 5},       //
        {C::kPageUp, 0, 1, 3, 4},        // the following page
        {C::kPageDown, 3, 4, 0, 1},      // the preceding page
        {C::kPageDown, 1, 2, 0, 0},      //
        {C::kHalfPageUp, 0, 1, 1, 2},    //
        {C::kHalfPageDown, 4, 5, 3, 4},  //
        {C::kMakeTop, 0, 5, 5, 5},       //
        {C::kMakeBot, 0, 5, 3, 5},       //
        {C::kMakeMid, 0, 5, 4, 5},       //
        {C::kScreenTop, 4, 6, 4, 4},     //
        {C::kScreenBot, 4, 4, 4, 6},     //
        {C::kTextTop, 5, 6, 0, 0},       //
        {C::kTextBot, 0, 1, 7, 9},       // the last line shown at the bottom
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CommandNumber(c.command));
        SmallWindow w;
        w.Place(c.top, c.caretLine);
        EXPECT_TRUE(w.Run(c.command));
        EXPECT_EQ(w.t.editor.TopRow(), c.expectedTop);
        EXPECT_EQ(w.t.editor.CaretLine(), c.expectedLine);
    }
}

TEST(EditorCommandsScroll, AccelerationAfterLongKeyRepeat) {
    struct Case {
        bool accell;
        int accMode;
        int repeat;
        C command;
        long rows;
    };
    const Case cases[] = {
        {true, 1, 30, C::kSRollUp, 1},    {true, 1, 31, C::kSRollUp, 4},
        {true, 0, 31, C::kSRollUp, 2},    {false, 1, 100, C::kSRollUp, 1},
        {true, 1, 31, C::kRollUp, 4},     {true, 1, 31, C::kNormalRlUp, 1},
        {true, 0, 31, C::kSRollDown, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.repeat);
        EditorOptions options;
        options.accell = c.accell;
        options.accMode = c.accMode;
        options.accRpt = 30;
        SmallWindow w(options);
        w.Place(4, 5);
        w.commands.SetKeyRepeat(c.repeat);
        w.Run(c.command);
        EXPECT_EQ(w.t.editor.TopRow(), 4 + c.rows);
    }
}

TEST(EditorCommandsScroll, HorizontalScrollStaysInTheWrapWidth) {
    SmallWindow w;
    w.Run(C::kRollRight);
    EXPECT_EQ(w.t.editor.LeftColumn(), EditorCommands::kRollColumns);
    w.Run(C::kRollLeft);
    w.Run(C::kRollLeft);
    EXPECT_EQ(w.t.editor.LeftColumn(), 0);
    for (int i = 0; i < 20; ++i) {
        w.Run(C::kRollRight);
    }
    EXPECT_EQ(w.t.editor.LeftColumn(), w.t.editor.WrapWidth() - 1);
}

TEST(EditorCommandsScroll, ContinuousScrollAndItsSpeedKeys) {
    EditorOptions options;
    options.rollTimer = 101;
    SmallWindow w(options);
    EXPECT_FALSE(w.commands.ScrollSpeedKey('+'));  // only while it runs
    w.Run(C::kSlowRlup);
    ASSERT_TRUE(w.commands.Scrolling());
    EXPECT_EQ(w.commands.ScrollPeriod(), 101);
    w.commands.Tick();
    w.commands.Tick();
    EXPECT_EQ(w.t.editor.TopRow(), 2);
    const std::pair<char, int> keys[] = {{'+', 91}, {'-', 101}, {'0', 1},   {'+', 1},
                                         {'3', 41}, {'6', 151}, {'9', 501}, {'-', 501}};
    for (const auto& [key, period] : keys) {
        EXPECT_TRUE(w.commands.ScrollSpeedKey(key));
        EXPECT_EQ(w.commands.ScrollPeriod(), period);
    }
    EXPECT_FALSE(w.commands.ScrollSpeedKey('x'));
    w.Run(C::kCsrDown);  // any other command stops it
    EXPECT_FALSE(w.commands.Scrolling());

    // Typed keys: a speed key is not typed, any other key stops the scroll
    // and is typed.
    w.Run(C::kSlowRlup);
    w.commands.TypeKeyText("3");
    EXPECT_EQ(w.commands.ScrollPeriod(), 41);
    EXPECT_TRUE(w.commands.Scrolling());
    w.commands.TypeKeyText("x");
    EXPECT_FALSE(w.commands.Scrolling());
    EXPECT_NE(w.t.editor.Text().find('x'), std::string::npos);

    w.Run(C::kSlowRldn);  // down to the top, where it ends by itself
    for (int i = 0; i < 5; ++i) {
        w.commands.Tick();
    }
    EXPECT_EQ(w.t.editor.TopRow(), 0);
    EXPECT_FALSE(w.commands.Scrolling());
}

}  // namespace
}  // namespace corvina
