#pragma once
// Texts copied for later: the paste history (the last 32 copies or cuts,
// for the "Clipboard History" dialog) and the box buffer (the lines of the
// last box copy or cut). Both live for the whole process.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class PasteHistory {
public:
    static constexpr std::size_t kSlots = 32;

    static PasteHistory& Shared();

    // Fills the slot at the index (freeing what was there) and advances
    // the index.
    void Add(std::string_view text);
    // "FlushBuf": steps the index back and frees that slot; nothing
    // changes when the slot is empty.
    void FlushNewest();
    // The entries, newest first.
    std::vector<std::string> Entries() const;
    void Clear();

private:
    std::array<std::string, kSlots> slots_;
    std::array<bool, kSlots> used_{};
    std::size_t next_ = 0;
};

// Lines of the last box copy or cut, in the working code page, without
// line ends.
class BoxBuffer {
public:
    static BoxBuffer& Shared();

    std::vector<std::string> lines;
};

}  // namespace corvina
