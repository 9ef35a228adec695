#include "ui/editor/ViewPrinter.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <algorithm>

#include "common/CodePage.h"
#include "common/UserPrompt.h"
#include "editor/EditorOptions.h"
#include "message/MailMessage.h"
#include "ui/bridge/QtText.h"
#include "ui/editor/CIlkaView.h"

namespace corvina {

namespace {

// PrintFontHeight and PrintSpacing are given in pixels of such a screen.
constexpr int kScreenDpi = 96;

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// The print font, its size in device pixels of the resolution the page is
// laid out at.
QFont PrintFont(const EditorOptions& options, const CodePage& codePage, int dpi) {
    QFont font = FixedFontNamed(ToQString(options.printFont, codePage));
    font.setPixelSize(
        std::max(1, qRound(std::max(4, options.printFontHeight) * double(dpi) / kScreenDpi)));
    return font;
}

void ShowFailure(QWidget* parent, const QString& error) {
    QMessageBox::warning(parent, QString::fromUtf8(kMessageCaption), error);
}

QString DocumentName(CIlkaView& view) {
    const MailMessage* message = view.Document();
    return message && !message->subject.empty() ? ToQString(message->subject)
                                                : QStringLiteral("Untitled");
}

}  // namespace

ViewPrinter::ViewPrinter(CIlkaView& view, const std::tm& now) : view_(view) {
    fields_.localTime = now;
    if (const MailMessage* message = view.Document()) {
        fields_.subject = message->subject;
        fields_.from = message->from;
        headerLines_ = PrintHeaderLines(*message);
    }
}

ViewPrinter::~ViewPrinter() = default;

bool ViewPrinter::Prepare(int dpi, const QPageLayout& page, QString* error) {
    const auto fail = [error](const char* text) {
        if (error)
            *error = QString::fromUtf8(text);
        return false;
    };
    if (!view_.Document())
        return fail("There is no message to print.");
    // The open line belongs in the document before it is read.
    view_.Editor().CommitLine();

    const EditorOptions& options = view_.Options();
    dpi_ = dpi;
    font_ = PrintFont(options, view_.Editor().TextCodePage(), dpi);
    boldFont_ = font_;
    boldFont_.setWeight(QFont::Bold);
    // A family without a bold face (IPAGothic) is made bold by striking
    // each glyph twice: synthetic emboldening does not reach every device.
    const QStringList styles = QFontDatabase::styles(QFontInfo(font_).family());
    doubleStrike_ = std::none_of(styles.begin(), styles.end(), [](const QString& style) {
        return style.contains(QStringLiteral("Bold"), Qt::CaseInsensitive);
    });
    const QFontMetrics metrics(font_);
    ascent_ = metrics.ascent();
    charWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));

    const QRect printable = page.paintRectPixels(dpi);
    const QRectF printableMm = page.paintRect(QPageLayout::Millimeter);
    PrintDevice sizes;
    sizes.width = printable.width();
    sizes.height = printable.height();
    sizes.widthMm = qRound(printableMm.width());
    sizes.heightMm = qRound(printableMm.height());
    sizes.dpiY = dpi;
    sizes.screenDpiY = kScreenDpi;
    sizes.fontHeight = metrics.height();
    sizes.charWidth = charWidth_;
    const std::optional<PageLayout> layout = LayOutPage(sizes, options, view_.Editor().WrapWidth(),
                                                        static_cast<int>(headerLines_.size()));
    if (!layout)
        return fail(
            "The page cannot hold a line of text with these margins and this print font. Choose "
            "smaller margins or a smaller print font and print again.");
    page_ = *layout;
    rows_ = std::make_unique<PrintRows>(view_.Editor(), options, page_.wrapWidth);
    return true;
}

int ViewPrinter::PageCount() const {
    return rows_ ? page_.PageCount(rows_->Count()) : 0;
}

