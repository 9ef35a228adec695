#pragma once
// The undo history of one document: change records in the order they were
// made, a position (records after it are the redo part) and a 64 KiB limit
// on the bytes they hold. Records of one step are chained by their
// continued flag, so undo and redo walk a whole step at once.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

// A place in the text: line index and byte offset in that line.
struct TextPlace {
    std::size_t line = 0;
    std::size_t offset = 0;
    auto operator<=>(const TextPlace&) const = default;
};

enum class UndoKind : std::uint16_t {
    kTyped = 1,        // bytes typed at the caret
    kOverwrite = 2,    // bytes typed over others (the replaced ones kept)
    kText = 3,         // text inserted (paste, drop, ...)
    kLineAtEnd = 4,    // an empty line appended to the text (box paste)
    kLine = 5,         // a whole line inserted ("PopLine", line copies)
    kCaseChange = 51,  // bytes changed in place (the old ones kept)
    kBoxChange = 52,   // whole lines replaced by others (box edits, reflow)
    kDeleteAtCaret = 101,
    kDeleteSelection = 102,
    kDeleteLine = 103,
    kDeleteBeforeCaret = 104,
};

struct UndoRecord {
    UndoKind kind = UndoKind::kTyped;
    bool continued = false;      // the next record belongs to the same step
    TextPlace before;            // caret before the change
    TextPlace after;             // caret after it
    TextPlace at;                // where the change starts
    TextPlace end;               // where the inserted or new text ends
    std::string bytes;           // inserted, deleted or replaced bytes
    std::string replacement;     // the new bytes of 2, 51 and 52
    std::uint8_t lineFlags = 0;  // of the whole line of 5 and 103
    // Line flags of the lines that 52 replaced, and of the new lines.
    std::vector<std::uint8_t> oldFlags, newFlags;

    bool IsInsertion() const { return static_cast<int>(kind) < 50; }
};

class UndoHistory {
public:
    static constexpr std::size_t kLimit = 64 * 1024;

    // Steps nest; only the outermost one counts. Prefer UndoStep.
    void BeginStep();
    void EndStep();

    // Adds a record to the open step, copying the bytes. Returns the
    // record so that the caller can note where the change ended, or null
    // when recording is suspended or the record could not be allocated
    // (the history is then cleared and the step goes on unrecorded).
    UndoRecord* Record(UndoKind kind, TextPlace before, TextPlace at, std::string_view bytes,
                       std::string_view replacement = {});

    // While replaying, nothing is recorded.
    class Suspension {
    public:
        explicit Suspension(UndoHistory& history) : history_(history) { ++history_.suspended_; }
        ~Suspension() { --history_.suspended_; }
        Suspension(const Suspension&) = delete;
        Suspension& operator=(const Suspension&) = delete;

    private:
        UndoHistory& history_;
    };
    bool Suspended() const { return suspended_ > 0; }

    // The records of the step to undo, newest first, or of the step to
    // redo, oldest first; the position moves over them. Empty when there
    // is nothing to undo or redo.
    std::vector<UndoRecord> TakeUndoStep();
    std::vector<UndoRecord> TakeRedoStep();
    // The last record done (for "Repeat"), or null.
    const UndoRecord* LastDone() const;

    std::size_t UndoCount() const;  // steps that can be undone
    std::size_t RedoCount() const;
    std::size_t TotalBytes() const { return totalBytes_; }
    void Clear();

    // True once after a record could not be allocated.
    bool TakeRecordFailure();
    // Test seam: a record holding more bytes than this fails as if memory
    // had run out.
    void SetAllocationLimit(std::size_t bytes) { allocationLimit_ = bytes; }

private:
    static std::size_t SizeOf(const UndoRecord& r) { return r.bytes.size() + r.replacement.size(); }
    void DropRedoPart();
    void ApplyLimit();
    void DropOldestStep();

    std::deque<UndoRecord> records_;
    std::size_t position_ = 0;    // records before it are done
    std::size_t totalBytes_ = 0;  // of all records
    int depth_ = 0;
    std::size_t stepStart_ = 0;  // first record of the open step
    std::size_t stepBytes_ = 0;
    bool stepBroken_ = false;
    bool recordFailed_ = false;
    int suspended_ = 0;
    std::size_t allocationLimit_ = std::numeric_limits<std::size_t>::max();
};

// One undo step for the lifetime of the object: whatever path the editing
// command takes out, the step is closed.
class UndoStep {
public:
    explicit UndoStep(UndoHistory& history) : history_(history) { history_.BeginStep(); }
    ~UndoStep() { history_.EndStep(); }
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

private:
    UndoHistory& history_;
};

}  // namespace corvina
