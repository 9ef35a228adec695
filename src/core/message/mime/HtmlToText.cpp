#include "message/mime/HtmlToText.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/mime/HtmlNodes.h"

namespace corvina {

namespace {

using namespace html;

// Below this many element levels the rest of a branch is read as plain
// text, so that no document can exhaust the stack.
constexpr int kMaxElementDepth = 200;
// Tables nested deeper than this are read as plain blocks.
constexpr int kMaxTableDepth = 8;
// The narrowest a line may become however deep the indents go.
constexpr int kMinColumns = 20;
constexpr std::string_view kRule = "------------------------";

const CodePage& Utf8() {
    return CodePage::Get(CodePage::kUtf8);
}

int Columns(std::string_view utf8) {
    return Utf8().TextColumns(utf8);
}

bool HasWideCharacter(std::string_view utf8) {
    const CodePage& u = Utf8();
    const char* end = utf8.data() + utf8.size();
    for (const char* p = utf8.data(); p < end; p += std::max(1, u.CharLength(p, end))) {
        if (u.Columns(p, end) > 1) {
            return true;
        }
    }
    return false;
}

// Writes the document as lines. Text is collected into the running
// paragraph (blanks collapsed) and wrapped when a block ends; indents
// (list markers, quotation marks) stack.
class Renderer {
public:
    Renderer(int columns, int tableDepth, int depth)
        : columns_(columns), tableDepth_(tableDepth), depth_(depth) {}

    void Children(const xmlNode* node) {
        for (const xmlNode* child = node->children; child; child = child->next) {
            Node(child);
        }
    }

    // The lines so far, the running paragraph included, without blank
    // lines at either end.
    std::vector<std::string> Finish() {
        Flush();
        while (!lines_.empty() && IsBlankLine(lines_.back())) {
            lines_.pop_back();
        }
        return std::move(lines_);
    }

    void Node(const xmlNode* node);

private:
    struct Indent {
        std::string first;  // before the first line (a list marker)
        std::string rest;   // before every later line
        bool used = false;
    };

    void Element(const xmlNode* node);
    void PlainText(const xmlNode* node);
    void Text(std::string_view utf8);
    void PreText(std::string_view utf8);
    void OutlookLine(const xmlNode* node);
    void Link(const xmlNode* node);
    void Heading(const xmlNode* node);
    void List(const xmlNode* node);
    void Item(const xmlNode* node);
    void Table(const xmlNode* node);
    void Row(const xmlNode* node);

    void Flush();
    void Break();
    // Writes a blank line asked for before a new indent takes effect, so
    // that it carries the outer prefix.
    void OpenIndent(std::string first, std::string rest);
    void Blank() {
        Flush();
        blankPending_ = true;
    }
    void Emit(std::string_view line);
    std::string Prefix(bool forBlank);
    int Available() const;
    bool IsBlankLine(const std::string& line) const {
        return line.find_first_not_of(" >") == std::string::npos;
    }
    bool InItem() const {
        return std::any_of(indents_.begin(), indents_.end(),
                           [](const Indent& i) { return i.first != i.rest; });
    }

