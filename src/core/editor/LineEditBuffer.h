#pragma once
// The line edit buffer: one for the whole process, since only the focused
// editor edits at a time. The open line's bytes before the caret (head)
// sit at the buffer's start, the bytes from the caret to the LF (tail) at
// its end, and typing fills the gap between them. The line goes back into
// its node only when it is committed.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace corvina {

class LineEditBuffer {
public:
    static constexpr std::size_t kSize = 65536;

    // Whoever holds the open line; asked to commit it before another
    // editor opens a line of its own.
    class Owner {
    public:
        virtual void CommitOpenLine() = 0;

    protected:
        ~Owner() = default;
    };

    static LineEditBuffer& Shared();

    // Loads `line` (whole, with its LF) with the caret at byte `caret`.
    // A previous owner first commits its line. False when the line does
    // not fit (it never happens for a body line).
    bool Open(Owner& owner, std::string_view line, std::size_t caret);
    // Forgets the open line (after its owner committed it).
    void Close(const Owner& owner);
    bool IsOpenFor(const Owner& owner) const { return owner_ == &owner; }

    std::string_view Head() const { return {bytes_.data(), headLength_}; }
    std::string_view Tail() const { return {bytes_.data() + kSize - tailLength_, tailLength_}; }
    std::size_t Length() const { return headLength_ + tailLength_; }
    std::size_t Gap() const { return kSize - headLength_ - tailLength_; }
    // Head and tail together: the line as it now stands.
    std::string Line() const;

    // Moves the caret to byte `caret` of the line by moving bytes across
    // the gap.
    void MoveCaret(std::size_t caret);
    // Appends to the head; false (and nothing changed) when the gap is too
    // small.
    bool Insert(std::string_view bytes);
    // Removes bytes after / before the caret (the LF is never removed).
    void EraseAfter(std::size_t count);
    void EraseBefore(std::size_t count);
    // Puts `bytes` in front of the tail's LF: the next line of a join.
    bool AppendBeforeLineEnd(std::string_view bytes);

private:
    Owner* owner_ = nullptr;
    std::size_t headLength_ = 0;
    std::size_t tailLength_ = 0;
    std::array<char, kSize> bytes_{};
};

}  // namespace corvina
