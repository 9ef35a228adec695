// CodePage's conversions: W to and from UTF-8, and between W and any
// MIME charset through iconv (descriptors cached per thread).

#include <iconv.h>
#include <algorithm>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "common/CodePageTables.h"
#include "common/Utf8.h"

namespace corvina {

namespace {

// ---- iconv, cached per thread -----------------------------------------------

class IconvCache {
public:
    ~IconvCache() {
        for (auto& [key, cd] : descriptors_) {
            if (cd != reinterpret_cast<iconv_t>(-1)) {
                iconv_close(cd);
            }
        }
    }
    // (iconv_t)-1 when the pair cannot be converted; the failure is cached.
    iconv_t Get(const std::string& from, const std::string& to) {
        const std::string key = from + '\n' + to;
        auto it = descriptors_.find(key);
        if (it == descriptors_.end()) {
            const iconv_t cd = iconv_open(to.c_str(), from.c_str());
            // Mail may name any number of unknown charsets: failures are
            // remembered only up to a bound. Open descriptors are never
            // evicted (a caller may hold two at once); iconv knows a
            // bounded set of names.
            if (cd == reinterpret_cast<iconv_t>(-1) && failures_ >= kMaxFailures) {
                return cd;
            }
            failures_ += cd == reinterpret_cast<iconv_t>(-1) ? 1 : 0;
            it = descriptors_.emplace(key, cd).first;
        }
        if (it->second != reinterpret_cast<iconv_t>(-1)) {
            iconv(it->second, nullptr, nullptr, nullptr, nullptr);  // initial state
        }
        return it->second;
    }

private:
    static constexpr std::size_t kMaxFailures = 64;
    std::size_t failures_ = 0;
    std::unordered_map<std::string, iconv_t> descriptors_;
};

IconvCache& Cache() {
    thread_local IconvCache cache;
    return cache;
}

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

// Runs one iconv pass over in, appending to out. On a sequence that cannot
// be converted, onError(out) appends a replacement and the input skips
// skipOnError bytes. iconv writes into a per-thread scratch buffer that only
// grows, so no output is zero-filled first.
template <typename OnError>
void RunIconv(iconv_t cd, std::string_view in, std::size_t skipOnError, std::string& out,
              OnError onError) {
    thread_local std::string scratch;
    // Bounded: longer input goes through in several rounds (E2BIG).
    const std::size_t want = std::min<std::size_t>(in.size() * 2 + 64, 256 * 1024);
    if (scratch.size() < want) {
        scratch.resize(want);
    }
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    auto drain = [&](char* outPtr) { out.append(scratch.data(), outPtr - scratch.data()); };
    while (inLeft > 0) {
        char* outPtr = scratch.data();
        std::size_t outLeft = scratch.size();
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        drain(outPtr);
        if (rc != static_cast<std::size_t>(-1)) {
            break;
        }
        if (err == E2BIG) {
            continue;
        }
        // EILSEQ: invalid or unconvertible; EINVAL: cut short at the end.
        onError(out);
        const std::size_t skip =
            err == EINVAL ? inLeft : (skipOnError < inLeft ? skipOnError : inLeft);
        inPtr += skip;
        inLeft -= skip;
    }
    // The final shift back to the initial state (ISO-2022-JP and the like).
    for (;;) {
        char* outPtr = scratch.data();
        std::size_t outLeft = scratch.size();
        const std::size_t rc = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        drain(outPtr);
        if (rc != static_cast<std::size_t>(-1) || errno != E2BIG) {
            break;
        }
    }
}

// from -> UTF-32LE -> to, so that invalid input and characters the target
// cannot hold each become exactly one "?". False when a name is unknown.
bool ConvertViaUtf32(const std::string& from, const std::string& to, std::string_view in,
                     std::string& out) {
    // Most text converts cleanly: one direct pass, and the two-step route
    // (which gives exactly one "?" per bad character) only when it did not.
    iconv_t direct = Cache().Get(from, to);
    if (direct != kNoIconv) {
        bool clean = true;
        out.clear();
        RunIconv(direct, in, 1, out, [&](std::string&) { clean = false; });
        if (clean) {
            return true;
        }
    }
    iconv_t decode = Cache().Get(from, "UTF-32LE");
    iconv_t encode = Cache().Get("UTF-32LE", to);
    if (decode == kNoIconv || encode == kNoIconv) {
        return false;
    }
    std::string wide;
    wide.reserve(in.size() * 4);
    RunIconv(decode, in, 1, wide, [](std::string& o) { o.append("?\0\0\0", 4); });
    out.clear();
    RunIconv(encode, wide, 4, out, [&](std::string& o) {
        // "?" itself in the target charset.
        static const char kQuestion[4] = {'?', 0, 0, 0};
        char* inPtr = const_cast<char*>(kQuestion);
        std::size_t inLeft = 4;
        char buf[16];
        char* outPtr = buf;
        std::size_t outLeft = sizeof buf;
        if (iconv(encode, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
            o.append(buf, static_cast<std::size_t>(outPtr - buf));
        } else {
            o += '?';
        }
    });
    return true;
}

// Labels that are ASCII: bytes are kept as they are, 8-bit ones included.
bool IsAsciiLabel(std::string_view lower) {
    return lower == "us-ascii" || lower == "ascii" || lower == "ansi_x3.4-1968" ||
           lower == "iso646-us" || lower == "us" || lower == "csascii" || lower == "iso-ir-6";
}

struct Alias {
    const char* label;
    const char* iconvName;
};

// Labels whose iconv name differs or which mail uses loosely. The
// ISO-8859-1 labels read as windows-1252, as mail labelled Latin-1
// routinely carries 1252's quotes and dashes in 0x80-0x9F.
const Alias kAliases[] = {
    {"utf-8", "UTF-8"},
    {"utf8", "UTF-8"},
    {"unicode-1-1-utf-8", "UTF-8"},
    {"shift_jis", "CP932"},
    {"shift-jis", "CP932"},
    {"x-sjis", "CP932"},
    {"sjis", "CP932"},
    {"ms_kanji", "CP932"},
    {"csshiftjis", "CP932"},
    {"cp932", "CP932"},
    {"windows-31j", "CP932"},
    {"ms932", "CP932"},
    {"x-ms-cp932", "CP932"},
    {"iso-2022-jp", "ISO-2022-JP"},
    {"csiso2022jp", "ISO-2022-JP"},
    {"euc-jp", "EUC-JP-MS"},
    {"x-euc-jp", "EUC-JP-MS"},
    {"eucjp", "EUC-JP-MS"},
    {"cseucpkdfmtjapanese", "EUC-JP-MS"},
    {"iso-8859-1", "CP1252"},
    {"iso8859-1", "CP1252"},
    {"iso_8859-1", "CP1252"},
    {"latin1", "CP1252"},
    {"l1", "CP1252"},
    {"cp819", "CP1252"},
    {"ibm819", "CP1252"},
    {"csisolatin1", "CP1252"},
    {"iso-ir-100", "CP1252"},
    {"windows-1252", "CP1252"},
    {"x-cp1252", "CP1252"},
    {"cp1252", "CP1252"},
    {"latin2", "ISO-8859-2"},
    {"l2", "ISO-8859-2"},
    {"windows-874", "CP874"},
    {"cp874", "CP874"},
    {"x-cp874", "CP874"},
    {"ks_c_5601-1987", "CP949"},
    {"ks_c_5601", "CP949"},
    {"euc-kr", "CP949"},
    {"gb2312", "GBK"},
    {"x-gbk", "GBK"},
    {"cn-big5", "BIG5"},
    {"x-x-big5", "BIG5"},
    {"x-mac-roman", "MACINTOSH"},
    {"macintosh", "MACINTOSH"},
};

// ISO-2022-JP as Japanese mail writes it, into Windows Shift_JIS: the
// NEC and IBM rows (circled digits and the like) that mailers put into
// ISO-2022-JP survive, which a strict ISO-2022-JP decoder turns into "?".
// Also accepts JIS X 0201 kana (ESC ( I, SO/SI); stray 8-bit bytes pass
// through as Shift_JIS. Unsupported sets (ESC $ ( D) give "?".
std::string JisToCp932(std::string_view in) {
    enum class Mode { Ascii, Kanji, Kana, Other };
    Mode mode = Mode::Ascii;
    bool shiftOut = false;
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        if (c == 0x1B) {
            const std::string_view rest = in.substr(i + 1);
            if (rest.substr(0, 2) == "$B" || rest.substr(0, 2) == "$@") {
                mode = Mode::Kanji;
                i += 2;
                continue;
            }
            if (rest.substr(0, 2) == "(B" || rest.substr(0, 2) == "(J") {
                mode = Mode::Ascii;
                i += 2;
                continue;
            }
            if (rest.substr(0, 2) == "(I") {
                mode = Mode::Kana;
                i += 2;
                continue;
            }
            if (rest.substr(0, 3) == "$(D" || rest.substr(0, 3) == "$(O" ||
                rest.substr(0, 3) == "$(Q") {
                mode = Mode::Other;
                i += 3;
                continue;
            }
        }
        if (c == 0x0E) {
            shiftOut = true;
            continue;
        }
        if (c == 0x0F) {
            shiftOut = false;
            continue;
        }
        if (c == '\n' || c == '\r') {
            mode = Mode::Ascii;  // a line never carries a shift state over
            shiftOut = false;
            out += static_cast<char>(c);
            continue;
        }
        const bool graphic = c >= 0x21 && c <= 0x7E;
        if ((shiftOut || mode == Mode::Kana) && c >= 0x21 && c <= 0x5F) {
            out += static_cast<char>(c + 0x80);
            continue;
        }
        if ((mode == Mode::Kanji || mode == Mode::Other) && graphic) {
            if (i + 1 >= in.size() || in[i + 1] < 0x21 || in[i + 1] > 0x7E) {
                out += '?';
                continue;
            }
            const unsigned j1 = c;
            const unsigned j2 = static_cast<unsigned char>(in[i + 1]);
            ++i;
            if (mode == Mode::Other) {
                out += '?';
                continue;
            }
            const unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
            const unsigned s2 = j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E);
            out += static_cast<char>(s1);
            out += static_cast<char>(s2);
            continue;
        }
        out += static_cast<char>(c);
    }
    return out;
}

// The UTF-8 form of every JIS X 0208 code as JisToCp932 and the Shift_JIS
// table of 932 read it, packed: the bytes in the low three bytes, their
// count in the top one; "?" where the table has no character. Built once
// from the 932 code page itself.
const std::uint32_t* JisUtf8Table() {
    static const std::unique_ptr<std::uint32_t[]> table = [] {
        auto t = std::make_unique<std::uint32_t[]>(94 * 94);
        const CodePage& sjis = CodePage::Get(CodePage::kShiftJis);
        for (unsigned j1 = 0x21; j1 <= 0x7E; ++j1) {
            for (unsigned j2 = 0x21; j2 <= 0x7E; ++j2) {
                const unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
                const unsigned s2 = j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E);
                const char pair[2] = {static_cast<char>(s1), static_cast<char>(s2)};
                const char32_t cp = sjis.Decode(pair, pair + 2);
                std::string utf8;
                if (cp == kReplacementChar) {
                    utf8 = "?";
                } else {
                    utf8::Append(utf8, cp);  // a 932 character is in the BMP: three bytes at most
                }
                std::uint32_t entry = static_cast<std::uint32_t>(utf8.size()) << 24;
                for (std::size_t k = 0; k < utf8.size() && k < 3; ++k) {
                    entry |= static_cast<std::uint32_t>(static_cast<unsigned char>(utf8[k]))
                             << (8 * k);
                }
                t[(j1 - 0x21) * 94 + (j2 - 0x21)] = entry;
            }
        }
        return t;
    }();
    return table.get();
}

