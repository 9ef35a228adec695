// Printing a message into a PDF file and reading the pages back with
// pdftotext: the page count, the header template with its page number, the
// header block and the footer on every page.

#include <gtest/gtest.h>

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <memory>

#include "TestSupport.h"
#include "ViewFixture.h"
#include "message/mime/MessageParser.h"
#include "ui/editor/ViewPrinter.h"

namespace corvina::test {
namespace {

class PrintTest : public ViewFixture {
protected:
    void SetUp() override {
        pdftotext_ = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext_.isEmpty())
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed; the printed pages "
                            "cannot be read back";
        options.header = "&f - page &p";
        options.footer = "&n &&";
        // The default print font of the Japanese system.
        options.printFont = "FixedSys";
    }

    // The view over the test message: a Cc, English and Japanese text.
    CIlkaView& ShowMessage() {
        MakeView("", 932);
        auto message = std::make_unique<MailMessage>();
        ParseMessage(*message, ReadFileBytes(DataPath("print/japanese-cc-three-pages.eml")), {});
        view->Attach(std::move(message));
        return *view;
    }

    // Prints to an A4 PDF file and returns its pages as pdftotext reads
    // them.
    QStringList PrintedPages(CIlkaView& shown) {
        const QString file = QString::fromStdString((scratch_ / "print.pdf").string());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(file);
        QString error;
        EXPECT_TRUE(PrintDocument(shown, printer, &error)) << error.toStdString();
        QProcess reader;
        reader.start(pdftotext_, {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                  QStringLiteral("UTF-8"), file, QStringLiteral("-")});
        EXPECT_TRUE(reader.waitForFinished(30000));
        QStringList pages =
            QString::fromUtf8(reader.readAllStandardOutput()).split(QLatin1Char('\f'));
        // Every page ends with a form feed.
        if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
            pages.removeLast();
        return pages;
    }

    QString pdftotext_;
    ScratchDir scratch_;
};

TEST_F(PrintTest, PagesCarryHeaderBlockTemplatesAndPageNumbers) {
    CIlkaView& shown = ShowMessage();
    // Printing leaves the view as it stands.
    shown.Editor().MoveCaretTo(20, 3);
    shown.Editor().ScrollTo(12);
    const QStringList pages = PrintedPages(shown);
    ASSERT_EQ(pages.size(), 3);
    // Each page goes on where the one before stopped.
    const QString firstRows[] = {QStringLiteral("001 Costs within budget."),
                                 QStringLiteral("044 Sales grew again."),
                                 QStringLiteral("086 Warehouse opens soon.")};
    for (int i = 0; i < pages.size(); ++i) {
        const QString& page = pages[i];
        SCOPED_TRACE("page " + std::to_string(i + 1));
        const QStringList lines = page.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 6);
        EXPECT_EQ(lines[0].trimmed(), QStringLiteral("Quarterly report - page %1").arg(i + 1));
        EXPECT_EQ(lines[1].trimmed(), QStringLiteral("Date: Wed, 09 Dec 2026 10:15:00 +0900"));
        EXPECT_EQ(lines[2].trimmed(), QStringLiteral("From: Ann Example <ann@example.org>"));
        EXPECT_EQ(lines[3].trimmed(), QStringLiteral("Subject: Quarterly report"));
        EXPECT_EQ(lines[4].trimmed(), QStringLiteral("Cc: Bob Sample <bob@example.org>"));
        EXPECT_EQ(lines[5].trimmed(), firstRows[i]);
        EXPECT_EQ(lines.last().trimmed(), QStringLiteral("Ann Example <ann@example.org> &"));
    }
    // Japanese text prints as text.
    EXPECT_TRUE(pages[0].contains(QStringLiteral("003 資料をご覧ください。")))
        << pages[0].toStdString();
    EXPECT_TRUE(pages[2].contains(QStringLiteral("100 ")));
    EXPECT_EQ(shown.Editor().Caret(), (TextPlace{20, 3}));
    EXPECT_EQ(shown.Editor().TopRow(), 12);
    EXPECT_EQ(shown.Editor().WrapWidth(), options.defaultColumn);
}

TEST_F(PrintTest, TwoColumnsPrintFewerPages) {
    options.packPrint = 1;
    const QStringList pages = PrintedPages(ShowMessage());
    ASSERT_EQ(pages.size(), 2) << pages.join("\f").toStdString();
    // Both columns of a row print side by side on one line.
    EXPECT_TRUE(pages[0].contains(QRegularExpression(QStringLiteral("001 .*  \\S"))));
}

TEST_F(PrintTest, PrinterThatCannotStartIsReported) {
    CIlkaView& shown = ShowMessage();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(
        QString::fromStdString((scratch_ / "missing" / "folder" / "print.pdf").string()));
    QString error;
    EXPECT_FALSE(PrintDocument(shown, printer, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("The printer could not be started.")))
        << error.toStdString();
}

}  // namespace
}  // namespace corvina::test
