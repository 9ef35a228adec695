#include <QClipboard>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>

#include "ViewFixture.h"
#include "ui/editor/AddressLauncher.h"
#include "ui/editor/ViewDragData.h"

namespace corvina::test {

// Catches QDesktopServices::openUrl for every scheme a view might open, so
// that a test sees the address and no browser is started.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    UrlCatcher() {
        for (const QString& scheme : Schemes())
            QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~UrlCatcher() override {
        for (const QString& scheme : Schemes())
            QDesktopServices::unsetUrlHandler(scheme);
    }

    std::vector<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.push_back(url); }

private:
    static QStringList Schemes() { return {"http", "https", "ftp", "news", "gopher", "file"}; }
};

namespace {

// Viewport points: the left edge of a column (a press puts the caret
// there), or the middle of the character cell.
QPoint Edge(const CIlkaView& v, long row, int column) {
    return {v.XOfColumn(row, column), v.YOfRow(row) + v.Metrics().rowHeight / 2};
}
QPoint Cell(const CIlkaView& v, long row, int column) {
    return Edge(v, row, column) + QPoint(v.Metrics().cellWidth / 2, 0);
}

void Mouse(CIlkaView& v, QEvent::Type type, QPoint point, Qt::MouseButton button,
           Qt::MouseButtons held, Qt::KeyboardModifiers modifiers = {}) {
    QMouseEvent event(type, point, v.viewport()->mapToGlobal(point), button, held, modifiers);
    QApplication::sendEvent(v.viewport(), &event);
}
void Press(CIlkaView& v, QPoint point, Qt::KeyboardModifiers modifiers = {}) {
    Mouse(v, QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton, modifiers);
}
void MoveHeld(CIlkaView& v, QPoint point) {
    Mouse(v, QEvent::MouseMove, point, Qt::NoButton, Qt::LeftButton);
}
void Release(CIlkaView& v, QPoint point) {
    Mouse(v, QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
}
void DoubleClick(CIlkaView& v, QPoint point, Qt::KeyboardModifiers modifiers = {}) {
    Press(v, point, modifiers);
    Release(v, point);
    Mouse(v, QEvent::MouseButtonDblClick, point, Qt::LeftButton, Qt::LeftButton, modifiers);
    Release(v, point);
}

std::vector<std::pair<QString, int>> Entries(const QMenu& menu) {
    std::vector<std::pair<QString, int>> entries;
    for (const QAction* action : menu.actions()) {
        if (!action->isSeparator())
            entries.emplace_back(action->text(), action->data().toInt());
    }
    return entries;
}

using ViewMouseTest = ViewFixture;

TEST_F(ViewMouseTest, SelectsByDragAndShiftClick) {
    CIlkaView& v = MakeView("hello world\nsecond line\n");
    Press(v, Edge(v, 0, 6));
    MoveHeld(v, Edge(v, 1, 3));
    Release(v, Edge(v, 1, 3));
    EXPECT_EQ(v.Editor().SelectedText(), "world\nsec");
    Press(v, Edge(v, 1, 6), Qt::ShiftModifier);
    Release(v, Edge(v, 1, 6));
    EXPECT_EQ(v.Editor().SelectedText(), "world\nsecond");
    // A click elsewhere leaves no selection and the caret where it was.
    Press(v, Edge(v, 0, 2));
    Release(v, Edge(v, 0, 2));
    EXPECT_FALSE(v.Editor().HasSelection());
    EXPECT_EQ(v.Editor().Caret(), (TextPlace{0, 2}));
}

TEST_F(ViewMouseTest, HoldingTheButtonBelowTheTextScrollsAndExtends) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "row " + std::to_string(i) + "\n";
    CIlkaView& v = MakeView(text);
    Press(v, Edge(v, 0, 0));
    MoveHeld(v, QPoint(40, v.viewport()->height() + 20));
    QTRY_VERIFY(v.Editor().TopRow() >= 3);
    Release(v, QPoint(40, v.viewport()->height() + 20));
    const long top = v.Editor().TopRow();
    QTest::qWait(50);
    EXPECT_EQ(v.Editor().TopRow(), top);  // the release stopped it
    ASSERT_TRUE(v.Editor().HasSelection());
    EXPECT_EQ(v.Editor().SelectionStartRow(), 0);
    EXPECT_EQ(v.Editor().SelectionEndRow(), top + v.Editor().WindowRows() - 1);
}

// A drag that ends outside every view (the offscreen platform drops
// nowhere) leaves the text alone and only clears the selection.
TEST_F(ViewMouseTest, DragToNowhereOnlyClearsTheSelection) {
    CIlkaView& v = MakeView("one two three\n");
    v.Editor().SelectRange({0, 4}, {0, 7});
    Press(v, Cell(v, 0, 5));
    EXPECT_TRUE(v.Editor().Dragging());
    MoveHeld(v, Cell(v, 0, 5) + QPoint(QApplication::startDragDistance() + 5, 0));
    EXPECT_FALSE(v.Editor().HasSelection());
    EXPECT_EQ(v.Editor().Text(), "one two three\n");
}

class TwoViews : public ViewFixture {
protected:
    // A second view beside the fixture's, in the same code page.
    CIlkaView& MakeTarget(std::string_view text) {
        target = std::make_unique<CIlkaView>(options, nullptr, dialogs);
        target->Attach(MessageWithBody(text));
        target->resize(640, 480);
        target->show();
        QApplication::processEvents();
        return *target;
    }
    // Sends a drag of `data` over `to` and drops it at `point`; false when
    // the view refused the drag.
    static bool Drop(CIlkaView& to, const QMimeData& data, QPoint point,
                     Qt::KeyboardModifiers modifiers = {}) {
        QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              modifiers);
        QApplication::sendEvent(to.viewport(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(point, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(to.viewport(), &drop);
        return drop.isAccepted();
    }
    std::unique_ptr<CIlkaView> target;
};

TEST_F(TwoViews, DragAndDropMovesOrCopiesBetweenViews) {
    CIlkaView& source = MakeView("one two three\n");
    CIlkaView& to = MakeTarget("ab\ncd\n");
    source.Editor().SelectRange({0, 4}, {0, 8});
    ViewDragData move(source, "two ");
    ASSERT_TRUE(Drop(to, move, Edge(to, 1, 1)));
    EXPECT_EQ(to.Editor().Text(), "ab\nctwo d\n");
    EXPECT_EQ(source.Editor().Text(), "one three\n");
    EXPECT_EQ(to.focusWidget(), &to);  // moving over a view gave it the focus

    source.Editor().SelectRange({0, 0}, {0, 3});
    ViewDragData copy(source, "one");
    ASSERT_TRUE(Drop(to, copy, Edge(to, 0, 4), Qt::ControlModifier));  // beyond the line end
    EXPECT_EQ(to.Editor().Text(), "ab  one\nctwo d\n");
    EXPECT_EQ(source.Editor().Text(), "one three\n");
    EXPECT_FALSE(source.Editor().HasSelection());

    // A read-only view refuses the drag; the source keeps its text.
    to.SetReadOnly(true);
    source.Editor().SelectRange({0, 0}, {0, 3});
    ViewDragData refused(source, "one");
    EXPECT_FALSE(Drop(to, refused, Edge(to, 0, 0)));
    EXPECT_EQ(source.Editor().Text(), "one three\n");
}

// Text from another program arrives as Unicode and is inserted as bytes of
// the view's code page.
TEST_F(TwoViews, PlainTextFromAnotherProgramIsInserted) {
    CIlkaView& v = MakeView("ab\n", 932);
    QMimeData data;
    data.setText(QString::fromUtf8("日本\nx"));
    ASSERT_TRUE(Drop(v, data, Edge(v, 0, 1)));
    EXPECT_EQ(v.Editor().Text(), "a\x93\xfa\x96\x7b\nxb\n");
}

// What a double-click does with the actions of the preferences.
TEST_F(ViewMouseTest, DoubleClickOpensWritesOrSelects) {
    UrlCatcher catcher;
    CIlkaView& v = MakeView("see http://example.jp/a. or taro@example.jp now\nsecond line\n");
    std::vector<std::pair<QString, bool>> writes;
    std::vector<QStringList> filed;
    QObject::connect(&v, &CIlkaView::WriteToAddress, [&](const QString& to, bool fromTemplate) {
        writes.emplace_back(to, fromTemplate);
    });
    QObject::connect(&v, &CIlkaView::AddToAddressBook,
                     [&](const QString& address, const QString& name, const QString& web) {
                         filed.push_back({address, name, web});
                     });

    DoubleClick(v, Cell(v, 0, 1));
    EXPECT_EQ(v.Editor().SelectedText(), "see");
    DoubleClick(v, Cell(v, 0, 10));
    EXPECT_EQ(catcher.opened, std::vector<QUrl>{QUrl("http://example.jp/a")});
    DoubleClick(v, Cell(v, 0, 30));
    DoubleClick(v, Cell(v, 0, 30), Qt::ShiftModifier);
    EXPECT_EQ(writes, (std::vector<std::pair<QString, bool>>{{"taro@example.jp", false},
                                                             {"taro@example.jp", true}}));

    v.SetDoubleClickActions(WebAddressAction::kSelectAddress, MailAddressAction::kAddToAddressBook);
    DoubleClick(v, Cell(v, 0, 10));
    EXPECT_EQ(v.Editor().SelectedText(), "http://example.jp/a");
    DoubleClick(v, Cell(v, 0, 30));
    EXPECT_EQ(filed, (std::vector<QStringList>{{"taro@example.jp", "", "http://example.jp/a"}}));

    v.SetShowLineNumbers(true);
    DoubleClick(v, QPoint(ViewMetrics::kMargin + 2, Edge(v, 1, 0).y()));
    EXPECT_EQ(v.Editor().SelectedText(), "second line");
    EXPECT_EQ(catcher.opened.size(), 1u);
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST(AddressLauncher, OnlyTheBrowserSchemesAreOpened) {
    const std::pair<std::string_view, std::optional<std::string>> cases[] = {
        {"http://example.jp/a", "http://example.jp/a"},
        {"HTTPS://example.jp/?q=1", "HTTPS://example.jp/?q=1"},
        {"ftp://ftp.example.jp/pub", "ftp://ftp.example.jp/pub"},
        {"news:comp.lang.c", "news:comp.lang.c"},
        {"Gopher://example.jp", "Gopher://example.jp"},
        {"http://example.jp/\"onclick,x", "http://example.jp/"},  // cut at the quote
        {"http://a.jp/x,y", "http://a.jp/x"},
        {"file:///etc/passwd", std::nullopt},
        {"javascript:alert(1)", std::nullopt},
        {"/usr/bin/xterm", std::nullopt},
        {"mailto:taro@example.jp", std::nullopt},
        {"httpx://example.jp", std::nullopt},
        {"http:", std::nullopt},
        {"http://a.jp/ b", std::nullopt},
        {"http://a.jp/\x01", std::nullopt},
    };
    for (const auto& [address, expected] : cases) {
        SCOPED_TRACE(address);
        EXPECT_EQ(BrowserAddress(address), expected);
    }
}

TEST(AddressLauncher, NoBrowserIsToldAndRefusedSchemesNeverReachIt) {
    ScriptedDialogs dialogs;
    std::vector<QUrl> tried;
    const auto failing = [&](const QUrl& url) {
        tried.push_back(url);
        return false;
    };
    EXPECT_FALSE(OpenWebAddress("http://example.jp/", dialogs, failing));
    EXPECT_FALSE(OpenWebAddress("file:///etc/passwd", dialogs, failing));
    EXPECT_EQ(tried, std::vector<QUrl>{QUrl("http://example.jp/")});
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.errors[0], "Web Browser is not available.");
}

TEST_F(ViewMouseTest, ContextMenusOfferTheAddressCommands) {
    UrlCatcher catcher;
    CIlkaView& v = MakeView("see http://example.jp/a or taro@example.jp\n");
    using C = EditorCommand;
    const auto entry = [](const char* caption, C command) {
        return std::pair<QString, int>(caption, CommandNumber(command));
    };
    std::unique_ptr<QMenu> web(v.MakeContextMenu(Cell(v, 0, 8)));
    EXPECT_EQ(Entries(*web),
              (std::vector<std::pair<QString, int>>{
                  entry("Open &URL", C::kOpenUrl), entry("&Highlight URL", C::kHighlightUrl),
                  entry("Highlight &Word", C::kHighlightWordOfUrl)}));
    std::unique_ptr<QMenu> mail(v.MakeContextMenu(Cell(v, 0, 30)));
    EXPECT_EQ(Entries(*mail), (std::vector<std::pair<QString, int>>{
                                  entry("&Mail To This Address", C::kMailToAddress),
                                  entry("&Add to Address Book...", C::kAddToAddressBook),
                                  entry("&Highlight Address", C::kHighlightAddress),
                                  entry("Highlight &Word", C::kHighlightWordOfAddress)}));
    QGuiApplication::clipboard()->setText("x");
    std::unique_ptr<QMenu> editing(v.MakeContextMenu(Cell(v, 0, 1)));
    std::vector<std::pair<QString, bool>> enabled;
    for (const QAction* action : editing->actions()) {
        if (!action->isSeparator())
            enabled.emplace_back(action->text(), action->isEnabled());
    }
    EXPECT_EQ(enabled, (std::vector<std::pair<QString, bool>>{{"&Undo", false},
                                                              {"Cu&t", false},
                                                              {"&Copy", false},
                                                              {"&Paste", true},
                                                              {"Select &All", true}}));

    // The menu a right click opens carries its command out at the clicked
    // place.
    QContextMenuEvent event(QContextMenuEvent::Mouse, Cell(v, 0, 8),
                            v.viewport()->mapToGlobal(Cell(v, 0, 8)));
    QApplication::sendEvent(v.viewport(), &event);
    web.reset();
    mail.reset();
    editing.reset();
    auto* popup = v.findChild<QMenu*>();
    ASSERT_NE(popup, nullptr);
    popup->actions().at(1)->trigger();  // "&Highlight URL"
    popup->close();
    EXPECT_EQ(v.Editor().SelectedText(), "http://example.jp/a");
    EXPECT_TRUE(catcher.opened.empty());
}

TEST_F(ViewMouseTest, PointerShowsWhatAClickWouldDo) {
    CIlkaView& v = MakeView("word http://example.jp/\nselected\n");
    v.Editor().SelectRange({1, 0}, {1, 8});
    v.SetShowLineNumbers(true);
    const auto shapeAt = [&](QPoint point) {
        Mouse(v, QEvent::MouseMove, point, Qt::NoButton, Qt::NoButton);
        return v.viewport()->cursor().shape();
    };
    EXPECT_EQ(shapeAt(Cell(v, 0, 1)), Qt::IBeamCursor);
    EXPECT_EQ(shapeAt(Cell(v, 0, 8)), Qt::PointingHandCursor);
    EXPECT_EQ(shapeAt(Cell(v, 1, 3)), Qt::ArrowCursor);
    EXPECT_EQ(shapeAt(QPoint(ViewMetrics::kMargin + 2, Edge(v, 0, 0).y())), Qt::ArrowCursor);
    // Over a box selection: inside its columns only.
    v.Editor().ClearSelection();
    v.Editor().MoveCaretTo(0, 1);
    v.Editor().StartBoxSelection();
    v.Editor().MoveCaretTo(1, 4);
    EXPECT_EQ(shapeAt(Cell(v, 1, 2)), Qt::ArrowCursor);
    EXPECT_EQ(shapeAt(Cell(v, 1, 6)), Qt::IBeamCursor);
}

}  // namespace
}  // namespace corvina::test

#include "ViewMouseTest.moc"
