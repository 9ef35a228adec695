#include "message/HeaderWords.h"

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/Address.h"
#include "message/Base64.h"
#include "message/JapaneseCode.h"

namespace corvina {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<unsigned char>(x + 32);
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<unsigned char>(y + 32);
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// "Q" words: only "=" with two hex digits is decoded.
std::string DecodeQ(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size()) {
            int hi = HexDigitValue(text[i + 1]);
            int lo = HexDigitValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        // RFC 2047: "_" in a Q word stands for a blank.
        out += text[i] == '_' ? ' ' : text[i];
    }
    return out;
}

bool IsLinearWhiteSpace(std::string_view gap) {
    return gap.find_first_not_of(" \t") == std::string_view::npos;
}

std::string CharsetToWorking(std::string_view charset, std::string bytes, const CodePage& cp) {
    if (IsJapaneseSystem(cp)) {
        if (EqualsNoCase(charset, "ISO-2022-JP")) {
            return JisToSjis(bytes);
        }
        std::string iconvName = CodePage::IconvCharsetName(charset);
        if (iconvName == "UTF-8" || iconvName == "EUC-JP" || iconvName == "EUC-JP-MS") {
            return cp.FromCharset(charset, bytes);
        }
        return bytes;
    }
    if (charset.empty() || cp.IsCharsetOfW(charset)) {
        return bytes;
    }
    return cp.FromCharset(charset, bytes);
}

void AppendCapped(std::string& out, std::string_view text) {
    if (out.size() < kHeaderWorkBufferMax) {
        out.append(text.substr(0, kHeaderWorkBufferMax - out.size()));
    }
}

bool Is8Bit(std::string_view word) {
    for (unsigned char c : word) {
        if (c >= 0x80) {
            return true;
        }
    }
    return false;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrailingBlanks(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(end);
}

// The line cut so that its encoded form stays within the work buffer: base64
// grows text by a third, the word's frame adds a little.
std::string_view CutForEncoding(std::string_view line, const CodePage& cp) {
    constexpr std::size_t kMaxInput = kHeaderWorkBufferMax / 4 * 3 - 1024;
    if (line.size() <= kMaxInput) {
        return line;
    }
    std::size_t cut = 0;
    while (cut < line.size()) {
        int len = cp.CharLength(line, cut);
        if (cut + static_cast<std::size_t>(len) > kMaxInput) {
            break;
        }
        cut += static_cast<std::size_t>(len);
    }
    return line.substr(0, cut);
}

std::optional<std::string> EncodeJapanese(std::string_view line) {
    std::string jis = SjisToJis(line, true);
    std::string out;
    std::size_t i = 0;
    while (i < jis.size()) {
        std::size_t esc = jis.find('\x1B', i);
        if (esc == std::string::npos) {
            out.append(jis, i, std::string::npos);
            break;
        }
        out.append(jis, i, esc - i);
        std::size_t close = jis.find('\x1B', esc + 1);
        if (close == std::string::npos || close + 3 > jis.size()) {
            return std::nullopt;
        }
        // Runs parted only by blanks go into one word: a receiver drops the
        // blanks between two encoded words.
        for (;;) {
            std::size_t next = jis.find_first_not_of(" \t", close + 3);
            if (next == std::string::npos || next == close + 3 || jis[next] != '\x1B') {
                break;
            }
            std::size_t nextClose = jis.find('\x1B', next + 1);
            if (nextClose == std::string::npos || nextClose + 3 > jis.size()) {
                return std::nullopt;
            }
            close = nextClose;
        }
        out += "=?ISO-2022-JP?B?";
        out += Base64EncodeText(std::string_view(jis).substr(esc, close + 3 - esc));
        out += "?=";
        i = close + 3;
    }
    return out;
}

std::string EncodeOther(std::string_view line, const CodePage& cp) {
    const std::string prefix = std::string("=?") + cp.MimeCharsetName() + "?B?";
    std::string out;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        if (IsBlank(line[i])) {
            out += line[i++];
            continue;
        }
        std::size_t wordEnd = i;
        while (wordEnd < n && !IsBlank(line[wordEnd])) {
            ++wordEnd;
        }
        std::string_view word = line.substr(i, wordEnd - i);
        if (!Is8Bit(word) || word.front() == '<') {
            out += word;
            i = wordEnd;
            continue;
        }
        // Extend the run over the following 8-bit words and their blanks; a
        // list separator or a comment ends it.
        auto endsRun = [](std::string_view w) {
            char last = w.back();
            return last == ',' || last == ';' || last == ')';
        };
        std::size_t runEnd = wordEnd;
        std::size_t scan = wordEnd;
        while (scan < n && !endsRun(line.substr(i, runEnd - i))) {
            std::size_t next = scan;
            while (next < n && IsBlank(line[next])) {
                ++next;
            }
            std::size_t end = next;
            while (end < n && !IsBlank(line[end])) {
                ++end;
            }
            std::string_view w = line.substr(next, end - next);
            if (w.empty() || !Is8Bit(w) || w.front() == '<' || w.front() == '(') {
                break;
            }
            runEnd = end;
            scan = end;
        }
        // Comment parentheses and list punctuation around the run stay
        // outside the word (all below 0x40, never part of a multibyte
        // character); quotes go inside, so the name decodes as it was.
        std::size_t a = i, b = runEnd;
        while (a < b && line[a] == '(') {
            ++a;
        }
        while (b > a && (line[b - 1] == ')' || line[b - 1] == ',' || line[b - 1] == ';' ||
                         line[b - 1] == ':')) {
            --b;
        }
        out.append(line.substr(i, a - i));
        out += prefix;
        out += Base64EncodeText(line.substr(a, b - a));
        out += "?=";
        out.append(line.substr(b, runEnd - b));
        i = runEnd;
    }
    return out;
}

