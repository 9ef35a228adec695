#pragma once
// One message of a folder: the header summary the message list needs, the
// status, the message's place in its mailbox file, and (only while needed)
// its other header lines and its body lines.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/GapVector.h"

namespace corvina {

class MailFolder;

// A body line holds at most this many bytes, its final LF included, so that
// its length fits 16 bits; a longer line is split into several.
inline constexpr std::size_t kMaxLineBytes = 65535;

// Bits of MessageLine::lineFlags.
enum LineFlag : std::uint8_t {
    kLineMarked = 0x01,     // bookmarked in the editor
    kLineChanged = 0x02,    // changed since the text was loaded
    kLineMessage = 0x04,    // the message layer's own mark, kept by the editor
    kLineContinued = 0x08,  // ended by the automatic line split; the next line
                            // continues the same paragraph
};

// One body line: its text always ends with LF (never CR LF in memory). The
// bytes live in a block of the shared line pool and belong to the
// `BodyLines` list that holds the line (or, for a line taken out of a list
// with BodyLines::Detach, to whoever holds it).
class MessageLine {
public:
    std::string_view Text() const { return {text_, length_}; }
    // Without the final LF.
    std::string_view Content() const { return {text_, length_ - 1u}; }
    std::uint16_t Length() const { return length_; }

    std::uint8_t flags = 0;      // not used by the editor
    std::uint8_t lineFlags = 0;  // LineFlag bits
    // Display rows of the line at the editor's current wrap width; 0 = not
    // counted yet.
    std::uint16_t rowCount = 0;

private:
    friend class BodyLines;
    const char* text_ = nullptr;
    std::uint16_t length_ = 0;
};

// The pool that body lines are carved from: fixed-size blocks shared by all
// messages (and threads). A block goes back to the free list when the last
// line in it is released, so loading and releasing bodies does not fragment
// the heap.
class LinePool {
public:
    static constexpr std::size_t kBlockSize = 64 * 1024;

    static LinePool& Shared();

    // Room for `size` bytes (1 to kBlockSize).
    char* Allocate(std::size_t size);
    void Release(const char* text);

    // Blocks currently holding at least one line, and blocks kept free.
    std::size_t BlocksInUse() const;
    std::size_t BlocksFree() const;

    LinePool();
    ~LinePool();
    LinePool(const LinePool&) = delete;
    LinePool& operator=(const LinePool&) = delete;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The body line list of a message; owns its lines' pool storage. Lines
// sit in a gap vector, so an editor inserting and removing lines in one
// region of a long body moves only the gap.
class BodyLines {
public:
    BodyLines() = default;
    BodyLines(const BodyLines& other);
    BodyLines& operator=(const BodyLines& other);
    BodyLines(BodyLines&& other) noexcept;
    BodyLines& operator=(BodyLines&& other) noexcept;
    ~BodyLines();

    // Appends one line given without its end (a trailing LF or CR LF is
    // dropped). Embedded line ends start further lines, and text longer
    // than a line can hold is split; returns the number of lines added.
    std::size_t Append(std::string_view content);
    void Clear();

    std::size_t size() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }
    const MessageLine& operator[](std::size_t i) const { return lines_[i]; }
    using const_iterator = GapVector<MessageLine>::const_iterator;
    const_iterator begin() const { return lines_.begin(); }
    const_iterator end() const { return lines_.end(); }

    // All lines concatenated, each ending with LF.
    std::string Joined() const;

    // Editing, line by line. `text` is a whole line with its final LF (1 to
    // kMaxLineBytes bytes, no other LF). Each returns false and changes
    // nothing when the text is not such a line or the pool has no room.
    MessageLine& Line(std::size_t i) { return lines_[i]; }
    // A new line with all flags 0 before line `index` (size() appends).
    bool InsertLine(std::size_t index, std::string_view text);
    // New text for a line; its flags stay, its row count is reset.
    bool SetText(std::size_t index, std::string_view text);
    // Takes a line out of the list; the caller then owns its storage and
    // gives it back with AttachLine or frees it with ReleaseLine.
    MessageLine DetachLine(std::size_t index);
    bool AttachLine(std::size_t index, const MessageLine& line);
    static void ReleaseLine(MessageLine& line);

private:
    static bool IsLineText(std::string_view text);

