#pragma once
// The deleted-line ring: the last 128 lines that "DeleteLine" removed, for
// the whole process, so that "PopLine" can put them back anywhere, newest
// first. The ring owns the pool storage of the lines it holds.

#include <array>
#include <cstddef>
#include <optional>

#include "message/MailMessage.h"

namespace corvina {

class DeletedLineRing {
public:
    static constexpr std::size_t kSlots = 128;

    static DeletedLineRing& Shared();

    // Takes ownership of `line`; a full slot frees the oldest line in it.
    void Push(const MessageLine& line);
    // The newest line (the caller owns it again), or nothing when its slot
    // is empty.
    std::optional<MessageLine> Pop();
    std::size_t Count() const;
    void Clear();

    DeletedLineRing() = default;
    ~DeletedLineRing();
    DeletedLineRing(const DeletedLineRing&) = delete;
    DeletedLineRing& operator=(const DeletedLineRing&) = delete;

private:
    std::array<std::optional<MessageLine>, kSlots> slots_{};
    std::size_t next_ = 0;  // the slot the next push fills
};

}  // namespace corvina
