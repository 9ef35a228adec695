#include <QClipboard>
#include <QTest>

#include "ViewFixture.h"
#include "ui/bridge/QtText.h"

namespace corvina::test {
namespace {

using ViewClipboardTest = ViewFixture;

// Copy and paste through the system clipboard (Ctrl+C, Ctrl+V) in both
// working code pages: other programs see Unicode, the model gets its bytes
// back unchanged.
TEST_F(ViewClipboardTest, JapaneseAndUtf8RoundTrip) {
    struct Case {
        int codePage;
        std::string body;      // "日本語 text" in the code page
        std::string selected;  // 日本語
    };
    const Case cases[] = {
        {932, "\x93\xfa\x96\x7b\x8c\xea text\n", "\x93\xfa\x96\x7b\x8c\xea"},
        {65001, "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e text\n",
         "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},
    };
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        CIlkaView& v = MakeView(c.body, c.codePage);
        v.Editor().SelectRange({0, 0}, {0, c.selected.size()});
        QTest::keyClick(&v, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard->text(), QString::fromUtf8("日本語"));

        v.Editor().ClearSelection();
        QTest::keyClick(&v, Qt::Key_End);
        QTest::keyClick(&v, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(v.Editor().Text(), c.body.substr(0, c.body.size() - 1) + c.selected + "\n");

        // Text another program put there, with CR LF line ends and a
        // character from outside Japanese.
        clipboard->setText(QString::fromUtf8("é\r\n語"));
        QTest::keyClick(&v, Qt::Key_Home);
        QTest::keyClick(&v, Qt::Key_V, Qt::ControlModifier);
        const QString line = ToQString(v.Editor().LineView(0), v.Editor().TextCodePage());
        EXPECT_EQ(ToQString(v.Editor().LineView(1), v.Editor().TextCodePage()),
                  QString::fromUtf8("語日本語 text日本語"));
        if (c.codePage == 65001) {
            EXPECT_EQ(line, QString::fromUtf8("é"));
        }
    }
}

}  // namespace
}  // namespace corvina::test