    GapVector<MessageLine> lines_;
};

// A file extracted from a message and linked to it (a stored attachment link).
struct AttachmentEntry {
    std::filesystem::path path;
    std::string type = "text";
    std::string subtype = "plain";
    std::string encoding = "7bit";
};

// A message's identity for as long as the program runs: given when the
// message is made, never reused, and new for a copy. Together with the
// folder's name it lets another thread or a window refer to a message
// without holding a pointer into the store.
class MessageKey {
public:
    MessageKey();
    MessageKey(const MessageKey&);
    MessageKey(MessageKey&&) noexcept = default;
    // An assigned message keeps its own identity.
    MessageKey& operator=(const MessageKey&) { return *this; }
    MessageKey& operator=(MessageKey&&) noexcept { return *this; }

    std::uint64_t Value() const { return value_; }

private:
    std::uint64_t value_;
};

// A stored message as seen from outside the store: the folder's name (as
// the folder tree spells it, levels separated by a backslash) and the
// message's key.
struct MessageRef {
    std::string folder;
    std::uint64_t key = 0;

    bool operator==(const MessageRef&) const = default;
};

class MailMessage {
public:
    // A new, empty message: strings empty, offset -1, priority 3, encoding
    // = DefaultEncoding(), content "text/plain", "7bit".
    MailMessage();
    explicit MailMessage(int encodingNumber);

    // The "DefEncode" setting; the application sets it when it loads its
    // settings (0 until then).
    static int DefaultEncoding();
    static void SetDefaultEncoding(int encodingNumber);

    MessageKey key;
    int bodyLineCount = 0;     // also the size column of the list
    int otherHeaderCount = 0;  // lines in the other-header list
    int encoding = 0;          // 0 = own transfer encodings, 1 = uuencode, 2 = BinHex
    int priority = 3;          // X-Priority 1..5
    bool decoded = false;      // X-Marlo-Decorded
    bool replied = false;      // X-Marlo-Reply
    // The body is a text rendering of an HTML part (kept as an attachment),
    // not text the sender wrote; the viewer says so.
    bool renderedFromHtml = false;
    bool bodyLoaded = false;   // bodyLines holds the body
    MailFolder* owner = nullptr;
    bool read = false;

    std::string subject, from, to, date, cc, replyTo, bcc;
    std::string resentFrom, resentTo, resentCc, resentReplyTo, resentBcc, resentDate;
    bool hasResent = false;
    std::string parentReference;  // the Message-ID this one answers
    std::string messageId;

    bool dirty = false;        // the next SaveFolder must write it
    std::int64_t offset = -1;  // of the first header line in the .mbx; -1 = not in the file
    std::string status;

    // Every other header line, verbatim, in arrival order. A message loaded
    // from a mailbox keeps these in its file, not in memory
    // (otherHeadersLoaded false) until LoadOtherHeaders or LoadMessageBody
    // reads them; a new message holds them from the start.
    std::vector<std::string> otherHeaders;
    bool otherHeadersLoaded = true;

    std::string contentType = "text";
    std::string contentSubtype = "plain";
    std::string transferEncoding = "7bit";
    std::string boundary;

    std::vector<AttachmentEntry> attachments;
    BodyLines bodyLines;

    // Appends a body line (see BodyLines::Append) and counts it.
    void AddBodyLine(std::string_view content);
    // Appends a header line to the other-header list and counts it.
    void AddOtherHeader(std::string_view line);
    // Sets the status letters and the read flag from a status text.
    void SetStatus(std::string_view statusText);
};

}  // namespace corvina