bool HasEncodedWord(std::string_view text) {
    return text.find("=?") != std::string_view::npos;
}

// Where a group's name ends: the first ':' outside double quotes before
// any '<', '(' or '@' of an address; npos when the text is no group.
std::size_t GroupColon(std::string_view text, const CodePage& cp) {
    bool quoted = false;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (cp.IsDbcs() && cp.IsLeadByte(c) && i + 1 < text.size()) {
            i += 2;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '\\' && i + 1 < text.size()) {
            // The escaped character is never a quote or a colon.
            const unsigned char next = static_cast<unsigned char>(text[i + 1]);
            i += cp.IsDbcs() && cp.IsLeadByte(next) ? 3 : 2;
            continue;
        } else if (!quoted && (c == '<' || c == '(' || c == '@')) {
            return std::string_view::npos;
        } else if (!quoted && c == ':') {
            return i;
        }
        ++i;
    }
    return std::string_view::npos;
}

// A name (its quotes already undone) decoded as it is stored: quoted when
// it needs quotes, otherwise nullopt (the decoded text stays as written).
std::optional<std::string> QuotedDecodedName(std::string_view rawName, const CodePage& cp) {
    std::optional<std::string> name = DecodeHeaderWords(rawName, cp);
    if (!name) {
        return std::nullopt;
    }
    std::string quoted = QuoteDisplayName(*name, cp);
    if (quoted == *name) {
        return std::nullopt;
    }
    return quoted;
}

std::string DecodeOrKeep(std::string_view text, const CodePage& cp) {
    std::optional<std::string> decoded = DecodeHeaderWords(text, cp);
    return decoded ? std::move(*decoded) : std::string(text);
}

// One address of a list (with its leading blanks and anything after it).
std::string DecodeAddress(std::string_view token, const CodePage& cp) {
    if (!HasEncodedWord(token)) {
        return std::string(token);
    }
    std::string out;
    const std::size_t colon = GroupColon(token, cp);
    if (colon != std::string_view::npos) {
        std::string_view group = token.substr(0, colon);
        std::optional<std::string> quoted = QuotedDecodedName(UnquotePhrase(group, cp), cp);
        if (quoted) {
            out.append(group.substr(0, group.find_first_not_of(" \t")));
            out += *quoted;
        } else {
            out += DecodeOrKeep(group, cp);
        }
        out += ':';
        token.remove_prefix(colon + 1);
        if (!HasEncodedWord(token)) {
            out.append(token);
            return out;
        }
    }
    const std::string_view lead = token.substr(0, token.find_first_not_of(" \t"));
    const NameAddress split = SplitNameAddress(token, cp);
    const std::size_t open = token.find('<');
    const std::size_t close = token.rfind('>');
    std::optional<std::string> quoted;
    std::string_view tail;
    if (open != std::string_view::npos) {
        // "phrase <address>": the phrase is everything before the address.
        quoted = QuotedDecodedName(split.name, cp);
        tail = close == std::string_view::npos || close < open ? std::string_view()
                                                               : token.substr(close + 1);
    } else if (token.find('(') != std::string_view::npos && !split.address.empty()) {
        // "address (name)": a comment that decodes to a bracket or a quote
        // would end early, so such a name moves before the address.
        std::optional<std::string> name = DecodeHeaderWords(split.name, cp);
        if (name && name->find_first_of("()\"\\") != std::string::npos) {
            quoted = QuoteDisplayName(*name, cp);
            std::size_t end = token.find(')', token.find('('));
            tail = end == std::string_view::npos ? std::string_view() : token.substr(end + 1);
        }
    }
    if (!quoted || split.address.empty()) {
        out += DecodeOrKeep(token, cp);
        return out;
    }
    out.append(lead);
    out += *quoted;
    out += " <";
    out += split.address;
    out += '>';
    out += DecodeOrKeep(tail, cp);
    return out;
}

}  // namespace