// ISO-2022-JP straight into UTF-8, in one pass: the same text as
// Get(932).ToUtf8(JisToCp932(in)). Stray 8-bit bytes, which JisToCp932
// passes on as Shift_JIS to be read together with what follows, are left to
// that two-step route: false, with `out` unspecified.
bool JisToUtf8(std::string_view in, std::string& out) {
    enum class Mode { Ascii, Kanji, Kana, Other };
    const std::uint32_t* table = JisUtf8Table();
    // No byte grows past three (a half-width kana byte); a table entry is
    // stored four bytes at a time.
    out.resize(in.size() * 3 + 1);
    char* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const auto* const end = p + in.size();
    Mode mode = Mode::Ascii;
    bool shiftOut = false;
    auto kana = [&o](unsigned c) {
        // U+FF61 + (c - 0x21): EF BD A1 ... EF BE 9F.
        const unsigned cp = 0xFF61 + (c - 0x21);
        *o++ = static_cast<char>(0xEF);
        *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    };
    while (p < end) {
        if (mode == Mode::Kanji && !shiftOut) {
            // Runs of two-byte characters through the table.
            while (end - p >= 2 && p[0] - 0x21u < 94 && p[1] - 0x21u < 94) {
                const std::uint32_t entry = table[(p[0] - 0x21) * 94 + (p[1] - 0x21)];
                std::memcpy(o, &entry, 4);
                o += entry >> 24;
                p += 2;
            }
            if (p == end) {
                break;
            }
        }
        if (mode == Mode::Ascii && !shiftOut) {
            // Runs of plain ASCII are copied as they are.
            const unsigned char* run = p;
            while (p < end && *p != 0x1B && *p != 0x0E && *p != 0x0F && *p < 0x80) {
                ++p;
            }
            std::memcpy(o, run, static_cast<std::size_t>(p - run));
            o += p - run;
            if (p == end) {
                break;
            }
        }
        const unsigned c = *p;
        if (c >= 0x80) {
            return false;
        }
        if (c == 0x1B) {
            const std::size_t left = static_cast<std::size_t>(end - p) - 1;
            const unsigned a = left >= 1 ? p[1] : 0;
            const unsigned b = left >= 2 ? p[2] : 0;
            if (a == '$' && (b == 'B' || b == '@')) {
                mode = Mode::Kanji;
                p += 3;
                continue;
            }
            if (a == '(' && (b == 'B' || b == 'J')) {
                mode = Mode::Ascii;
                p += 3;
                continue;
            }
            if (a == '(' && b == 'I') {
                mode = Mode::Kana;
                p += 3;
                continue;
            }
            if (a == '$' && b == '(' && left >= 3 && (p[3] == 'D' || p[3] == 'O' || p[3] == 'Q')) {
                mode = Mode::Other;
                p += 4;
                continue;
            }
            *o++ = static_cast<char>(c);
            ++p;
            continue;
        }
        if (c == 0x0E || c == 0x0F) {
            shiftOut = c == 0x0E;
            ++p;
            continue;
        }
        if (c == '\n' || c == '\r') {
            mode = Mode::Ascii;
            shiftOut = false;
            *o++ = static_cast<char>(c);
            ++p;
            continue;
        }
        if ((shiftOut || mode == Mode::Kana) && c >= 0x21 && c <= 0x5F) {
            kana(c);
            ++p;
            continue;
        }
        if ((mode == Mode::Kanji || mode == Mode::Other) && c >= 0x21 && c <= 0x7E) {
            if (end - p < 2 || p[1] < 0x21 || p[1] > 0x7E) {
                if (end - p >= 2 && p[1] >= 0x80) {
                    return false;
                }
                *o++ = '?';
                ++p;
                continue;
            }
            if (mode == Mode::Other) {
                *o++ = '?';
            } else {
                const std::uint32_t entry = table[(c - 0x21) * 94 + (p[1] - 0x21)];
                std::memcpy(o, &entry, 4);
                o += entry >> 24;
            }
            p += 2;
            continue;
        }
        *o++ = static_cast<char>(c);
        ++p;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return true;
}

}  // namespace