void ViewPrinter::PaintPage(QPainter& painter, int page) {
    if (!rows_)
        return;
    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(font_);
    fields_.page = page;
    const EditorOptions& options = view_.Options();
    const CodePage& codePage = view_.Editor().TextCodePage();
    DrawAligned(painter, ExpandPrintTemplate(options.header, fields_, codePage), options.headAlign,
                0);

    const int textWidth = page_.textRight - page_.textLeft;
    painter.setClipRect(
        QRect(page_.textLeft, page_.textTop, textWidth, page_.headerLines * page_.lineHeight));
    for (std::size_t i = 0; i < headerLines_.size(); ++i)
        painter.drawText(page_.textLeft, page_.HeaderLineTop(static_cast<int>(i)) + ascent_,
                         ToQString(headerLines_[i], codePage));
    painter.setClipping(false);
    // Half a point thick at any resolution.
    const int rule = std::max(1, dpi_ / 144);
    painter.fillRect(QRect(page_.textLeft, page_.ruleY - rule / 2, textWidth, rule), Qt::black);

    const long first = page_.FirstRowOfPage(page);
    for (int column = 0; column < page_.columns; ++column) {
        for (int i = 0; i < page_.rowsPerColumn; ++i) {
            const long row = first + static_cast<long>(column) * page_.rowsPerColumn + i;
            if (row >= rows_->Count())
                break;
            rows_->Build(row, row_);
            DrawRow(painter, row_, page_.ColumnLeft(column), page_.RowTop(i));
        }
    }

    DrawAligned(painter, ExpandPrintTemplate(options.footer, fields_, codePage), options.footAlign,
                page_.footerTop);
    painter.restore();
}

void ViewPrinter::DrawAligned(QPainter& painter, const std::string& text, int alignment, int top) {
    if (text.empty())
        return;
    const QString line = ToQString(text, view_.Editor().TextCodePage());
    const int width = painter.fontMetrics().horizontalAdvance(line);
    painter.drawText(AlignedX(alignment, page_.textLeft, page_.textRight, width, charWidth_),
                     top + ascent_, line);
}

// Every cell stands on the column grid of the print font's character
// width, so that rounding never lets a row drift; a wide character is
// centred on its two columns, whatever width the fallback font gives it.
void ViewPrinter::DrawRow(QPainter& painter, const DisplayRow& row, int left, int top) {
    const int baseline = top + ascent_;
    int column = 0;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        const DisplayCell& cell = row.cells[i];
        const std::string_view text = row.TextOf(i);
        const int x = left + column * charWidth_;
        column += cell.columns;
        if (text == " ")
            continue;
        painter.setFont(cell.bold && !doubleStrike_ ? boldFont_ : font_);
        const QString glyph = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        int offset = 0;
        if (cell.columns > 1) {
            const int room = cell.columns * charWidth_;
            offset = std::max(0, (room - painter.fontMetrics().horizontalAdvance(glyph)) / 2);
        }
        painter.drawText(x + offset, baseline, glyph);
        if (cell.bold && doubleStrike_)
            painter.drawText(x + offset + std::max(1, charWidth_ / 12), baseline, glyph);
    }
}

QImage ViewPrinter::RenderPage(CIlkaView& view, const QPrinter& printer, int page, int dpi,
                               const std::tm& now) {
    const QPageLayout layout = printer.pageLayout();
    ViewPrinter pages(view, now);
    if (!pages.Prepare(printer.resolution(), layout, nullptr))
        return {};
    QImage image(layout.fullRectPixels(dpi).size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(layout.paintRectPixels(dpi).topLeft());
    // The page is laid out in the printer's pixels and drawn to scale.
    const qreal scale = qreal(dpi) / printer.resolution();
    painter.scale(scale, scale);
    pages.PaintPage(painter, page);
    return image;
}

bool PrintDocument(CIlkaView& view, QPrinter& printer, QString* error) {
    ViewPrinter pages(view, LocalNow());
    if (!pages.Prepare(printer.resolution(), printer.pageLayout(), error))
        return false;
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral(
                "The printer could not be started. Check that it is ready (or that the output "
                "file can be written) and print again.");
        return false;
    }
    const int count = pages.PageCount();
    int from = 1;
    int to = count;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::min(printer.fromPage(), count);
        to = printer.toPage() > 0 ? std::clamp(printer.toPage(), from, count) : count;
    }
    for (int page = from; page <= to; ++page) {
        if (page > from && !printer.newPage()) {
            if (error)
                *error = QStringLiteral(
                    "The printer stopped before the last page. Check the printer and print "
                    "again.");
            painter.end();
            return false;
        }
        pages.PaintPage(painter, page);
    }
    if (!painter.end()) {
        if (error)
            *error = QStringLiteral(
                "The printer could not finish the document. Check the printer (or the output "
                "file) and print again.");
        return false;
    }
    return true;
}

void ShowPrintDialog(CIlkaView& view, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(DocumentName(view));
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!PrintDocument(view, printer, &error))
        ShowFailure(parent, error);
}

void ShowPrintPreview(CIlkaView& view, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(DocumentName(view));
    QPrintPreviewDialog dialog(&printer, parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&view, &dialog](QPrinter* target) {
                         QString error;
                         if (!PrintDocument(view, *target, &error))
                             ShowFailure(&dialog, error);
                     });
    dialog.exec();
}

}  // namespace corvina
