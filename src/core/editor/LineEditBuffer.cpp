#include "editor/LineEditBuffer.h"

#include <algorithm>
#include <cstring>

namespace corvina {

LineEditBuffer& LineEditBuffer::Shared() {
    static LineEditBuffer buffer;
    return buffer;
}

bool LineEditBuffer::Open(Owner& owner, std::string_view line, std::size_t caret) {
    if (owner_ != nullptr && owner_ != &owner) {
        owner_->CommitOpenLine();
    }
    if (line.size() > kSize || caret > line.size()) {
        return false;
    }
    owner_ = &owner;
    headLength_ = caret;
    tailLength_ = line.size() - caret;
    std::memcpy(bytes_.data(), line.data(), headLength_);
    std::memcpy(bytes_.data() + kSize - tailLength_, line.data() + caret, tailLength_);
    return true;
}

void LineEditBuffer::Close(const Owner& owner) {
    if (owner_ == &owner) {
        owner_ = nullptr;
        headLength_ = tailLength_ = 0;
    }
}

std::string LineEditBuffer::Line() const {
    std::string line;
    line.reserve(Length());
    line.append(Head());
    line.append(Tail());
    return line;
}

void LineEditBuffer::MoveCaret(std::size_t caret) {
    caret = std::min(caret, Length());
    if (caret < headLength_) {
        const std::size_t n = headLength_ - caret;
        std::memmove(bytes_.data() + kSize - tailLength_ - n, bytes_.data() + caret, n);
        headLength_ -= n;
        tailLength_ += n;
    } else if (caret > headLength_) {
        const std::size_t n = caret - headLength_;
        std::memmove(bytes_.data() + headLength_, bytes_.data() + kSize - tailLength_, n);
        headLength_ += n;
        tailLength_ -= n;
    }
}

bool LineEditBuffer::Insert(std::string_view bytes) {
    if (bytes.size() > Gap()) {
        return false;
    }
    std::memcpy(bytes_.data() + headLength_, bytes.data(), bytes.size());
    headLength_ += bytes.size();
    return true;
}

void LineEditBuffer::EraseAfter(std::size_t count) {
    count = std::min(count, tailLength_ > 0 ? tailLength_ - 1 : 0);
    tailLength_ -= count;
}

void LineEditBuffer::EraseBefore(std::size_t count) {
    count = std::min(count, headLength_);
    headLength_ -= count;
}

bool LineEditBuffer::AppendBeforeLineEnd(std::string_view bytes) {
    if (bytes.size() > Gap() || tailLength_ == 0) {
        return false;
    }
    // The tail moves down by the new bytes; its LF stays last.
    char* tail = bytes_.data() + kSize - tailLength_;
    std::memmove(tail - bytes.size(), tail, tailLength_ - 1);
    std::memcpy(bytes_.data() + kSize - 1 - bytes.size(), bytes.data(), bytes.size());
    tailLength_ += bytes.size();
    return true;
}

}  // namespace corvina
