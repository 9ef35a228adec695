#include "common/CodePage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "common/Bytes.h"
#include "common/UnicodeTables.h"

namespace corvina {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// ---- UTF-8 ----------------------------------------------------------------

// Length of the well-formed UTF-8 sequence at p (1-4), 0 when invalid.
int Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = p[0];
    if (c < 0x80) {
        return 1;
    }
    int len;
    unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) {
            lo = 0xA0;
        } else if (c == 0xED) {
            hi = 0x9F;  // no surrogates
        }
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) {
            lo = 0x90;
        } else if (c == 0xF4) {
            hi = 0x8F;
        }
    } else {
        return 0;
    }
    if (end - p < len) {
        return 0;
    }
    if (p[1] < lo || p[1] > hi) {
        return 0;
    }
    for (int i = 2; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return len;
}

char32_t Utf8Decode(const unsigned char* p, int len) {
    switch (len) {
        case 1:
            return p[0];
        case 2:
            return (char32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F);
        case 3:
            return (char32_t(p[0] & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        default:
            return (char32_t(p[0] & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                   (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    }
}

void Utf8Append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Valid UTF-8 kept, every invalid byte replaced by "?".
std::string SanitizeUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const int len = Utf8SequenceLength(p, end);
        if (len == 0) {
            out += '?';
            ++p;
        } else {
            out.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(len));
            p += len;
        }
    }
    return out;
}

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
            it = descriptors_.emplace(key, iconv_open(to.c_str(), from.c_str())).first;
        }
        if (it->second != reinterpret_cast<iconv_t>(-1)) {
            iconv(it->second, nullptr, nullptr, nullptr, nullptr);  // initial state
        }
        return it->second;
    }

private:
    std::unordered_map<std::string, iconv_t> descriptors_;
};

IconvCache& Cache() {
    thread_local IconvCache cache;
    return cache;
}

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

// Runs one iconv pass over in. On a sequence that cannot be converted,
// onError(out) appends a replacement and the input skips skipOnError bytes.
template <typename OnError>
void RunIconv(iconv_t cd, std::string_view in, std::size_t skipOnError, std::string& out,
              OnError onError) {
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    std::size_t used = out.size();
    out.resize(used + in.size() * 2 + 16);
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        used = static_cast<std::size_t>(outPtr - out.data());
        if (rc != static_cast<std::size_t>(-1)) {
            break;
        }
        if (err == E2BIG) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        // EILSEQ: invalid or unconvertible; EINVAL: cut short at the end.
        out.resize(used);
        onError(out);
        used = out.size();
        out.resize(used + inLeft * 2 + 16);
        const std::size_t skip =
            err == EINVAL ? inLeft : (skipOnError < inLeft ? skipOnError : inLeft);
        inPtr += skip;
        inLeft -= skip;
    }
    // The final shift back to the initial state (ISO-2022-JP and the like).
    for (;;) {
        char* outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t rc = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        used = static_cast<std::size_t>(outPtr - out.data());
        if (rc != static_cast<std::size_t>(-1) || errno != E2BIG) {
            break;
        }
        out.resize(out.size() * 2 + 16);
    }
    out.resize(used);
}

// from -> UTF-32LE -> to, so that invalid input and characters the target
// cannot hold each become exactly one "?". False when a name is unknown.
bool ConvertViaUtf32(const std::string& from, const std::string& to, std::string_view in,
                     std::string& out) {
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

}  // namespace

// ---- code page objects ------------------------------------------------------

// Unicode of every byte of a single-byte page, and of every double-byte
// character of 932, built once from iconv.
struct CodePage::SingleByteTables {
    char32_t decode[256] = {};
    // 932: index (lead - 0x81 or lead - 0xE0 + 31) * 256 + trail.
    std::unique_ptr<char16_t[]> dbcs;
    std::unordered_map<char32_t, unsigned char> encode;  // single-byte pages
};

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
        return kReplacement;
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
                tables_->decode[b] = kReplacement;
            }
        }
        tables_->dbcs = std::make_unique<char16_t[]>(60 * 256);
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0) {
                continue;
            }
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                char32_t cp = kReplacement;
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
            char32_t cp = cd != kNoIconv ? DecodeOne(cd, &byte, 1) : kReplacement;
            if (cd == kNoIconv && id_ == 1252) {
                cp = b < 0xA0 ? k1252High[b - 0x80] : static_cast<char32_t>(b);
            }
            // Bytes the page leaves undefined keep their value as a C1
            // control, as Windows does, so they survive a round trip.
            if (cp == kReplacement && b < 0xA0) {
                cp = static_cast<char32_t>(b);
            }
            tables_->decode[b] = cp;
        }
        for (int b = 0xFF; b >= 0; --b) {
            if (tables_->decode[b] != kReplacement) {
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
        const int len = Utf8SequenceLength(u, reinterpret_cast<const unsigned char*>(end));
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
        return kReplacement;
    }
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    if (IsUtf8()) {
        if (u[0] < 0x80) {
            return u[0];
        }
        if (Utf8SequenceLength(u, reinterpret_cast<const unsigned char*>(end)) == 0) {
            return kReplacement;
        }
        return Utf8Decode(u, len);
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
    if (cp == kReplacement && len == 1) {
        return 1;
    }
    if (unicode::IsZeroWidth(cp)) {
        return 0;
    }
    return unicode::IsWide(cp) ? 2 : 1;
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
    if (cp == kReplacement) {
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
    if (cp == kReplacement && IsDbcs() && CharLength(p, end) == 2) {
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
        out = from == "UTF-8" ? SanitizeUtf8(bytes) : std::string(bytes);
        return true;
    }
    return ConvertViaUtf32(from, to, bytes, out);
}

// ---- conversions of W --------------------------------------------------------

std::string CodePage::ToUtf8(std::string_view bytes) const {
    if (IsUtf8()) {
        return SanitizeUtf8(bytes);
    }
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
        int len = 0;
        const char32_t cp = Decode(p, end, &len);
        if (cp == kReplacement) {
            out += '?';
        } else {
            Utf8Append(out, cp);
        }
        p += len;
    }
    return out;
}

std::string CodePage::FromUtf8(std::string_view utf8) const {
    if (IsUtf8()) {
        return SanitizeUtf8(utf8);
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
        const int len = Utf8SequenceLength(p, end);
        if (len == 0) {
            out += '?';
            ++p;
            continue;
        }
        const char32_t cp = Utf8Decode(p, len);
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

std::string CodePage::FromCharset(std::string_view charset, std::string_view bytes) const {
    const std::string from = IconvCharsetName(charset);
    if (from.empty() || from == "ASCII" || from == IconvName()) {
        return std::string(bytes);
    }
    if (from == "UTF-8") {
        return FromUtf8(bytes);
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
