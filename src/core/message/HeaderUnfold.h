#pragma once
// Joining folded header fields into one line.

#include <cstddef>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;

// Longest joined stored field and longest continuation line read.
inline constexpr std::size_t kUnfoldedFieldMax = 65535;
inline constexpr std::size_t kContinuationMax = 8192;

// The unfolding done while a message is retrieved: fed one received line at
// a time (without its line end), it builds the message text with LF line
// ends. In the header a line beginning with a byte <= 32 continues the
// previous one: its leading bytes <= 32 are dropped and the line break
// becomes one blank, or nothing when the continuation begins with "=?".
// Every header line is decoded (DecodeHeaderWords, then raw ISO-2022-JP into
// the code page) before it is joined; an address field is joined first and
// then decoded whole (DecodeHeaderLine). The first empty line ends the header;
// on 932 each body line goes through JisToSjis, elsewhere it is kept as is
// (text parts are converted by their charset later).
class ReceivedTextUnfolder {
public:
    explicit ReceivedTextUnfolder(const CodePage& cp);
    ReceivedTextUnfolder();  // working code page

    void AddLine(std::string_view line);
    // The text so far, every line ended by LF.
    std::string Finish();
    bool InHeader() const { return inHeader_; }

private:
    void DecodeAddressField();

    const CodePage* cp_;
    std::string text_;
    bool inHeader_ = true;
    bool openLine_ = false;      // a header line waits for its LF
    bool addressField_ = false;  // the open line is an address field, not yet decoded
    std::size_t lineStart_ = 0;
};

// The unfolding done when a stored message is parsed: reads the field that
// begins at `pos` of `text` (lines ended by LF or CR LF) with all its
// continuation lines (beginning with blank or tab), and returns it as one
// line without line end. Each continuation loses its leading blanks and
// tabs, gets one blank before it unless it begins with "=" and is read up to
// kContinuationMax bytes; the field is cut at kUnfoldedFieldMax bytes on a
// character boundary. With `decode`, each line's encoded words are decoded
// (DecodeHeaderWords), except in an address field, which is decoded once it
// is whole (DecodeAddressList) so that a name folded over lines is quoted as
// one. `pos` moves past the field's last line.
std::string UnfoldStoredField(std::string_view text, std::size_t& pos, const CodePage& cp,
                              bool decode = true);
std::string UnfoldStoredField(std::string_view text, std::size_t& pos);

// A message file as the receiver would have it from a server: each line
// dot-stuffed, then unfolded and converted exactly as a retrieved message
// is (on 932 the JIS body lines become Shift_JIS), ended by ".". What a
// message file delivered by hand goes through before it is parsed.
std::string ReceivedForm(std::string_view raw);

}  // namespace corvina
