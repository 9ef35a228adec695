#include "common/CodePage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "common/Bytes.h"
#include "common/CodePageTables.h"
#include "common/UnicodeTables.h"
#include "common/Utf8.h"

namespace corvina {

namespace {
const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);
}  // namespace

namespace {

int DbcsIndex(unsigned char lead, unsigned char trail) {
    const int row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
    return row * 256 + trail;
}

char32_t DecodeOne(iconv_t cd, const char* bytes, std::size_t length) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = length;
    unsigned char buf[8];
    char* out = reinterpret_cast<char*>(buf);
    std::size_t outLeft = sizeof buf;
    if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0 ||
        outLeft != 4) {
        return kReplacementChar;
    }
    return char32_t(buf[0]) | (char32_t(buf[1]) << 8) | (char32_t(buf[2]) << 16) |
           (char32_t(buf[3]) << 24);
}

// windows-1252's 0x80-0x9F, for a system without the iconv module.
const char16_t k1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<int, std::unique_ptr<CodePage>>& Registry();

std::atomic<const CodePage*> gWorking{nullptr};

}  // namespace

bool CodePage::IsSupported(int id) {
    return id == kShiftJis || id == kUtf8 || id == 874 || (id >= 1250 && id <= 1258);
}

CodePage::CodePage(int id) : id_(id) {
    if (IsUtf8()) {
        return;
    }
    tables_ = std::make_unique<SingleByteTables>();
    iconv_t cd = iconv_open("UTF-32LE", IconvName());
    for (int b = 0; b < 0x80; ++b) {
        tables_->decode[b] = static_cast<char32_t>(b);
    }
    if (IsDbcs()) {
        for (int b = 0xA1; b <= 0xDF; ++b) {
            tables_->decode[b] = static_cast<char32_t>(0xFF61 + (b - 0xA1));  // half-width kana
        }
        for (int b = 0x80; b < 0x100; ++b) {
            if (tables_->decode[b] == 0) {
                tables_->decode[b] = kReplacementChar;
            }
        }
        tables_->dbcs = std::make_unique<char16_t[]>(60 * 256);
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0) {
                continue;
            }
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                char32_t cp = kReplacementChar;
                if (trail != 0x7F && cd != kNoIconv) {
                    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                    cp = DecodeOne(cd, pair, 2);
                }
                tables_->dbcs[static_cast<std::size_t>(DbcsIndex(
                    static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)))] =
                    cp > 0xFFFF ? char16_t(0xFFFD) : static_cast<char16_t>(cp);
            }
        }
    } else {
        for (int b = 0x80; b < 0x100; ++b) {
            const char byte = static_cast<char>(b);
            char32_t cp = cd != kNoIconv ? DecodeOne(cd, &byte, 1) : kReplacementChar;
            if (cd == kNoIconv && id_ == 1252) {
                cp = b < 0xA0 ? k1252High[b - 0x80] : static_cast<char32_t>(b);
            }
            // Bytes the page leaves undefined keep their value as a C1
            // control, as Windows does, so they survive a round trip.
            if (cp == kReplacementChar && b < 0xA0) {
                cp = static_cast<char32_t>(b);
            }
            tables_->decode[b] = cp;
        }
        for (int b = 0xFF; b >= 0; --b) {
            if (tables_->decode[b] != kReplacementChar) {
                tables_->encode[tables_->decode[b]] = static_cast<unsigned char>(b);
            }
        }
    }
    if (cd != kNoIconv) {
        iconv_close(cd);
    }
}

CodePage::~CodePage() = default;

namespace {
std::map<int, std::unique_ptr<CodePage>>& Registry() {
    static std::map<int, std::unique_ptr<CodePage>> registry;
    return registry;
}
}  // namespace

const CodePage& CodePage::Get(int id) {
    if (!IsSupported(id)) {
        id = kWestern;
    }
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto& slot = Registry()[id];
    if (!slot) {
        slot.reset(new CodePage(id));
    }
    return *slot;
}

const CodePage& CodePage::Working() {
    const CodePage* page = gWorking.load(std::memory_order_acquire);
    if (page == nullptr) {
        page = &Get(SystemCodePage());
        const CodePage* expected = nullptr;
        if (!gWorking.compare_exchange_strong(expected, page, std::memory_order_acq_rel)) {
            page = expected;
        }
    }
    return *page;
}

void CodePage::SetWorking(int id) {
    const int chosen = IsSupported(id) ? id : SystemCodePage();
    gWorking.store(&Get(chosen), std::memory_order_release);
}

int CodePage::SystemCodePage() {
    // A locale object of its own: the program's locale stays as it is.
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) {
        return kWestern;
    }
    const char* codeset = nl_langinfo_l(CODESET, loc);
    std::string name = corvina::ToLowerAscii(codeset ? codeset : "");
    freelocale(loc);
    std::string compact;
    for (char c : name) {
        if (c != '-' && c != '_') {
            compact += c;
        }
    }
    if (compact == "utf8") {
        return kUtf8;
    }
    if (compact == "sjis" || compact == "shiftjis" || compact == "eucjp" || compact == "cp932" ||
        compact == "windows31j" || compact == "eucjpms") {
        return kShiftJis;
    }
    return kWestern;
}

