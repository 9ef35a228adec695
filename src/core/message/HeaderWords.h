#pragma once
// RFC 2047 encoded words in header lines.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;

// Working limits of an encoded word; longer parts are cut at the limit.
inline constexpr std::size_t kEncodedWordCharsetMax = 40;
inline constexpr std::size_t kEncodedWordEncodingMax = 10;
inline constexpr std::size_t kEncodedWordTextMax = 65535;
// The header work buffers: a decoded or encoded line never grows past this.
inline constexpr std::size_t kHeaderWorkBufferMax = 65536;

// Replaces every encoded word "=?charset?enc?text?=" of one header line by
// its decoded text in the code page `cp`. "B" words are base64, "Q" words
// decode only "=XX" (an underscore stays an underscore), other letters copy
// the text. On 932 an ISO-2022-JP word goes through JisToSjis and UTF-8 or
// EUC-JP words are converted to Shift_JIS; on any other code page every
// word's charset is converted into `cp`. Text between words is kept.
// nullopt for a malformed word (missing "?" or "?=").
std::optional<std::string> DecodeHeaderWords(std::string_view line, const CodePage& cp);
std::optional<std::string> DecodeHeaderWords(std::string_view line);  // working code page

// The value of an address field as stored: its encoded words decoded, and
// every display name or group name whose decoded text needs quotes (a
// comma, a quote, brackets...) written as QuoteDisplayName does, so that
// the stored list still splits into the addresses the sender wrote. A name
// that needs no quotes, and every address without encoded words, comes out
// as DecodeHeaderWords gives it. An address with a malformed word is kept
// as it was.
std::string DecodeAddressList(std::string_view list, const CodePage& cp);

// One received header line as stored: the value of an address field (see
// IsAddressField) through DecodeAddressList, any other line through
// DecodeHeaderWords; nullopt as that fails.
std::optional<std::string> DecodeHeaderLine(std::string_view line, const CodePage& cp);

// Turns the non-ASCII text of one header line into encoded words.
// On 932: the line goes through SjisToJis and every ESC $ B ... ESC ( B run
// becomes one "=?ISO-2022-JP?B?...?=" word. Elsewhere: every run of
// blank-separated words holding a byte >= 0x80 becomes one "B" word in the
// MIME charset of `cp`, never splitting a character; ASCII words, the blanks
// between words and an address in angle brackets stay as they are.
// nullopt on failure (an unclosed two-byte run).
std::optional<std::string> EncodeHeaderWords(std::string_view line, const CodePage& cp);
std::optional<std::string> EncodeHeaderWords(std::string_view line);  // working code page

// Longest encoded word written, "=?" to "?=" (RFC 2047).
inline constexpr std::size_t kEncodedWordMax = 75;

// The whole text as "B" encoded words: ISO-2022-JP on 932, the MIME charset
// of `cp` elsewhere. With `split`, a text too long for one word is cut on
// character boundaries into words of at most kEncodedWordMax characters,
// parted by one blank, which readers drop within a quoted parameter;
// without it the text is one word of any length. Empty text gives "".
std::string EncodeWholeText(std::string_view text, const CodePage& cp, bool split);

// A display name as it goes before "<address>" on the wire: a name with a
// byte >= 0x80 becomes one encoded word standing for the whole phrase
// (never inside double quotes); any other name is quoted as
// QuoteDisplayName does.
std::string EncodePhrase(std::string_view name, const CodePage& cp);

// The value of an address field for the wire: every address whose display
// name holds a byte >= 0x80 is written "phrase <address>" with EncodePhrase
// (also from the "address (name)" form); every other address, and the
// separators between addresses, stay exactly as written.
std::string EncodeAddressList(std::string_view list, const CodePage& cp);

// True for the fields whose value is an address list: From, To, Cc, Bcc,
// Reply-To, Sender, their Resent- forms and the receipt and follow-up
// address fields. `name` is the text before the colon, any case.
bool IsAddressField(std::string_view name);

// One header line for the wire: the value of an address field through
// EncodeAddressList, of any other field through EncodeHeaderWords (nullopt
// as it fails); the field name stays as it is.
std::optional<std::string> EncodeHeaderLine(std::string_view line, const CodePage& cp);

}  // namespace corvina