    int columns_;
    int tableDepth_;
    int depth_;
    int preDepth_ = 0;
    std::vector<std::string> lines_;
    std::string para_;  // UTF-8, single blanks between words
    bool spacePending_ = false;
    bool blankPending_ = false;
    bool lastBlank_ = true;  // nothing written yet counts as blank
    int flushes_ = 0;
    std::vector<Indent> indents_;
    std::vector<int> counters_;  // per open list: the next number, 0 for bullets
};

void Renderer::Node(const xmlNode* node) {
    switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (node->content) {
                const std::string_view text(reinterpret_cast<const char*>(node->content));
                preDepth_ > 0 ? PreText(text) : Text(text);
            }
            break;
        case XML_ELEMENT_NODE:
            if (depth_ >= kMaxElementDepth) {
                PlainText(node);
            } else {
                ++depth_;
                Element(node);
                --depth_;
            }
            break;
        case XML_ENTITY_REF_NODE:
            Children(node);
            break;
        default:
            break;  // comments (Outlook's conditional blocks among them), processing instructions
    }
}

// The text of a branch below the depth limit, walked without recursion.
void Renderer::PlainText(const xmlNode* top) {
    const xmlNode* node = top;
    while (node) {
        const bool skip = node->type == XML_ELEMENT_NODE && KindOf(node) == Kind::Skip;
        if (node->type == XML_TEXT_NODE && node->content) {
            Text(reinterpret_cast<const char*>(node->content));
        }
        if (node->children && !skip && node->type == XML_ELEMENT_NODE) {
            node = node->children;
            continue;
        }
        while (node != top && !node->next) {
            node = node->parent;
        }
        if (node == top) {
            break;
        }
        node = node->next;
    }
}

void Renderer::Element(const xmlNode* node) {
    const Kind kind = KindOf(node);
    if (kind == Kind::Skip || IsHidden(node)) {
        return;
    }
    switch (kind) {
        case Kind::Inline:
            Children(node);
            break;
        case Kind::Block:
            Flush();
            Children(node);
            Flush();
            break;
        case Kind::Paragraph:
            if (IsOutlookLine(node)) {
                OutlookLine(node);
                break;
            }
            Blank();
            Children(node);
            Blank();
            break;
        case Kind::Heading:
            Heading(node);
            break;
        case Kind::List:
            List(node);
            break;
        case Kind::Item:
            Item(node);
            break;
        case Kind::Quote:
            Blank();
            OpenIndent("> ", "> ");
            Children(node);
            Flush();
            indents_.pop_back();
            Blank();
            break;
        case Kind::Pre:
            Blank();
            ++preDepth_;
            Children(node);
            --preDepth_;
            Flush();
            Blank();
            break;
        case Kind::Break:
            Break();
            break;
        case Kind::Rule:
            Blank();
            Emit(kRule);
            Blank();
            break;
        case Kind::Table:
            Table(node);
            break;
        case Kind::Row:
            Row(node);
            break;
        case Kind::Image:
            Text(Attribute(node, "alt"));
            break;
        case Kind::Link:
            Link(node);
            break;
        case Kind::Definition:
            OpenIndent("    ", "    ");
            Children(node);
            Flush();
            indents_.pop_back();
            break;
        case Kind::Skip:
            break;
    }
}

// Blanks collapse to one, and only between words; a no-break space is a
// blank, and the invisible characters newsletters pad their preview text
// with are left out.
void Renderer::Text(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            spacePending_ = true;
            ++i;
            continue;
        }
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("\xC2\xA0")) {  // U+00A0
            spacePending_ = true;
            i += 2;
            continue;
        }
        if (rest.starts_with("\xC2\xAD") || rest.starts_with("\xCD\x8F")) {  // U+00AD, U+034F
            i += 2;
            continue;
        }
        if (rest.starts_with("\xE2\x80\x8B") || rest.starts_with("\xE2\x80\x8C") ||
            rest.starts_with("\xE2\x80\x8D") || rest.starts_with("\xEF\xBB\xBF")) {
            i += 3;  // U+200B..U+200D, U+FEFF
            continue;
        }
        if (spacePending_ && !para_.empty()) {
            para_ += ' ';
        }
        spacePending_ = false;
        para_ += static_cast<char>(c);
        ++i;
    }
}

// Preformatted text keeps its blanks and line breaks; tabs become blanks
// to the next multiple of eight.
void Renderer::PreText(std::string_view text) {
    for (char c : text) {
        if (c == '\n') {
            ++flushes_;
            Emit(para_);
            para_.clear();
        } else if (c == '\t') {
            para_.append(8 - Columns(para_) % 8, ' ');
        } else if (c != '\r') {
            para_ += c;
        }
    }
}

void Renderer::OutlookLine(const xmlNode* node) {
    Flush();
    const int flushes = flushes_;
    Children(node);
    if (para_.empty() && flushes_ == flushes) {
        Break();
    }
    Flush();
}

void Renderer::OpenIndent(std::string first, std::string rest) {
    Flush();
    if (blankPending_ && !lastBlank_) {
        lines_.push_back(Prefix(true));
        lastBlank_ = true;
    }
    blankPending_ = false;
    indents_.push_back({std::move(first), std::move(rest)});
}

void Renderer::Link(const xmlNode* node) {
    const std::string url = FollowableUrl(Attribute(node, "href"));
    const std::size_t start = para_.size();
    const int flushes = flushes_;
    Children(node);
    if (url.empty()) {
        return;
    }
    if (flushes_ != flushes) {
        // The link held blocks: its address follows them.
        Text(" <" + url + ">");
        return;
    }
    std::string_view text = Trim(std::string_view(para_).substr(start));
    if (text.empty()) {
        return;  // an image link without alt text: nothing to read
    }
    if (EqualNoCase(BareAddress(text), BareAddress(url))) {
        if (!EqualNoCase(url.substr(0, 7), "mailto:")) {
            // The full address, so that it can be opened.
            para_.resize(start);
            Text(" " + url);
        }
        return;
    }
    Text(" <" + url + ">");
}