// ---- characters -------------------------------------------------------------

bool CodePage::IsLeadByte(unsigned char c) const {
    if (IsDbcs()) {
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    }
    if (IsUtf8()) {
        return c >= 0xC2 && c <= 0xF4;
    }
    return false;
}

bool CodePage::IsTrailByte(unsigned char c) const {
    if (IsDbcs()) {
        return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
    }
    if (IsUtf8()) {
        return c >= 0x80 && c <= 0xBF;
    }
    return false;
}

int CodePage::CharLength(const char* p, const char* end) const {
    if (p >= end) {
        return 0;
    }
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    if (IsDbcs()) {
        return IsLeadByte(u[0]) && end - p >= 2 && IsTrailByte(u[1]) ? 2 : 1;
    }
    if (IsUtf8()) {
        if (u[0] < 0x80) {
            return 1;
        }
        const int len = utf8::SequenceLength(u, reinterpret_cast<const unsigned char*>(end));
        return len == 0 ? 1 : len;
    }
    return 1;
}

int CodePage::CharLength(std::string_view text, std::size_t pos) const {
    if (pos >= text.size()) {
        return 0;
    }
    return CharLength(text.data() + pos, text.data() + text.size());
}

std::size_t CodePage::PrevCharStart(std::string_view text, std::size_t pos) const {
    if (pos == 0) {
        return 0;
    }
    if (pos > text.size()) {
        pos = text.size();
    }
    if (IsSingleByte()) {
        return pos - 1;
    }
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (IsUtf8()) {
        // UTF-8 resynchronises: step back over at most three trail bytes.
        std::size_t start = pos - 1;
        for (int back = 0;
             back < 3 && start > 0 && IsTrailByte(static_cast<unsigned char>(text[start]));
             ++back) {
            --start;
        }
        if (start + static_cast<std::size_t>(CharLength(begin + start, end)) == pos) {
            return start;
        }
        return pos - 1;
    }
    // Shift_JIS trail bytes overlap single bytes: scan from the start.
    std::size_t at = 0;
    std::size_t prev = 0;
    while (at < pos) {
        prev = at;
        at += static_cast<std::size_t>(CharLength(begin + at, end));
    }
    return prev;
}

char32_t CodePage::Decode(const char* p, const char* end, int* length) const {
    const int len = CharLength(p, end);
    if (length) {
        *length = len;
    }
    if (len == 0) {
        return kReplacementChar;
    }
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    if (IsUtf8()) {
        if (u[0] < 0x80) {
            return u[0];
        }
        if (utf8::SequenceLength(u, reinterpret_cast<const unsigned char*>(end)) == 0) {
            return kReplacementChar;
        }
        return utf8::Decode(u, len);
    }
    if (len == 2) {
        return tables_->dbcs[static_cast<std::size_t>(DbcsIndex(u[0], u[1]))];
    }
    return tables_->decode[u[0]];
}

int CodePage::Columns(const char* p, const char* end) const {
    if (p >= end) {
        return 0;
    }
    if (IsDbcs()) {
        return CharLength(p, end);
    }
    if (!IsUtf8() || static_cast<unsigned char>(*p) < 0x80) {
        return 1;
    }
    int len = 0;
    const char32_t cp = Decode(p, end, &len);
    if (cp == kReplacementChar && len == 1) {
        return 1;
    }
    return unicode::Columns(cp);
}

int CodePage::TextColumns(std::string_view text) const {
    const char* p = text.data();
    const char* end = p + text.size();
    int columns = 0;
    if (IsSingleByte()) {
        return static_cast<int>(text.size());
    }
    while (p < end) {
        columns += Columns(p, end);
        p += CharLength(p, end);
    }
    return columns;
}

namespace {

CharClass AsciiClass(char32_t c) {
    if (c == ' ' || c == '\t') {
        return CharClass::Space;
    }
    if (c < 0x20 || c == 0x7F) {
        return CharClass::Control;
    }
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') {
        return CharClass::Word;
    }
    return CharClass::Punct;
}

CharClass UnicodeClass(char32_t cp) {
    if (cp < 0x80) {
        return AsciiClass(cp);
    }
    if (cp < 0xA0) {
        return CharClass::Control;
    }
    if (cp == 0x30FC || (cp >= 0x30A1 && cp <= 0x30FA) || (cp >= 0x31F0 && cp <= 0x31FF) ||
        (cp >= 0xFF66 && cp <= 0xFF9F) || cp == 0x30FD || cp == 0x30FE) {
        return CharClass::Katakana;
    }
    if ((cp >= 0x3041 && cp <= 0x3096) || cp == 0x309D || cp == 0x309E) {
        return CharClass::Hiragana;
    }
    if ((cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) ||
        (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0x20000 && cp <= 0x3FFFD) ||
        (cp >= 0x3005 && cp <= 0x3007)) {
        return CharClass::Ideograph;
    }
    if (cp >= 0xFF01 && cp <= 0xFF5E) {
        // Full-width ASCII: letters and digits make words, the rest is
        // wide punctuation.
        const CharClass narrow = AsciiClass(cp - 0xFEE0);
        return narrow == CharClass::Word ? CharClass::Word : CharClass::WideSymbol;
    }
    if (unicode::IsSpaceSeparator(cp)) {
        return CharClass::Space;
    }
    if (unicode::IsPunctOrSymbol(cp)) {
        return unicode::IsWide(cp) ? CharClass::WideSymbol : CharClass::Punct;
    }
    if (cp == kReplacementChar) {
        return CharClass::Punct;
    }
    return CharClass::Word;
}

}  // namespace