std::string CodePage::IconvCharsetName(std::string_view charset) {
    std::string_view label = Trim(charset);
    if (label.size() >= 2 && label.front() == '"' && label.back() == '"') {
        label = Trim(label.substr(1, label.size() - 2));
    }
    if (label.empty() || label.size() > 40) {
        return "";
    }
    const std::string lower = corvina::ToLowerAscii(label);
    if (IsAsciiLabel(lower)) {
        return "ASCII";
    }
    for (const Alias& alias : kAliases) {
        if (lower == alias.label) {
            return alias.iconvName;
        }
    }
    // Anything else iconv may know by the label itself; only plain name
    // characters, so a label cannot ask iconv for transliteration modes.
    for (char c : lower) {
        if (!IsAsciiAlpha(c) && !IsAsciiDigit(c) && c != '-' && c != '_' && c != '.' && c != ':') {
            return "";
        }
    }
    std::string name = corvina::ToUpperAscii(lower);
    if (StartsWithNoCase(name, "WINDOWS-") && name.size() == 12) {
        name = "CP" + name.substr(8);
    }
    if (Cache().Get(name, "UTF-32LE") == kNoIconv) {
        return "";
    }
    return name;
}

bool CodePage::IsCharsetOfW(std::string_view charset) const {
    const std::string name = IconvCharsetName(charset);
    return !name.empty() && name == IconvName();
}

