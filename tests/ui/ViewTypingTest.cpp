#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTest>

#include "ViewFixture.h"

namespace corvina::test {
namespace {

using ViewTypingTest = ViewFixture;

void Commit(CIlkaView& view, const QString& text, int replaceFrom = 0, int replaceLength = 0) {
    QInputMethodEvent event;
    event.setCommitString(text, replaceFrom, replaceLength);
    QApplication::sendEvent(&view, &event);
}

// What the input method asks of a widget.
QVariant Query(const QWidget& widget, Qt::InputMethodQuery query) {
    return widget.inputMethodQuery(query);
}

void Preedit(CIlkaView& view, const QString& text) {
    QInputMethodEvent event(text, {{QInputMethodEvent::Cursor, static_cast<int>(text.size()), 1}});
    QApplication::sendEvent(&view, &event);
}

TEST_F(ViewTypingTest, TypedAsciiAndEnterReachTheModel) {
    CIlkaView& v = MakeView("world\n");
    QTest::keyClicks(&v, "Hi ");
    QTest::keyClick(&v, Qt::Key_Return);
    v.Editor().CommitLine();
    EXPECT_EQ(v.Editor().Text(), "Hi \nworld\n");
}

// Japanese through the input method in both working code pages: the
// preedit string never enters the text, each commit is one undo step, and
// a replacement range takes the characters before the caret.
TEST_F(ViewTypingTest, InputMethodCommitsBecomeBytesOfTheCodePage) {
    struct Case {
        int codePage;
        std::string expected;  // "ab" + 日本 + "語c"... in the code page
        std::string afterReplace;
    };
    const Case cases[] = {
        {932, "ab\x93\xfa\x96\x7b\n", "ab\x93\xfa\x8c\xea\n"},
        {65001, "ab\xe6\x97\xa5\xe6\x9c\xac\n", "ab\xe6\x97\xa5\xe8\xaa\x9e\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        CIlkaView& v = MakeView("\n", c.codePage);
        QTest::keyClicks(&v, "ab");
        Preedit(v, QString::fromUtf8("にほん"));
        EXPECT_EQ(v.Editor().Text(), "ab\n");
        Commit(v, QString::fromUtf8("日本"));
        EXPECT_EQ(v.Editor().Text(), c.expected);
        EXPECT_EQ(Query(v, Qt::ImSurroundingText).toString(), QString::fromUtf8("ab日本"));
        EXPECT_EQ(Query(v, Qt::ImCursorPosition).toInt(), 4);
        // The candidate window goes to the caret, in the view's coordinates.
        EXPECT_EQ(Query(v, Qt::ImCursorRectangle).toRect().topLeft(),
                  v.viewport()->pos() + QPoint(v.XOfColumn(0, 6), v.YOfRow(0)));
        // The input method corrects its last character: 本 becomes 語.
        Commit(v, QString::fromUtf8("語"), -1, 1);
        EXPECT_EQ(v.Editor().Text(), c.afterReplace);
        EXPECT_TRUE(v.Editor().Undo());
        EXPECT_EQ(v.Editor().Text(), c.expected);
        EXPECT_TRUE(v.Editor().Undo());
        EXPECT_EQ(v.Editor().Text(), "ab\n");
    }
}

TEST_F(ViewTypingTest, ControlCharactersAreTypedOnlyAfterInputCtrl) {
    CIlkaView& v = MakeView("\n");
    // Ctrl+] has no command: its control character is dropped.
    QKeyEvent unbound(QEvent::KeyPress, Qt::Key_BracketRight, Qt::ControlModifier,
                      QString(QChar(0x1d)));
    QApplication::sendEvent(&v, &unbound);
    v.RunCommand(EditorCommand::kInputCtrl);
    QKeyEvent afterInputCtrl(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
    QApplication::sendEvent(&v, &afterInputCtrl);
    // AltGr gives its character as text and no command key.
    QKeyEvent altGr(QEvent::KeyPress, Qt::Key_At, Qt::GroupSwitchModifier, "@");
    QApplication::sendEvent(&v, &altGr);
    EXPECT_EQ(v.Editor().Text(), "\x02@\n");
}

TEST_F(ViewTypingTest, ReadOnlyViewerTakesNoTextAndPostsItsKeys) {
    CIlkaView& v = MakeView("line\n");
    v.SetReadOnly(true);
    std::vector<int> posted;
    QObject::connect(&v, &CIlkaView::FrameCommand, [&](int id) { posted.push_back(id); });
    QTest::keyClicks(&v, "x ");
    Commit(v, QString::fromUtf8("日本"));
    QTest::keyClick(&v, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(v.Editor().Text(), "line\n");
    EXPECT_EQ(posted, (std::vector<int>{CommandNumber(EditorCommand::kNextPageOrMessage),
                                        CommandNumber(EditorCommand::kMailReply)}));
    EXPECT_FALSE(Query(v, Qt::ImEnabled).toBool());
}

}  // namespace
}  // namespace corvina::test
