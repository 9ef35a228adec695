#include "editor/DeletedLineRing.h"

namespace corvina {

DeletedLineRing& DeletedLineRing::Shared() {
    static DeletedLineRing ring;
    return ring;
}

DeletedLineRing::~DeletedLineRing() {
    Clear();
}

void DeletedLineRing::Push(const MessageLine& line) {
    std::optional<MessageLine>& slot = slots_[next_];
    if (slot) {
        BodyLines::ReleaseLine(*slot);
    }
    slot = line;
    next_ = (next_ + 1) % kSlots;
}

std::optional<MessageLine> DeletedLineRing::Pop() {
    const std::size_t newest = (next_ + kSlots - 1) % kSlots;
    std::optional<MessageLine> line = slots_[newest];
    if (line) {
        slots_[newest].reset();
        next_ = newest;
    }
    return line;
}

std::size_t DeletedLineRing::Count() const {
    std::size_t n = 0;
    for (const auto& slot : slots_) {
        n += slot ? 1 : 0;
    }
    return n;
}

void DeletedLineRing::Clear() {
    for (auto& slot : slots_) {
        if (slot) {
            BodyLines::ReleaseLine(*slot);
            slot.reset();
        }
    }
    next_ = 0;
}

}  // namespace corvina