void Renderer::Heading(const xmlNode* node) {
    Blank();
    const std::size_t first = lines_.size();
    Children(node);
    Flush();
    const std::string_view level = NameOf(node);
    const char underline = EqualNoCase(level, "h1") ? '=' : EqualNoCase(level, "h2") ? '-' : 0;
    if (underline && lines_.size() > first) {
        const int prefixColumns = Columns(Prefix(false));
        int width = 0;
        for (std::size_t i = first; i < lines_.size(); ++i) {
            width = std::max(width, Columns(lines_[i]) - prefixColumns);
        }
        Emit(std::string(static_cast<std::size_t>(std::max(width, 1)), underline));
    }
    Blank();
}

void Renderer::List(const xmlNode* node) {
    const bool nested = InItem();
    nested ? Flush() : Blank();
    int next = 0;
    if (EqualNoCase(NameOf(node), "ol")) {
        const std::string start = Attribute(node, "start");
        next = std::clamp(start.empty() ? 1 : AtoI(start), 1, 99999);
    }
    counters_.push_back(next);
    Children(node);
    counters_.pop_back();
    nested ? Flush() : Blank();
}

void Renderer::Item(const xmlNode* node) {
    Flush();
    std::string marker = "* ";
    if (!counters_.empty() && counters_.back() != 0) {
        marker = std::to_string(counters_.back()) + ". ";
        ++counters_.back();
    }
    OpenIndent(marker, std::string(marker.size(), ' '));
    Children(node);
    Flush();
    // An item with no text still shows its marker.
    if (!indents_.back().used) {
        Emit("");
    }
    indents_.pop_back();
    blankPending_ = false;
}

void Renderer::Table(const xmlNode* node) {
    Flush();
    if (tableDepth_ >= kMaxTableDepth) {
        Children(node);
    } else {
        ++tableDepth_;
        Children(node);
        --tableDepth_;
    }
    Flush();
}

// A row whose cells are one line each is one line, the cells joined by
// " | " (empty cells left out); a row with longer cells, as layout tables
// have, gives each cell's lines in turn.
void Renderer::Row(const xmlNode* node) {
    Flush();
    if (tableDepth_ == 0 || tableDepth_ >= kMaxTableDepth) {
        Children(node);
        Flush();
        return;
    }
    std::vector<std::vector<std::string>> cells;
    bool oneLineEach = true;
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || IsHidden(child) || KindOf(child) == Kind::Skip) {
            continue;
        }
        Renderer cell(std::max(kMinColumns, Available()), tableDepth_, depth_ + 1);
        if (KindOf(child) == Kind::Block) {
            cell.Children(child);
        } else {
            cell.Node(child);
        }
        std::vector<std::string> lines = cell.Finish();
        if (lines.empty()) {
            continue;
        }
        oneLineEach = oneLineEach && lines.size() == 1;
        cells.push_back(std::move(lines));
    }
    if (oneLineEach) {
        std::string joined;
        for (const std::vector<std::string>& cell : cells) {
            if (!joined.empty()) {
                joined += " | ";
            }
            joined += cell.front();
        }
        para_ = std::move(joined);
        Flush();
        return;
    }
    for (const std::vector<std::string>& cell : cells) {
        // A cell of several lines reads as a block of its own.
        if (cell.size() > 1) {
            Blank();
        }
        for (const std::string& line : cell) {
            if (line.empty()) {
                Blank();
            } else {
                Emit(line);
            }
        }
        cell.size() > 1 ? Blank() : Flush();
    }
}

int Renderer::Available() const {
    int used = 0;
    for (const Indent& i : indents_) {
        used += Columns(i.rest);
    }
    return std::max(kMinColumns, columns_ - used);
}

