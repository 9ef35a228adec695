#include <QKeyEvent>
#include <QTest>

#include "ViewFixture.h"
#include "editor/KeyDispatcher.h"

namespace corvina::test {
namespace {

class ViewKeysTest : public ViewFixture {
protected:
    void SetUp() override { KeyDispatcher::ResetPendingPrefix(); }
};

// Ctrl+K then M ("BoxBegin") through real key events, then the caret keys
// stretch the box.
TEST_F(ViewKeysTest, TwoStrokeKeyStartsABoxSelection) {
    CIlkaView& v = MakeView("abcdef\nghijkl\nmnopqr\n");
    QTest::keyClick(&v, Qt::Key_Right);
    QTest::keyClick(&v, Qt::Key_K, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_M);
    QTest::keyClick(&v, Qt::Key_Down);
    QTest::keyClick(&v, Qt::Key_Down);
    QTest::keyClick(&v, Qt::Key_Right);
    QTest::keyClick(&v, Qt::Key_Right);
    ASSERT_TRUE(v.Editor().HasSelection());
    EXPECT_EQ(v.Editor().Selection(), SelectionMode::kBox);
    EXPECT_EQ(v.Editor().SelectedBoxLines(), (std::vector<std::string>{"bc", "hi", "no"}));
    EXPECT_EQ(v.Editor().Text(), "abcdef\nghijkl\nmnopqr\n");  // neither K nor M typed
}

TEST_F(ViewKeysTest, PositionIndicatorFollowsTheCaret) {
    CIlkaView& v = MakeView("first line\nsecond\n");
    std::vector<QString> sent;
    QObject::connect(&v, &CIlkaView::PositionChanged,
                     [&](const QString& text) { sent.push_back(text); });
    QTest::keyClick(&v, Qt::Key_Down);
    EXPECT_EQ(v.PositionIndicator(), "[     2 :  1] #2     ");
    QTest::keyClick(&v, Qt::Key_End);
    EXPECT_EQ(v.PositionIndicator(), "[     2 :  7] #2     ");
    EXPECT_EQ(sent.size(), 2u);
}

// Ctrl+Down starts the continuous scroll: digits set its speed and are not
// typed, any other key stops it; so does losing the focus.
TEST_F(ViewKeysTest, ContinuousScrollTakesItsSpeedKeys) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "line " + std::to_string(i) + "\n";
    CIlkaView& v = MakeView(text);
    QTest::keyClick(&v, Qt::Key_Down, Qt::ControlModifier);
    ASSERT_TRUE(v.Commands().Scrolling());
    QTest::keyClick(&v, Qt::Key_3);
    EXPECT_EQ(v.Commands().ScrollPeriod(), 41);
    QTRY_VERIFY(v.Editor().TopRow() > 0);
    QTest::keyClick(&v, Qt::Key_X);
    EXPECT_FALSE(v.Commands().Scrolling());
    // The x was typed, the digit was not.
    std::string typed = v.Editor().Text();
    ASSERT_NE(typed.find('x'), std::string::npos);
    typed.erase(typed.find('x'), 1);
    EXPECT_EQ(typed, text);

    QTest::keyClick(&v, Qt::Key_Down, Qt::ControlModifier);
    ASSERT_TRUE(v.Commands().Scrolling());
    v.clearFocus();
    EXPECT_FALSE(v.Commands().Scrolling());
}

// The line edit buffer is shared: typing in one view and clicking into
// another writes the first view's line back, and the first view's
// indicator goes blank.
TEST_F(ViewKeysTest, FocusMoveCommitsTheOpenLine) {
    CodePage::SetWorking(65001);
    QWidget window;
    CIlkaView a(options, nullptr, dialogs, &window);
    CIlkaView b(options, nullptr, dialogs, &window);
    a.Attach(MessageWithBody("one\n"));
    b.Attach(MessageWithBody("two\n"));
    a.setGeometry(0, 0, 300, 200);
    b.setGeometry(0, 200, 300, 200);
    window.resize(300, 400);
    window.show();
    window.activateWindow();
    a.setFocus();
    QApplication::processEvents();
    std::vector<bool> focused;
    QObject::connect(&b, &CIlkaView::ViewFocused, [&](bool edit) { focused.push_back(edit); });

    QTest::keyClicks(&a, "A");
    EXPECT_EQ(a.Document()->bodyLines.Joined(), "one\n");  // still open
    QTest::mouseClick(b.viewport(), Qt::LeftButton, {}, QPoint(30, 5));
    EXPECT_TRUE(b.hasFocus());
    EXPECT_EQ(a.Document()->bodyLines.Joined(), "Aone\n");
    EXPECT_EQ(a.PositionIndicator(), QString(21, ' '));
    EXPECT_EQ(focused, std::vector<bool>{true});
}

}  // namespace
}  // namespace corvina::test