CharClass CodePage::ClassOf(const char* p, const char* end) const {
    if (p >= end) {
        return CharClass::Control;
    }
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x80) {
        return AsciiClass(c);
    }
    const char32_t cp = Decode(p, end);
    if (cp == kReplacementChar && IsDbcs() && CharLength(p, end) == 2) {
        // Unassigned double-byte codes: kanji rows stay kanji.
        return c >= 0x88 ? CharClass::Ideograph : CharClass::WideSymbol;
    }
    return UnicodeClass(cp);
}

// ---- case -------------------------------------------------------------------

void CodePage::ToLowerAscii(std::string& text) const {
    const char* begin = text.data();
    const char* end = begin + text.size();
    for (std::size_t i = 0; i < text.size();) {
        const int len = CharLength(begin + i, end);
        if (len == 1) {
            text[i] = AsciiLower(text[i]);
        }
        i += static_cast<std::size_t>(len);
    }
}

void CodePage::ToUpperAscii(std::string& text) const {
    const char* begin = text.data();
    const char* end = begin + text.size();
    for (std::size_t i = 0; i < text.size();) {
        const int len = CharLength(begin + i, end);
        if (len == 1) {
            text[i] = AsciiUpper(text[i]);
        }
        i += static_cast<std::size_t>(len);
    }
}

std::string CodePage::LowerAscii(std::string_view text) const {
    std::string out(text);
    ToLowerAscii(out);
    return out;
}

namespace {

// Whether needle matches hay at its start, character by character.
bool MatchNoCaseAt(const CodePage& page, std::string_view hay, std::string_view needle) {
    if (hay.size() < needle.size()) {
        return false;
    }
    const char* h = hay.data();
    const char* hEnd = h + hay.size();
    const char* n = needle.data();
    const char* nEnd = n + needle.size();
    while (n < nEnd) {
        const int hl = page.CharLength(h, hEnd);
        const int nl = page.CharLength(n, nEnd);
        if (hl != nl) {
            return false;
        }
        if (nl == 1) {
            if (AsciiLower(*h) != AsciiLower(*n)) {
                return false;
            }
        } else if (std::memcmp(h, n, static_cast<std::size_t>(nl)) != 0) {
            return false;
        }
        h += hl;
        n += nl;
    }
    return true;
}

}  // namespace

bool CodePage::EqualNoCase(std::string_view a, std::string_view b) const {
    return a.size() == b.size() && MatchNoCaseAt(*this, a, b);
}

std::size_t CodePage::FindNoCase(std::string_view hay, std::string_view needle,
                                 std::size_t from) const {
    if (from > hay.size()) {
        return std::string_view::npos;
    }
    const char* begin = hay.data();
    const char* end = begin + hay.size();
    // Walk character starts from the beginning so trail bytes never match.
    std::size_t i = 0;
    while (i < from) {
        i += static_cast<std::size_t>(CharLength(begin + i, end));
    }
    for (; i + needle.size() <= hay.size();
         i += static_cast<std::size_t>(CharLength(begin + i, end))) {
        if (MatchNoCaseAt(*this, hay.substr(i), needle)) {
            return i;
        }
        if (i == hay.size()) {
            break;
        }
    }
    return std::string_view::npos;
}

// ---- names --------------------------------------------------------------------

const char* CodePage::MimeCharsetName() const {
    switch (id_) {
        case kShiftJis:
            return "Shift_JIS";
        case kUtf8:
            return "UTF-8";
        case 874:
            return "windows-874";
        case 1250:
            return "windows-1250";
        case 1251:
            return "windows-1251";
        case 1253:
            return "windows-1253";
        case 1254:
            return "windows-1254";
        case 1255:
            return "windows-1255";
        case 1256:
            return "windows-1256";
        case 1257:
            return "windows-1257";
        case 1258:
            return "windows-1258";
        default:
            return "windows-1252";
    }
}

const char* CodePage::TransferCharsetName() const {
    return IsDbcs() ? "ISO-2022-JP" : MimeCharsetName();
}

const char* CodePage::IconvName() const {
    switch (id_) {
        case kShiftJis:
            return "CP932";
        case kUtf8:
            return "UTF-8";
        case 874:
            return "CP874";
        case 1250:
            return "CP1250";
        case 1251:
            return "CP1251";
        case 1253:
            return "CP1253";
        case 1254:
            return "CP1254";
        case 1255:
            return "CP1255";
        case 1256:
            return "CP1256";
        case 1257:
            return "CP1257";
        case 1258:
            return "CP1258";
        default:
            return "CP1252";
    }
}

}  // namespace corvina