std::optional<std::string> DecodeHeaderWords(std::string_view line, const CodePage& cp) {
    std::string out;
    out.reserve(line.size());
    std::size_t i = 0;
    const std::size_t n = line.size();
    bool afterWord = false;
    while (i < n) {
        std::size_t start = line.find("=?", i);
        if (start == std::string_view::npos) {
            AppendCapped(out, line.substr(i));
            break;
        }
        // Blanks between two encoded words separate nothing (RFC 2047):
        // senders split long texts into several words, often mid-sentence.
        std::string_view gap = line.substr(i, start - i);
        if (!(afterWord && IsLinearWhiteSpace(gap))) {
            AppendCapped(out, gap);
        }
        std::size_t q1 = line.find('?', start + 2);
        if (q1 == std::string_view::npos) {
            return std::nullopt;
        }
        std::size_t q2 = line.find('?', q1 + 1);
        if (q2 == std::string_view::npos) {
            return std::nullopt;
        }
        std::size_t q3 = line.find('?', q2 + 1);
        if (q3 == std::string_view::npos || q3 + 1 >= n || line[q3 + 1] != '=') {
            return std::nullopt;
        }
        std::string_view charset =
            line.substr(start + 2, std::min(q1 - start - 2, kEncodedWordCharsetMax));
        std::string_view encoding =
            line.substr(q1 + 1, std::min(q2 - q1 - 1, kEncodedWordEncodingMax));
        std::string_view text = line.substr(q2 + 1, std::min(q3 - q2 - 1, kEncodedWordTextMax));
        std::string bytes;
        if (EqualsNoCase(encoding, "B")) {
            auto decoded = Base64DecodeText(text);
            if (!decoded) {
                return std::nullopt;
            }
            bytes = std::move(*decoded);
        } else if (EqualsNoCase(encoding, "Q")) {
            bytes = DecodeQ(text);
        } else {
            bytes = std::string(text);
        }
        AppendCapped(out, CharsetToWorking(charset, std::move(bytes), cp));
        i = q3 + 2;
        afterWord = true;
    }
    return out;
}

std::optional<std::string> DecodeHeaderWords(std::string_view line) {
    return DecodeHeaderWords(line, CodePage::Working());
}

std::optional<std::string> EncodeHeaderWords(std::string_view line, const CodePage& cp) {
    line = CutForEncoding(line, cp);
    if (IsJapaneseSystem(cp)) {
        return EncodeJapanese(line);
    }
    return EncodeOther(line, cp);
}

std::optional<std::string> EncodeHeaderWords(std::string_view line) {
    return EncodeHeaderWords(line, CodePage::Working());
}

std::string EncodeWholeText(std::string_view text, const CodePage& cp, bool split) {
    const bool jis = IsJapaneseSystem(cp);
    const std::string prefix =
        std::string("=?") + (jis ? "ISO-2022-JP" : cp.MimeCharsetName()) + "?B?";
    // Bytes one word carries: its base64 text fills what the frame leaves.
    const std::size_t room = kEncodedWordMax - prefix.size() - 2;
    const std::size_t maxBytes = room / 4 * 3;
    if (!split) {
        return text.empty()
                   ? std::string()
                   : prefix + Base64EncodeText(jis ? SjisToJis(text, true) : std::string(text)) +
                         "?=";
    }
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        // Whole characters while they fit; a word holds at least one. On
        // 932 each word is a complete JIS run ending in one-byte mode.
        std::string bytes;
        std::size_t end = start;
        while (end < text.size()) {
            std::size_t next = end + static_cast<std::size_t>(cp.CharLength(text, end));
            std::string_view piece = text.substr(start, next - start);
            std::string candidate = jis ? SjisToJis(piece, true) : std::string(piece);
            if (candidate.size() > maxBytes && end > start) {
                break;
            }
            bytes = std::move(candidate);
            end = next;
        }
        if (!out.empty()) {
            out += ' ';
        }
        out += prefix;
        out += Base64EncodeText(bytes);
        out += "?=";
        start = end;
    }
    return out;
}

