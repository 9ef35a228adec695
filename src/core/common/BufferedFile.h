#pragma once
// The line-oriented text file every text file goes through: its own 64 KB
// buffer, CR-LF and lone line ends turned into one newline on reading and
// back into CR-LF on writing, optional tab expansion, an optional mirror
// file that receives every flushed buffer too.
//
// A BufferedFile is a value owned by one function: open, use, close. The
// destructor closes a file that is still open. Not shared between threads.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace corvina {

class BufferedFile {
public:
    static constexpr int kRead = 0;
    static constexpr int kWrite = 1;

    static constexpr int kSeekSet = 0;  // from the start
    static constexpr int kSeekCur = 1;  // from the logical position
    static constexpr int kSeekEnd = 2;  // from the end

    static constexpr std::size_t kBufferData = 65536;
    // Room for one CR-LF pair written after the fullness test.
    static constexpr std::size_t kBufferSize = kBufferData + 2;

    // Result of Write() after a failed flush: never a length.
    static constexpr long kWriteFailed = -1;
    // ReadChar() at the end of the file.
    static constexpr unsigned char kEndChar = 0xFF;

    BufferedFile() = default;
    ~BufferedFile();
    BufferedFile(BufferedFile&& other) noexcept;
    BufferedFile& operator=(BufferedFile&& other) noexcept;
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    // Set before writing; defaults 8, false, 0.
    void SetTabWidth(int width) { tabWidth_ = width > 0 ? width : 8; }
    // true: a written newline is not preceded by CR.
    void SetNoCr(bool noCr) { noCr_ = noCr; }
    // 0: bytes unchanged; 1: tabs outside quotes expanded to spaces.
    void SetTabMode(int mode) { tabMode_ = mode; }

    // Opens for reading (kRead) or writing (kWrite). A writer creates a
    // missing file and starts at offset 0 without cutting; the file is cut
    // at the last written byte on Close(), so an appending writer calls
    // Seek(0, kSeekEnd) first. False when the file cannot be opened or
    // created (or this object is already open).
    bool Open(const std::filesystem::path& name, int mode);

    // The mirror of a writer (set after Open, before writing): every flush
    // also goes there; Close() writes the last buffer to it, cuts it and
    // closes it. A failed mirror write silently drops the mirror. append:
    // start at the mirror's end instead of its start.
    bool OpenMirror(const std::filesystem::path& name, bool append = false);
    bool HasMirror() const { return mirror_ >= 0; }

    // Writer: writes out the buffer, cuts the file at the current position,
    // does the same for the mirror; then closes. Returns false when any of
    // that (or an earlier write) failed. Closing a closed file does nothing
    // else; it returns false only when a failure since Open is pending.
    bool Close();

    bool IsOpen() const { return handle_ >= 0; }
    int Mode() const { return openMode_; }

    // Logical position: reader = bytes handed out so far; writer = bytes
    // written including those still in the buffer. -1 when not open.
    long Tell() const;

    // Moves to a position (origin kSeekSet/kSeekCur/kSeekEnd) and returns
    // it, or -1 when not open or the move fails. A reader drops what it had
    // buffered; a writer writes out its buffer first.
    long Seek(long distance, int origin);

    // Reads one line into buffer (which holds size + 1 bytes) and returns
    // its length including the final newline, NUL-terminated after it; 0
    // when the end had already been reached by an earlier call. Lines are
    // counted: a NUL byte inside is an ordinary byte. CR LF, CR CR LF and a
    // CR at the very end become one newline; a 0x1A as last byte of the
    // file becomes the newline. A line longer than size - 1 bytes comes in
    // pieces of size - 1 bytes plus a newline. The last line of a file
    // always ends in a newline; a file ending in a newline yields one more
    // line of a single newline. size must be at least 2.
    int ReadLine(char* buffer, int size);
    // The same into a std::string (resized to the returned length).
    int ReadLine(std::string& line, int size);

    // Next raw byte; at the end sets the end flag and returns kEndChar.
    unsigned char ReadChar();
    // True once a read from the file returned no bytes.
    bool AtEnd() const { return endFlag_; }

    // Appends one raw byte (no newline translation). False when the flush
    // before it failed.
    bool WriteChar(unsigned char c);

    // Appends length bytes with newline translation and tab expansion and
    // returns length, or kWriteFailed after a failed flush (the handle is
    // then closed and Failed() is true).
    long Write(const char* text, std::size_t length);
    long Write(std::string_view text) { return Write(text.data(), text.size()); }

    // Writer: writes out the buffer (and mirror) and fsyncs the file, so a
    // caller knows the data is on disk before renaming it over another.
    bool Sync();

    // True after any failed read, write, flush, cut or sync of the main
    // file.
    bool Failed() const { return failed_; }
    // errno of the first failure, 0 when none.
    int Error() const { return error_; }

private:
    // Reader: makes at least count unread bytes available when the file
    // has them (moving the unread rest to the buffer's start).
    bool Ensure(std::size_t count);
    bool Flush();
    void Fail(int err);
    void CloseMirror(bool writeRest);
    void Release();

    int handle_ = -1;
    int mirror_ = -1;
    bool endFlag_ = false;
    bool eofSeen_ = false;  // a read returned nothing (bytes may remain)
    std::unique_ptr<char[]> buffer_;
    std::size_t cursor_ = 0;
    std::size_t remaining_ = 0;
    int tabWidth_ = 8;
    bool noCr_ = false;
    int tabMode_ = 0;
    int openMode_ = kRead;
    long filePos_ = 0;  // platform position of handle_
    bool failed_ = false;
    int error_ = 0;
};

}  // namespace corvina