bool CodePage::Convert(std::string_view fromCharset, std::string_view toCharset,
                       std::string_view bytes, std::string& out) {
    const std::string from = IconvCharsetName(fromCharset);
    const std::string to = IconvCharsetName(toCharset);
    if (from.empty() || to.empty()) {
        return false;
    }
    if (from == "ASCII" || to == "ASCII") {
        // ASCII passes 8-bit bytes through unchanged.
        out.assign(bytes);
        return true;
    }
    if (from == to) {
        out = from == "UTF-8" ? utf8::Sanitize(bytes) : std::string(bytes);
        return true;
    }
    return ConvertViaUtf32(from, to, bytes, out);
}

// ---- conversions of W --------------------------------------------------------

std::string CodePage::ToUtf8(std::string_view bytes) const {
    if (IsUtf8()) {
        return utf8::Sanitize(bytes);
    }
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    // ASCII runs in one piece, the rest character by character.
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
        const char* run = p;
        while (p < end && static_cast<unsigned char>(*p) < 0x80) {
            ++p;
        }
        out.append(run, static_cast<std::size_t>(p - run));
        if (p == end) {
            break;
        }
        int len = 1;
        const char32_t cp =
            IsDbcs() ? Decode(p, end, &len) : tables_->decode[static_cast<unsigned char>(*p)];
        if (cp == kReplacementChar) {
            out += '?';
        } else {
            utf8::Append(out, cp);
        }
        p += len > 0 ? len : 1;
    }
    return out;
}

