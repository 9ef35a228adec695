#include "editor/AddressRecognition.h"

#include <algorithm>
#include <array>
#include <utility>

#include "common/CodePage.h"

namespace corvina {
namespace {

// A mail address has at most 254 characters; the scan stops beyond that,
// so a line of stray quotes costs linear time.
constexpr std::size_t kMaxMailChars = 256;

constexpr std::array<std::string_view, 5> kSchemes = {
    "http:", "https:", "news:", "ftp:", "gopher:"};
constexpr std::string_view kMailTo = "mailto:";

// One character of a line: where it starts, and its byte when it is a
// single-byte ASCII character (0 otherwise).
struct Cell {
    std::size_t offset;
    char ascii;
};

// The characters of `line`, with a closing cell at the line's end.
std::vector<Cell> CellsOf(std::string_view line, const CodePage& codePage) {
    std::vector<Cell> cells;
    cells.reserve(line.size() + 1);
    for (std::size_t pos = 0; pos < line.size();) {
        const auto length = static_cast<std::size_t>(std::max(1, codePage.CharLength(line, pos)));
        const auto byte = static_cast<unsigned char>(line[pos]);
        cells.push_back({pos, length == 1 && byte < 0x80 ? static_cast<char>(byte) : '\0'});
        pos += length;
    }
    cells.push_back({line.size(), '\0'});
    return cells;
}

bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsUrlChar(char c) {
    return IsAlnum(c) ||
           (c != '\0' && std::string_view("#%&+-./:=?_~").find(c) != std::string_view::npos);
}

bool IsMailChar(char c) {
    return IsAlnum(c) || c == '-' || c == '.' || c == '@' || c == '_';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
}

// Whether the cells from `at` spell `word` (ASCII, lower case) in any case.
bool SpellsAt(const std::vector<Cell>& cells, std::size_t at, std::string_view word) {
    if (at + word.size() >= cells.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (Lower(cells[at + i].ascii) != word[i]) {
            return false;
        }
    }
    return true;
}

// How far the forms reach from one start: `scanned` is the cell where the
// scan stopped (the next start worth trying), [start, end) the address or
// end == start when there is none.
struct FormScan {
    std::size_t end;
    std::size_t scanned;
};

FormScan ScanWeb(const std::vector<Cell>& cells, std::size_t start) {
    const auto scheme = std::find_if(kSchemes.begin(), kSchemes.end(),
                                     [&](std::string_view s) { return SpellsAt(cells, start, s); });
    if (scheme == kSchemes.end()) {
        return {start, start + 1};
    }
    const std::size_t body = start + scheme->size();
    std::size_t end = body;
    while (IsUrlChar(cells[end].ascii)) {
        ++end;
    }
    const std::size_t scanned = end;
    while (end > body && cells[end - 1].ascii == '.') {
        --end;
    }
    // "http:" or "http://" with nothing after it names no place.
    const bool named = std::any_of(cells.begin() + static_cast<std::ptrdiff_t>(body),
                                   cells.begin() + static_cast<std::ptrdiff_t>(end),
                                   [](const Cell& c) { return IsAlnum(c.ascii); });
    return {named ? end : start, scanned};
}

FormScan ScanMail(const std::vector<Cell>& cells, std::size_t start) {
    const std::size_t first = SpellsAt(cells, start, kMailTo) ? start + kMailTo.size() : start;
    const std::size_t limit = std::min(cells.size() - 1, first + kMaxMailChars);
    std::size_t end = first;
    std::size_t firstQuote = cells.size();
    while (end < limit) {
        const char c = cells[end].ascii;
        if (IsMailChar(c)) {
            ++end;
            continue;
        }
        if (c != '"') {
            break;
        }
        firstQuote = std::min(firstQuote, end);
        std::size_t close = end + 1;
        while (close < limit && cells[close].ascii != '"') {
            ++close;
        }
        if (close >= limit) {
            break;
        }
        end = close + 1;
    }
    // A later start before the first quote runs the same way; at a quote
    // the text may read differently (a closing quote is no opening one).
    const std::size_t scanned = std::max(std::min(end, firstQuote), start + 1);
    while (end > first && cells[end - 1].ascii == '.') {
        --end;
    }
    bool hasAt = false;
    bool quoted = false;
    for (std::size_t i = first; i < end; ++i) {
        quoted = cells[i].ascii == '"' ? !quoted : quoted;
        hasAt = hasAt || (!quoted && i > first && cells[i].ascii == '@');
    }
    if (!hasAt || cells[end - 1].ascii == '@') {
        return {start, scanned};
    }
    return {end, scanned};
}

bool MayStartWeb(const std::vector<Cell>& cells, std::size_t at) {
    return at == 0 || !IsAlnum(cells[at - 1].ascii);
}

// A mail address starts at the first letter, digit or quote of its run:
// "-" "." "_" in front of it are stepped over, a letter, digit or "@"
// there means the run started earlier.
bool MayStartMail(const std::vector<Cell>& cells, std::size_t at) {
    const char c = cells[at].ascii;
    if (!IsAlnum(c) && c != '"') {
        return false;
    }
    std::size_t before = at;
    while (before > 0 && IsMailChar(cells[before - 1].ascii) && !IsAlnum(cells[before - 1].ascii) &&
           cells[before - 1].ascii != '@') {
        --before;
    }
    return before == 0 || !IsMailChar(cells[before - 1].ascii);
}

// The leftmost form of the scanner that holds cell `target`. A failed or
// passed scan resumes where it says: the starts it stepped over would
// stop at the same place.
template <typename Scan, typename MayStart>
std::pair<std::size_t, std::size_t> FormHolding(const std::vector<Cell>& cells, std::size_t target,
                                                Scan scan, MayStart mayStart) {
    for (std::size_t at = 0; at <= target;) {
        if (!mayStart(cells, at)) {
            ++at;
            continue;
        }
        const FormScan found = scan(cells, at);
        if (found.end > target) {
            return {at, found.end};
        }
        at = std::max(at + 1, found.scanned);
    }
    return {0, 0};
}

std::size_t CellIndexOf(const std::vector<Cell>& cells, std::size_t pos) {
    const auto it = std::upper_bound(cells.begin(), cells.end(), pos,
                                     [](std::size_t p, const Cell& c) { return p < c.offset; });
    return static_cast<std::size_t>(it - cells.begin()) - 1;
}

}  // namespace

AddressAt FindAddressAt(std::string_view line, std::size_t pos, const CodePage& codePage) {
    AddressAt address;
    if (pos >= line.size()) {
        return address;
    }
    const std::vector<Cell> cells = CellsOf(line, codePage);
    const std::size_t target = CellIndexOf(cells, pos);
    std::pair<std::size_t, std::size_t> span = FormHolding(cells, target, ScanWeb, MayStartWeb);
    address.kind = AddressAt::Kind::kWeb;
    if (span.second == 0) {
        span = FormHolding(cells, target, ScanMail, MayStartMail);
        address.kind = AddressAt::Kind::kMail;
    }
    if (span.second == 0) {
        address.kind = AddressAt::Kind::kNone;
        return address;
    }
    address.start = cells[span.first].offset;
    address.end = cells[span.second].offset;
    address.text = std::string(line.substr(address.start, address.end - address.start));
    return address;
}

std::vector<std::string> HttpAddressesOf(const std::vector<std::string_view>& lines,
                                         const CodePage& codePage) {
    std::vector<std::string> found;
    for (std::string_view line : lines) {
        const std::vector<Cell> cells = CellsOf(line, codePage);
        for (std::size_t at = 0; at + 1 < cells.size();) {
            if (!MayStartWeb(cells, at)) {
                ++at;
                continue;
            }
            const FormScan scan = ScanWeb(cells, at);
            if (scan.end > at &&
                (SpellsAt(cells, at, "http://") || SpellsAt(cells, at, "https://"))) {
                std::string text(
                    line.substr(cells[at].offset, cells[scan.end].offset - cells[at].offset));
                if (std::find(found.begin(), found.end(), text) == found.end()) {
                    found.push_back(std::move(text));
                }
            }
            at = std::max(at + 1, scan.scanned);
        }
    }
    return found;
}

std::string BareMailAddress(std::string_view addressText) {
    bool quoted = false;
    std::size_t cut = 0;
    for (std::size_t i = 0; i < addressText.size(); ++i) {
        const char c = addressText[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '@') {
            break;
        } else if (!quoted && (c == ':' || c == '/')) {
            cut = i + 1;
        }
    }
    return std::string(addressText.substr(cut));
}

std::string AddressToWriteTo(std::string_view line, const AddressAt& address) {
    std::string bare = BareMailAddress(address.text);
    if (address.start == 0 || line[address.start - 1] != '<' || address.end >= line.size() ||
        line[address.end] != '>') {
        return bare;
    }
    std::size_t nameEnd = address.start - 1;
    while (nameEnd > 0 && (line[nameEnd - 1] == ' ' || line[nameEnd - 1] == '\t')) {
        --nameEnd;
    }
    if (nameEnd < 2 || line[nameEnd - 1] != '"') {
        return bare;
    }
    const std::size_t open = line.rfind('"', nameEnd - 2);
    if (open == std::string_view::npos) {
        return bare;
    }
    return std::string(line.substr(open, nameEnd - open)) + " <" + bare + ">";
}

}  // namespace corvina