// The paragraph's words as lines of at most Available() columns. A word
// longer than a line stays whole (an address must not be cut) unless it
// holds wide characters: Japanese text is written without blanks and
// breaks between any two characters.
void Renderer::Flush() {
    spacePending_ = false;
    if (para_.empty()) {
        return;
    }
    ++flushes_;
    const CodePage& u = Utf8();
    const int width = Available();
    std::string line;
    int lineColumns = 0;
    auto put = [&](std::string_view piece, int pieceColumns) {
        if (!line.empty() && lineColumns + 1 + pieceColumns > width) {
            Emit(line);
            line.clear();
            lineColumns = 0;
        }
        if (!line.empty()) {
            line += ' ';
            ++lineColumns;
        }
        line.append(piece);
        lineColumns += pieceColumns;
    };
    std::string_view text = para_;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(' ', pos);
        end = end == std::string_view::npos ? text.size() : end;
        std::string_view word = text.substr(pos, end - pos);
        pos = end + 1;
        if (word.empty()) {
            continue;
        }
        const int wordColumns = Columns(word);
        if (wordColumns <= width || !HasWideCharacter(word)) {
            put(word, wordColumns);
            continue;
        }
        // Fill the current line character by character.
        const char* p = word.data();
        const char* wordEnd = p + word.size();
        if (!line.empty()) {
            line += ' ';
            ++lineColumns;
        }
        while (p < wordEnd) {
            const int length = std::max(1, u.CharLength(p, wordEnd));
            const int c = u.Columns(p, wordEnd);
            if (lineColumns + c > width && !line.empty()) {
                Emit(line);
                line.clear();
                lineColumns = 0;
            }
            line.append(p, static_cast<std::size_t>(length));
            lineColumns += c;
            p += length;
        }
    }
    if (!line.empty()) {
        Emit(line);
    }
    para_.clear();
}

// <br>: ends the line; with nothing on it, an empty line.
void Renderer::Break() {
    if (preDepth_ > 0) {
        ++flushes_;
        Emit(para_);
        para_.clear();
        return;
    }
    if (!para_.empty()) {
        Flush();
        return;
    }
    if (!lastBlank_) {
        const std::string prefix = Prefix(true);
        lines_.push_back(prefix);
        lastBlank_ = true;
    }
    blankPending_ = false;
}

std::string Renderer::Prefix(bool forBlank) {
    std::string prefix;
    for (const Indent& i : indents_) {
        prefix += forBlank || i.used ? i.rest : i.first;
    }
    if (forBlank) {
        while (!prefix.empty() && prefix.back() == ' ') {
            prefix.pop_back();
        }
    }
    return prefix;
}

void Renderer::Emit(std::string_view line) {
    // No blank line between a list marker and the item's first paragraph.
    const bool itemStart =
        !indents_.empty() && !indents_.back().used && indents_.back().first != indents_.back().rest;
    if (blankPending_ && !lastBlank_ && !itemStart) {
        lines_.push_back(Prefix(true));
    }
    blankPending_ = false;
    std::string out = Prefix(false);
    for (Indent& i : indents_) {
        i.used = true;
    }
    out.append(line);
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    lastBlank_ = IsBlankLine(out);
    lines_.push_back(std::move(out));
}

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

void InitialiseLibxml() {
    // Once, before any thread parses: the library's own set-up is not
    // safe to run from two threads at once.
    static const bool done = [] {
        xmlInitParser();
        return true;
    }();
    (void)done;
}

}  // namespace

std::vector<std::string> HtmlToText(std::string_view html, std::string_view charset,
                                    const CodePage& cp, int columns) {
    InitialiseLibxml();
    std::string utf8;
    const char* encoding = nullptr;
    std::string_view label = charset;
    if ((label.empty() || EqualNoCase(label, "us-ascii")) &&
        html.find("\x1b$") != std::string_view::npos) {
        label = "ISO-2022-JP";  // undeclared JIS, as the plain-text reader takes it
    }
    if (!label.empty() && !EqualNoCase(label, "us-ascii") &&
        CodePage::Convert(label, "UTF-8", html, utf8)) {
        html = utf8;
        encoding = "UTF-8";
    }
    const int size = static_cast<int>(std::min<std::size_t>(html.size(), INT_MAX));
    const int options =
        HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING;
    std::unique_ptr<xmlDoc, DocFree> doc(
        htmlReadMemory(html.data(), size, nullptr, encoding, options));
    if (!doc) {
        return {};
    }
    Renderer renderer(std::max(kMinColumns, columns), 0, 0);
    for (const xmlNode* node = doc->children; node; node = node->next) {
        renderer.Node(node);
    }
    std::vector<std::string> lines = renderer.Finish();
    if (!cp.IsUtf8()) {
        for (std::string& line : lines) {
            line = cp.FromUtf8(line);
        }
    }
    return lines;
}

}  // namespace corvina
