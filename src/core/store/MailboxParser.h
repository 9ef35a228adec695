#pragma once
// The reading side of the mailbox format, shared by loading the index,
// loading bodies, rewriting and counting: line splitting over a block of
// file bytes and the header block, read through the stored form's codec.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvina {

class MailMessage;

// Splits bytes into lines: LF, CR LF and a lone CR each end a line; a NUL
// is an ordinary byte; a line longer than a MessageLine can hold comes in
// pieces, each but the first marked as such (a piece never ends a message).
class MailboxLineReader {
public:
    MailboxLineReader(const char* begin, const char* end) : p_(begin), end_(end) {}

    // The next line without its end; false at the end of the bytes.
    bool Next(std::string_view& line, bool& piece);
    // First byte of the next line, or -1 at the end.
    int PeekByte() const { return p_ < end_ ? static_cast<unsigned char>(*p_) : -1; }
    const char* Position() const { return p_; }
    bool AtEnd() const { return p_ >= end_; }
    // Whether the next line is the rest of an over-long one.
    bool NextIsPiece() const { return nextIsPiece_ && p_ < end_; }
    const char* End() const { return end_; }
    // Moves to `lineStart`, which must begin a line.
    void SetLineStart(const char* lineStart) {
        p_ = lineStart;
        nextIsPiece_ = false;
    }

private:
    const char* p_;
    const char* end_;
    bool nextIsPiece_ = false;
};

enum class HeaderPass {
    Index,       // fill the summary fields; count (but do not keep) other lines
    OtherLines,  // keep the other header lines only
};

// Reads header lines up to and including the empty line that ends them.
// False when the bytes end first (the message is incomplete).
bool ReadMessageHeader(MailboxLineReader& reader, MailMessage& message,
                       const std::filesystem::path& mailboxDir, HeaderPass pass);

// Skips the header; false when the bytes end first.
bool SkipMessageHeader(MailboxLineReader& reader);

// Body of the index pass: counts lines up to the terminator line ".".
// False when the bytes end first.
bool CountMessageBody(MailboxLineReader& reader, int& lineCount);

// Appends body lines up to the terminator ("..." stored as ".." becomes
// "."), counting them. False when the bytes end first (what was read stays).
bool ReadMessageBody(MailboxLineReader& reader, MailMessage& message);

}  // namespace corvina

namespace corvina {

// Reads what is missing of a message (its other header lines, its body)
// from `file`, the bytes of its mailbox. False when the message's bytes are
// not there (the offset lies outside, or its header does not end).
bool LoadMessagePartsFrom(std::string_view file, MailMessage& message, bool wantHeaders,
                          bool wantBody);

}  // namespace corvina