std::string EncodePhrase(std::string_view name, const CodePage& cp) {
    // One word: readers differ over the blank between two encoded words of
    // a phrase (some keep it), so a name split in words might not read back
    // as it was written.
    if (Is8Bit(name)) {
        return EncodeWholeText(name, cp, false);
    }
    return QuoteDisplayName(name, cp);
}

std::string EncodeAddressList(std::string_view list, const CodePage& cp) {
    std::string out;
    std::size_t copied = 0;
    AddressTokenizer tokens(list, cp);
    while (std::optional<AddressTokenizer::Range> range = tokens.NextRange()) {
        std::string_view token = list.substr(range->start, range->length);
        NameAddress split = SplitNameAddress(token, cp);
        if (!Is8Bit(split.name) || split.address.empty()) {
            continue;
        }
        // The token keeps its leading blanks and whatever follows its
        // closing ">" (a trailing comment, blanks).
        std::size_t lead = token.find_first_not_of(" \t");
        std::size_t close = token.rfind('>');
        std::string_view tail =
            close == std::string_view::npos || token.find('<') == std::string_view::npos
                ? TrailingBlanks(token)
                : token.substr(close + 1);
        out.append(list.substr(copied, range->start - copied));
        out.append(token.substr(0, lead == std::string_view::npos ? 0 : lead));
        out += EncodePhrase(split.name, cp);
        out += " <";
        out += split.address;
        out += '>';
        out.append(tail);
        copied = range->start + range->length;
    }
    out.append(list.substr(copied));
    return out;
}

std::string DecodeAddressList(std::string_view list, const CodePage& cp) {
    if (!HasEncodedWord(list)) {
        return std::string(list);
    }
    std::string out;
    std::size_t copied = 0;
    AddressTokenizer tokens(list, cp);
    while (std::optional<AddressTokenizer::Range> range = tokens.NextRange()) {
        // Between two addresses: separators and perhaps a comment.
        out += DecodeOrKeep(list.substr(copied, range->start - copied), cp);
        out += DecodeAddress(list.substr(range->start, range->length), cp);
        copied = range->start + range->length;
    }
    out += DecodeOrKeep(list.substr(copied), cp);
    return out;
}

std::optional<std::string> DecodeHeaderLine(std::string_view line, const CodePage& cp) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsAddressField(line.substr(0, colon))) {
        return DecodeHeaderWords(line, cp);
    }
    return std::string(line.substr(0, colon + 1)) + DecodeAddressList(line.substr(colon + 1), cp);
}

bool IsAddressField(std::string_view name) {
    static constexpr std::string_view kFields[] = {"From",
                                                   "To",
                                                   "Cc",
                                                   "Bcc",
                                                   "Reply-To",
                                                   "Sender",
                                                   "Return-Receipt-To",
                                                   "Disposition-Notification-To",
                                                   "Errors-To",
                                                   "Mail-Followup-To",
                                                   "Mail-Reply-To"};
    name = TrimRight(name);
    if (StartsWithNoCase(name, "Resent-")) {
        name.remove_prefix(7);
    }
    for (std::string_view field : kFields) {
        if (EqualNoCase(name, field)) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> EncodeHeaderLine(std::string_view line, const CodePage& cp) {
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return EncodeHeaderWords(line, cp);
    }
    // Only the value is encoded: a field written without a blank after its
    // colon keeps its name.
    std::string name(line.substr(0, colon + 1));
    if (IsAddressField(line.substr(0, colon))) {
        return name + EncodeAddressList(line.substr(colon + 1), cp);
    }
    std::optional<std::string> value = EncodeHeaderWords(line.substr(colon + 1), cp);
    if (!value) {
        return std::nullopt;
    }
    return name + *value;
}

}  // namespace corvina