std::string CodePage::FromUtf8(std::string_view utf8) const {
    if (IsUtf8()) {
        return utf8::Sanitize(utf8);
    }
    if (IsDbcs()) {
        std::string out;
        if (!ConvertViaUtf32("UTF-8", IconvName(), utf8, out)) {
            return std::string(utf8);
        }
        return out;
    }
    std::string out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        const int len = utf8::SequenceLength(p, end);
        if (len == 0) {
            out += '?';
            ++p;
            continue;
        }
        const char32_t cp = utf8::Decode(p, len);
        p += len;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        auto it = tables_->encode.find(cp);
        out += it == tables_->encode.end() ? '?' : static_cast<char>(it->second);
    }
    return out;
}

namespace {

// Text of 7-bit bytes without ESC reads the same in every charset that
// shares ASCII's lower half (all but the UTF-16/32 and UTF-7 families).
bool IsPlainAsciiIn(std::string_view iconvName, std::string_view bytes) {
    if (iconvName.starts_with("UTF-16") || iconvName.starts_with("UTF-32") ||
        iconvName.starts_with("UCS") || iconvName.starts_with("UTF-7")) {
        return false;
    }
    for (unsigned char c : bytes) {
        if (c >= 0x80 || c == 0x1B) {
            return false;
        }
    }
    return true;
}

// "CP1252" -> 1252 for the single-byte pages this class has tables for,
// else 0.
int SingleBytePageOf(std::string_view iconvName) {
    if (!iconvName.starts_with("CP")) {
        return 0;
    }
    int id = 0;
    for (char c : iconvName.substr(2)) {
        if (c < '0' || c > '9' || id > 10000) {
            return 0;
        }
        id = id * 10 + (c - '0');
    }
    return (id == 874 || (id >= 1250 && id <= 1258)) ? id : 0;
}

}  // namespace

std::string CodePage::FromCharset(std::string_view charset, std::string_view bytes) const {
    const std::string from = IconvCharsetName(charset);
    if (from.empty() || from == "ASCII" || from == IconvName() || IsPlainAsciiIn(from, bytes)) {
        return std::string(bytes);
    }
    if (from == "UTF-8") {
        return FromUtf8(bytes);
    }
    if (IsUtf8()) {
        // Windows single-byte pages (Latin-1 labels among them) through our own
        // decoding tables, which are several times faster than iconv.
        if (const int page = SingleBytePageOf(from); page != 0) {
            return Get(page).ToUtf8(bytes);
        }
        // Japanese 8-bit charsets through tables read from iconv.
        if (const MultiByteDecoder* decoder = MultiByteDecoder::For(from)) {
            return decoder->ToUtf8(bytes);
        }
    }
    if (from == "ISO-2022-JP") {
        if (IsUtf8()) {
            std::string out;
            if (JisToUtf8(bytes, out)) {
                return out;
            }
        }
        std::string sjis = JisToCp932(bytes);
        if (IsDbcs()) {
            return sjis;
        }
        if (IsUtf8()) {
            // Our own Windows Shift_JIS table: several times faster than iconv.
            return Get(932).ToUtf8(sjis);
        }
        std::string out;
        if (!ConvertViaUtf32("CP932", IconvName(), sjis, out)) {
            return std::string(bytes);
        }
        return out;
    }
    std::string out;
    if (!ConvertViaUtf32(from, IconvName(), bytes, out)) {
        return std::string(bytes);
    }
    return out;
}

std::string CodePage::ToCharset(std::string_view charset, std::string_view bytes) const {
    const std::string to = IconvCharsetName(charset);
    if (to.empty() || to == "ASCII" || to == IconvName()) {
        return std::string(bytes);
    }
    if (to == "UTF-8") {
        return ToUtf8(bytes);
    }
    std::string out;
    if (!ConvertViaUtf32(IconvName(), to, bytes, out)) {
        return std::string(bytes);
    }
    return out;
}

}  // namespace corvina
