#pragma once
// The working code page W: how the bytes of core text are read as
// characters, measured in columns, classified for word movement, folded
// for case, and converted to and from other character sets.
//
// Supported W: 932 (Shift_JIS, Japanese), 65001 (UTF-8) and the single-byte
// Windows code pages 874 and 1250-1258. Objects are immutable and shared:
// get one with CodePage::Get(id) or CodePage::Working().

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace corvina {

// Word class of a character: the editor's word movement and double-click
// selection stop where the class changes.
enum class CharClass {
    Space,    // blank, tab, NBSP, ideographic space
    Control,  // other C0/C1 controls and DEL
    Word,     // letters, digits, '_' (any script written with spaces)
    Punct,    // ASCII and Latin punctuation and symbols
    Hiragana,
    Katakana,    // full- and half-width katakana and the prolonged sound mark
    Ideograph,   // kanji / CJK ideographs
    WideSymbol,  // full-width punctuation, emoji and other wide symbols
};

class CodePage {
public:
    static constexpr int kShiftJis = 932;
    static constexpr int kUtf8 = 65001;
    static constexpr int kWestern = 1252;

    // True for 932, 65001, 874 and 1250-1258.
    static bool IsSupported(int id);

    // The shared object of a supported code page; an unsupported id gives
    // the 1252 object. The reference stays valid for the program's life.
    static const CodePage& Get(int id);

    // Process-wide working code page. SetWorking(0) (or an unsupported id)
    // selects SystemCodePage(). Set it at start-up before other threads run.
    static const CodePage& Working();
    static void SetWorking(int id);

    // From the locale codeset of LC_CTYPE as the environment sets it (the
    // program's own locale is not changed): UTF-8 -> 65001, Japanese
    // Shift_JIS or EUC-JP -> 932, anything else -> 1252.
    static int SystemCodePage();

    int Id() const { return id_; }
    bool IsDbcs() const { return id_ == kShiftJis; }
    bool IsUtf8() const { return id_ == kUtf8; }
    bool IsSingleByte() const { return !IsDbcs() && !IsUtf8(); }

    // 932: 0x81-0x9F, 0xE0-0xFC. 65001: a byte that starts a multi-byte
    // sequence (0xC2-0xF4). Single-byte pages: never.
    bool IsLeadByte(unsigned char c) const;
    // 932: 0x40-0x7E, 0x80-0xFC. 65001: 0x80-0xBF. Single-byte: never.
    bool IsTrailByte(unsigned char c) const;

    // Length in bytes of the character at p, never reaching past end:
    // 932 gives 1 or 2, 65001 gives 1 to 4 (well-formed sequences only),
    // single-byte pages 1. A byte that starts no valid character counts 1.
    // Returns 0 only when p >= end.
    int CharLength(const char* p, const char* end) const;
    int CharLength(std::string_view text, std::size_t pos) const;

    // Start of the character before pos (pos itself a character start),
    // found by scanning from the start of text; 0 when pos is 0.
    std::size_t PrevCharStart(std::string_view text, std::size_t pos) const;

    // Unicode scalar value of the character at p; U+FFFD when the bytes
    // are no valid character. *length (if given) receives CharLength().
    char32_t Decode(const char* p, const char* end, int* length = nullptr) const;

    // Display columns of the character at p: 2 for wide characters (932
    // double-byte characters; in UTF-8 East Asian Wide/Full-width
    // characters and emoji), 0 for combining marks and zero-width
    // characters in UTF-8 (they draw onto the previous character), 1 for
    // everything else (half-width katakana included).
    int Columns(const char* p, const char* end) const;
    // Sum of Columns() over text.
    int TextColumns(std::string_view text) const;

    CharClass ClassOf(const char* p, const char* end) const;

    // ASCII case folding that steps over multi-byte characters, so a trail
    // byte in 0x40-0x7E is never changed.
    void ToLowerAscii(std::string& text) const;
    void ToUpperAscii(std::string& text) const;
    std::string LowerAscii(std::string_view text) const;
    // Case-insensitive (ASCII letters only) comparison character by
    // character; a trail byte matches only itself.
    bool EqualNoCase(std::string_view a, std::string_view b) const;
    // Position of needle in hay from `from` on, matched at character
    // starts only; std::string_view::npos when absent.
    std::size_t FindNoCase(std::string_view hay, std::string_view needle,
                           std::size_t from = 0) const;

    // MIME name of W's own bytes: "Shift_JIS", "UTF-8", "windows-1252"...
    const char* MimeCharsetName() const;
    // The charset outgoing text of W is labelled with on the wire:
    // "ISO-2022-JP" for 932 (callers convert with the message layer's JIS
    // code), MimeCharsetName() otherwise.
    const char* TransferCharsetName() const;
    // The name iconv knows W by ("CP932", "UTF-8", "CP1252"...).
    const char* IconvName() const;

    // Whether a MIME charset label names W itself (aliases and case
    // ignored), so that text in it needs no conversion.
    bool IsCharsetOfW(std::string_view charset) const;

    // W <-> UTF-8 for the windows. Unconvertible or invalid characters
    // become "?".
    std::string ToUtf8(std::string_view bytes) const;
    std::string FromUtf8(std::string_view utf8) const;

    // Text in a MIME charset into W. An unknown charset leaves the bytes
    // unchanged; an empty charset or US-ASCII also keeps them (8-bit bytes
    // included); characters W cannot hold and invalid input become "?".
    std::string FromCharset(std::string_view charset, std::string_view bytes) const;
    // W into a MIME charset, for the outgoing side. Unknown charset: bytes
    // unchanged; characters the charset cannot hold become "?".
    std::string ToCharset(std::string_view charset, std::string_view bytes) const;

    // The iconv name of a MIME charset label, or "" when unknown. Handles
    // case and common aliases ("x-sjis", "shift-jis", "cp932", "latin1",
    // "utf8", "ascii"...).
    static std::string IconvCharsetName(std::string_view charset);
    // Converts between any two charsets known to IconvCharsetName();
    // false when either is unknown. Unconvertible characters become "?".
    static bool Convert(std::string_view fromCharset, std::string_view toCharset,
                        std::string_view bytes, std::string& out);

    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

private:
    explicit CodePage(int id);
    struct SingleByteTables;

    int id_;
    std::unique_ptr<SingleByteTables> tables_;  // single-byte pages only
};

}  // namespace corvina
