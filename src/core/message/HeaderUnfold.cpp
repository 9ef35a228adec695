#include "message/HeaderUnfold.h"

#include "common/CodePage.h"
#include "message/HeaderWords.h"
#include "message/JapaneseCode.h"

namespace corvina {

namespace {

// Appends as much of `piece` as fits below `limit` bytes of `out`, cut on a
// character boundary.
void AppendWithin(std::string& out, std::string_view piece, std::size_t limit, const CodePage& cp) {
    if (out.size() >= limit) {
        return;
    }
    std::size_t room = limit - out.size();
    if (piece.size() <= room) {
        out.append(piece);
        return;
    }
    std::size_t cut = 0;
    while (cut < piece.size()) {
        std::size_t len = static_cast<std::size_t>(cp.CharLength(piece, cut));
        if (cut + len > room) {
            break;
        }
        cut += len;
    }
    out.append(piece.substr(0, cut));
}

std::string DecodeOrKeep(std::string_view line, const CodePage& cp) {
    if (line.find("=?") == std::string_view::npos) {
        return std::string(line);
    }
    if (auto decoded = DecodeHeaderWords(line, cp)) {
        return std::move(*decoded);
    }
    return std::string(line);
}

}  // namespace

ReceivedTextUnfolder::ReceivedTextUnfolder(const CodePage& cp) : cp_(&cp) {}
ReceivedTextUnfolder::ReceivedTextUnfolder() : ReceivedTextUnfolder(CodePage::Working()) {}

void ReceivedTextUnfolder::AddLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (!inHeader_) {
        if (IsJapaneseSystem(*cp_)) {
            text_ += JisToSjis(line);
        } else {
            text_.append(line);
        }
        text_ += '\n';
        return;
    }
    if (line.empty()) {
        DecodeAddressField();
        if (openLine_) {
            text_ += '\n';
            openLine_ = false;
        }
        text_ += '\n';
        inHeader_ = false;
        return;
    }
    const bool continuation = openLine_ && static_cast<unsigned char>(line[0]) <= 32;
    if (continuation) {
        std::size_t skip = 0;
        while (skip < line.size() && static_cast<unsigned char>(line[skip]) <= 32) {
            ++skip;
        }
        line.remove_prefix(skip);
        std::string piece = line.substr(0, 2) == "=?" ? std::string() : std::string(" ");
        piece +=
            addressField_ ? JisToWorking(line, *cp_) : JisToWorking(DecodeOrKeep(line, *cp_), *cp_);
        AppendWithin(text_, piece, lineStart_ + kUnfoldedFieldMax, *cp_);
        return;
    }
    if (openLine_) {
        DecodeAddressField();
        text_ += '\n';
    }
    lineStart_ = text_.size();
    const std::size_t colon = line.find(':');
    addressField_ = colon != std::string_view::npos && IsAddressField(line.substr(0, colon));
    AppendWithin(
        text_,
        addressField_ ? JisToWorking(line, *cp_) : JisToWorking(DecodeOrKeep(line, *cp_), *cp_),
        lineStart_ + kUnfoldedFieldMax, *cp_);
    openLine_ = true;
}

// An address field is decoded once it is whole, so that a name folded over
// lines is quoted as one when it needs quotes.
void ReceivedTextUnfolder::DecodeAddressField() {
    if (!addressField_) {
        return;
    }
    addressField_ = false;
    std::string field = text_.substr(lineStart_);
    text_.resize(lineStart_);
    std::optional<std::string> decoded = DecodeHeaderLine(field, *cp_);
    AppendWithin(text_, decoded ? *decoded : field, lineStart_ + kUnfoldedFieldMax, *cp_);
}

std::string ReceivedTextUnfolder::Finish() {
    DecodeAddressField();
    if (openLine_) {
        text_ += '\n';
        openLine_ = false;
    }
    return std::move(text_);
}

std::string UnfoldStoredField(std::string_view text, std::size_t& pos, const CodePage& cp,
                              bool decode) {
    const std::size_t n = text.size();
    auto takeLine = [&]() {
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? n : lf;
        std::string_view line = text.substr(pos, end - pos);
        pos = lf == std::string_view::npos ? n : lf + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return line;
    };
    std::string field;
    if (pos >= n) {
        pos = n;
        return field;
    }
    const std::string_view first = takeLine();
    const std::size_t colon = first.find(':');
    const bool addresses =
        decode && colon != std::string_view::npos && IsAddressField(first.substr(0, colon));
    auto words = [&](std::string_view line) {
        return decode && !addresses ? DecodeOrKeep(line, cp) : std::string(line);
    };
    AppendWithin(field, words(first), kUnfoldedFieldMax, cp);
    while (pos < n && (text[pos] == ' ' || text[pos] == '\t')) {
        std::string_view line = takeLine();
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        if (line.size() > kContinuationMax) {
            line = line.substr(0, kContinuationMax);
        }
        if (field.size() >= kUnfoldedFieldMax) {
            continue;
        }
        if (line.empty() || line.front() != '=') {
            AppendWithin(field, " ", kUnfoldedFieldMax, cp);
        }
        AppendWithin(field, words(line), kUnfoldedFieldMax, cp);
    }
    if (addresses && field.find("=?") != std::string::npos) {
        field = field.substr(0, colon + 1) +
                DecodeAddressList(std::string_view(field).substr(colon + 1), cp);
    }
    return field;
}

std::string UnfoldStoredField(std::string_view text, std::size_t& pos) {
    return UnfoldStoredField(text, pos, CodePage::Working());
}

std::string ReceivedForm(std::string_view raw) {
    ReceivedTextUnfolder unfolder(CodePage::Working());
    std::string line;
    size_t at = 0;
    while (at < raw.size()) {
        size_t end = raw.find('\n', at);
        const size_t next = end == std::string_view::npos ? raw.size() : end + 1;
        if (end == std::string_view::npos)
            end = raw.size();
        if (end > at && raw[end - 1] == '\r')
            --end;
        line.clear();
        if (end > at && raw[at] == '.')
            line.push_back('.');
        line.append(raw.substr(at, end - at));
        unfolder.AddLine(line);
        at = next;
    }
    return unfolder.Finish() + ".\n";
}

}  // namespace corvina
