#include "editor/PrintLayout.h"

#include <algorithm>
#include <cstdio>

#include "common/CodePage.h"
#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

constexpr std::string_view kUntitled = "Untitled";

// A field printed on one line: control bytes (a TAB or line end left in a
// header field) become blanks. Trail bytes of every code page lie above
// them, so this never splits a character.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return out;
}

std::size_t CharLengthAt(std::string_view text, std::size_t pos, const CodePage& codePage) {
    return static_cast<std::size_t>(std::max(1, codePage.CharLength(text, pos)));
}

// Cuts `text` to at most `limit` bytes without splitting a character.
void CutToWholeCharacters(std::string& text, std::size_t limit, const CodePage& codePage) {
    if (text.size() <= limit) {
        return;
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = CharLengthAt(text, pos, codePage);
        if (pos + length > limit) {
            break;
        }
        pos += length;
    }
    text.resize(pos);
}

// The date and the time are built apart rather than cut out of one string
// with the weekday name, whose length depends on the locale.
std::string DateText(const std::tm& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", time.tm_year + 1900, time.tm_mon + 1,
                  time.tm_mday);
    return text;
}

std::string TimeText(const std::tm& time) {
    char text[32];
    std::snprintf(text, sizeof text, " %02d:%02d:%02d", time.tm_hour, time.tm_min, time.tm_sec);
    return text;
}

}  // namespace

std::string ExpandPrintTemplate(std::string_view pattern, const PrintTemplateFields& fields,
                                const CodePage& codePage) {
    std::string out;
    std::size_t pos = 0;
    while (pos < pattern.size() && out.size() <= kMaxPrintTemplateBytes) {
        const std::size_t length = CharLengthAt(pattern, pos, codePage);
        if (pattern[pos] != '&') {
            out.append(pattern.substr(pos, length));
            pos += length;
            continue;
        }
        ++pos;
        if (pos >= pattern.size()) {
            break;
        }
        switch (pattern[pos]) {
            case '&':
                out += '&';
                break;
            case 'd':
                out += DateText(fields.localTime);
                break;
            case 't':
                out += TimeText(fields.localTime);
                break;
            case 'f':
                out += fields.subject.empty() ? kUntitled : std::string_view(fields.subject);
                break;
            case 'n':
                out += fields.from.empty() ? kUntitled : std::string_view(fields.from);
                break;
            case 'w':
                out += fields.subject;
                break;
            case 'p':
                out += std::to_string(fields.page);
                break;
            default:
                break;
        }
        // A code letter may be a wide character: dropped whole.
        pos += CharLengthAt(pattern, pos, codePage);
    }
    CutToWholeCharacters(out, kMaxPrintTemplateBytes, codePage);
    return OneLine(out);
}

std::vector<std::string> PrintHeaderLines(const MailMessage& message) {
    std::vector<std::string> lines = {
        "Date: " + OneLine(message.date),
        "From: " + OneLine(message.from),
        "Subject: " + OneLine(message.subject),
    };
    if (!message.cc.empty()) {
        lines.push_back("Cc: " + OneLine(message.cc));
    }
    return lines;
}

int AlignedX(int alignment, int left, int right, int textWidth, int charWidth) {
    int x = left;
    if (alignment == 1) {
        x = left + (right - left - textWidth) / 2;
    } else if (alignment == 2) {
        x = right - textWidth - charWidth;
    }
    // A text wider than the room starts at the left edge.
    return std::max(left, x);
}

int PageLayout::PageCount(long totalRows) const {
    const long perPage = std::max(1L, RowsPerPage());
    return static_cast<int>(std::max(1L, (totalRows + perPage - 1) / perPage));
}

std::optional<PageLayout> LayOutPage(const PrintDevice& device, const EditorOptions& options,
                                     int screenWrapWidth, int headerLines) {
    if (device.width <= 0 || device.height <= 0 || device.widthMm <= 0 || device.heightMm <= 0 ||
        device.fontHeight <= 0 || device.charWidth <= 0 || headerLines < 0) {
        return std::nullopt;
    }
    PageLayout page;
    // Whole device pixels per millimetre, as the margins have always been
    // measured.
    const int perMmX = device.width / device.widthMm;
    const int perMmY = device.height / device.heightMm;
    page.marginLeft = perMmX * std::max(0, options.printLeft);
    page.marginRight = perMmX * std::max(0, options.printRight);
    page.marginTop = perMmY * std::max(0, options.printTop);
    page.marginBottom = perMmY * std::max(0, options.printBottom);
    const int spacing =
        device.screenDpiY > 0 ? options.printSpacing * device.dpiY / device.screenDpiY : 0;
    page.lineHeight = std::max(1, device.fontHeight + spacing);

    page.textLeft = page.marginLeft;
    page.textRight = device.width - page.marginRight;
    page.textTop = page.marginTop;
    page.textBottom = device.height - page.marginBottom - page.lineHeight;
    const int textWidth = page.textRight - page.textLeft;
    if (textWidth <= 0) {
        return std::nullopt;
    }
    // A negative PackPrint counts as none; more columns than pixels cannot
    // hold a character anyway.
    const long columns = std::min<long>(std::max(0, options.packPrint), textWidth) + 1L;
    page.columns = static_cast<int>(columns);
    page.columnWidth = textWidth / page.columns;
    const int printWrap = page.columnWidth / device.charWidth - 2;
    if (printWrap < 1) {
        return std::nullopt;
    }
    page.wrapWidth =
        screenWrapWidth > 0 && screenWrapWidth <= printWrap ? screenWrapWidth : printWrap;

    page.headerLines = headerLines;
    const int remaining = page.textBottom - page.textTop - headerLines * page.lineHeight;
    page.rowsPerColumn = remaining > 0 ? remaining / page.lineHeight - 2 : 0;
    if (page.rowsPerColumn < 1) {
        return std::nullopt;
    }
    page.ruleY = page.HeaderLineTop(headerLines) + page.lineHeight / 2;
    page.rowsTop = page.HeaderLineTop(headerLines + 1);
    page.footerTop = page.textBottom;
    return page;
}

PrintRows::PrintRows(const TextEditor& editor, const EditorOptions& options, int wrapWidth)
    : editor_(editor),
      options_(options),
      wrapWidth_(std::max(1, wrapWidth)),
      content_(options, nullptr,
               RowMetrics{&editor.TextCodePage(), editor.TabWidth(), std::max(1, wrapWidth)},
               RowStyle{.readOnly = true, .printing = true}) {
    const RowMetrics metrics{&editor.TextCodePage(), editor.TabWidth(), wrapWidth_};
    if (editor.Document() == nullptr) {
        return;
    }
    for (std::size_t line = 0; line < editor.LineCount(); ++line) {
        const std::string text = editor.LineText(line);
        std::size_t start = 0;
        do {
            rows_.push_back({line, start});
            start = NextRowStart(text, start, metrics);
        } while (start != std::string_view::npos);
    }
}

void PrintRows::Build(long row, DisplayRow& out) {
    const Place place = rows_[static_cast<std::size_t>(row)];
    if (place.line != cachedLine_) {
        lineText_ = editor_.LineText(place.line);
        cachedLine_ = place.line;
    }
    RowRequest request;
    request.line = lineText_;
    request.rowStart = place.rowStart;
    request.columns = wrapWidth_;
    request.lastLine = place.line + 1 == editor_.LineCount();
    request.markedLine = editor_.LineMarked(place.line);
    content_.Build(request, out);

    // The line end fills the rest of the row.
    DisplayCell blank;
    blank.colour = request.markedLine ? options_.colors.mark : options_.colors.text;
    blank.bold = request.markedLine;
    for (int column = out.Columns(); column < wrapWidth_; ++column) {
        blank.textStart = static_cast<std::uint32_t>(out.utf8.size());
        out.cells.push_back(blank);
        out.utf8 += ' ';
    }
}

}  // namespace corvina
