#include "message/MailMessage.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace corvina {

// ---------------------------------------------------------------- LinePool

namespace {

// Free blocks kept for reuse before they go back to the heap.
constexpr std::size_t kKeptFreeBlocks = 16;

}  // namespace

struct LinePool::State {
    struct Block {
        std::size_t used = 0;  // bytes carved so far
        std::size_t live = 0;  // lines still holding bytes in it
    };
    std::mutex mutex;
    std::unordered_map<const char*, Block> blocks;  // by base address
    std::vector<char*> freeBlocks;
    char* current = nullptr;

    static const char* BaseOf(const char* p) {
        return reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(p) &
                                             ~static_cast<std::uintptr_t>(kBlockSize - 1));
    }

    char* NewBlock() {
        char* block;
        if (!freeBlocks.empty()) {
            block = freeBlocks.back();
            freeBlocks.pop_back();
        } else {
            block = static_cast<char*>(std::aligned_alloc(kBlockSize, kBlockSize));
            if (block == nullptr) {
                return nullptr;
            }
        }
        blocks[block] = Block{};
        return block;
    }

    void Retire(char* block) {
        blocks.erase(block);
        if (freeBlocks.size() < kKeptFreeBlocks) {
            freeBlocks.push_back(block);
        } else {
            std::free(block);
        }
    }
};

LinePool::LinePool() : state_(std::make_unique<State>()) {}

LinePool::~LinePool() {
    for (auto& [base, block] : state_->blocks) {
        std::free(const_cast<char*>(base));
    }
    for (char* block : state_->freeBlocks) {
        std::free(block);
    }
}

LinePool& LinePool::Shared() {
    // Never destroyed: lines may be released by static objects at exit.
    static LinePool* pool = new LinePool;
    return *pool;
}

char* LinePool::Allocate(std::size_t size) {
    if (size == 0 || size > kBlockSize) {
        return nullptr;
    }
    std::lock_guard lock(state_->mutex);
    State::Block* block = nullptr;
    if (state_->current != nullptr) {
        block = &state_->blocks[state_->current];
        if (block->used + size > kBlockSize) {
            char* full = state_->current;
            state_->current = nullptr;
            if (block->live == 0) {
                state_->Retire(full);
            }
            block = nullptr;
        }
    }
    if (block == nullptr) {
        state_->current = state_->NewBlock();
        if (state_->current == nullptr) {
            return nullptr;
        }
        block = &state_->blocks[state_->current];
    }
    char* p = state_->current + block->used;
    block->used += size;
    block->live++;
    return p;
}

void LinePool::Release(const char* text) {
    if (text == nullptr) {
        return;
    }
    std::lock_guard lock(state_->mutex);
    const char* base = State::BaseOf(text);
    auto it = state_->blocks.find(base);
    if (it == state_->blocks.end()) {
        return;
    }
    if (--it->second.live == 0) {
        if (base == state_->current) {
            it->second.used = 0;  // reuse the current block from its start
        } else {
            state_->Retire(const_cast<char*>(base));
        }
    }
}

std::size_t LinePool::BlocksInUse() const {
    std::lock_guard lock(state_->mutex);
    std::size_t n = 0;
    for (const auto& [base, block] : state_->blocks) {
        n += block.live > 0 ? 1 : 0;
    }
    return n;
}

std::size_t LinePool::BlocksFree() const {
    std::lock_guard lock(state_->mutex);
    return state_->freeBlocks.size();
}

// --------------------------------------------------------------- BodyLines

BodyLines::BodyLines(const BodyLines& other) {
    *this = other;
}

BodyLines& BodyLines::operator=(const BodyLines& other) {
    if (this == &other) {
        return *this;
    }
    Clear();
    lines_.Reserve(other.size());
    for (const MessageLine& line : other) {
        char* copy = LinePool::Shared().Allocate(line.length_);
        if (copy == nullptr) {
            break;
        }
        std::memcpy(copy, line.text_, line.length_);
        MessageLine added = line;
        added.text_ = copy;
        lines_.PushBack(added);
    }
    return *this;
}

BodyLines::BodyLines(BodyLines&& other) noexcept : lines_(std::move(other.lines_)) {}

BodyLines& BodyLines::operator=(BodyLines&& other) noexcept {
    if (this != &other) {
        Clear();
        lines_ = std::move(other.lines_);
    }
    return *this;
}

BodyLines::~BodyLines() {
    Clear();
}

void BodyLines::Clear() {
    LinePool& pool = LinePool::Shared();
    for (const MessageLine& line : *this) {
        pool.Release(line.text_);
    }
    lines_.Clear();
}

bool BodyLines::IsLineText(std::string_view text) {
    return !text.empty() && text.size() <= kMaxLineBytes && text.back() == '\n' &&
           std::memchr(text.data(), '\n', text.size() - 1) == nullptr;
}

bool BodyLines::InsertLine(std::size_t index, std::string_view text) {
    if (index > size() || !IsLineText(text)) {
        return false;
    }
    char* p = LinePool::Shared().Allocate(text.size());
    if (p == nullptr) {
        return false;
    }
    std::memcpy(p, text.data(), text.size());
    MessageLine line;
    line.text_ = p;
    line.length_ = static_cast<std::uint16_t>(text.size());
    if (!lines_.Insert(index, line)) {
        LinePool::Shared().Release(p);
        return false;
    }
    return true;
}

bool BodyLines::SetText(std::size_t index, std::string_view text) {
    if (index >= size() || !IsLineText(text)) {
        return false;
    }
    char* p = LinePool::Shared().Allocate(text.size());
    if (p == nullptr) {
        return false;
    }
    std::memcpy(p, text.data(), text.size());
    MessageLine& line = lines_[index];
    LinePool::Shared().Release(line.text_);
    line.text_ = p;
    line.length_ = static_cast<std::uint16_t>(text.size());
    line.rowCount = 0;
    return true;
}

MessageLine BodyLines::DetachLine(std::size_t index) {
    MessageLine line = lines_[index];
    lines_.Erase(index);
    return line;
}

bool BodyLines::AttachLine(std::size_t index, const MessageLine& line) {
    return index <= size() && line.text_ != nullptr && lines_.Insert(index, line);
}

void BodyLines::ReleaseLine(MessageLine& line) {
    LinePool::Shared().Release(line.text_);
    line.text_ = nullptr;
    line.length_ = 0;
}

namespace {

// The first CR or LF, as find_first_of("\r\n") but with memchr: this is the
// inner loop of decoding every received body.
std::size_t FindLineEnd(std::string_view s) {
    const char* base = s.data();
    const void* lf = std::memchr(base, '\n', s.size());
    const std::size_t limit = lf ? static_cast<const char*>(lf) - base : s.size();
    if (const void* cr = std::memchr(base, '\r', limit)) {
        return static_cast<const char*>(cr) - base;
    }
    return lf ? limit : std::string_view::npos;
}

}  // namespace

std::size_t BodyLines::Append(std::string_view content) {
    // The caller's own line end is not part of the line.
    if (!content.empty() && content.back() == '\n') {
        content.remove_suffix(1);
    }
    if (!content.empty() && content.back() == '\r') {
        content.remove_suffix(1);
    }
    std::size_t added = 0;
    LinePool& pool = LinePool::Shared();
    for (;;) {
        // One line: up to the next CR or LF; CR LF counts as one end.
        std::size_t end = FindLineEnd(content);
        std::string_view text = content.substr(0, end);
        do {
            std::string_view piece = text.substr(0, kMaxLineBytes - 1);
            text.remove_prefix(piece.size());
            char* p = pool.Allocate(piece.size() + 1);
            if (p == nullptr) {
                return added;
            }
            std::memcpy(p, piece.data(), piece.size());
            p[piece.size()] = '\n';
            MessageLine line;
            line.text_ = p;
            line.length_ = static_cast<std::uint16_t>(piece.size() + 1);
            if (!lines_.PushBack(line)) {
                pool.Release(p);
                return added;
            }
            ++added;
        } while (!text.empty());
        if (end == std::string_view::npos) {
            break;
        }
        std::size_t next = end + 1;
        if (content[end] == '\r' && next < content.size() && content[next] == '\n') {
            ++next;
        }
        content.remove_prefix(next);
    }
    return added;
}

std::string BodyLines::Joined() const {
    std::size_t total = 0;
    for (const MessageLine& line : *this) {
        total += line.length_;
    }
    std::string out;
    out.reserve(total);
    for (const MessageLine& line : *this) {
        out.append(line.text_, line.length_);
    }
    return out;
}

// ------------------------------------------------------------- MailMessage

namespace {
std::atomic<int> defaultEncoding{0};
}

int MailMessage::DefaultEncoding() {
    return defaultEncoding.load(std::memory_order_relaxed);
}

void MailMessage::SetDefaultEncoding(int encodingNumber) {
    defaultEncoding.store(encodingNumber, std::memory_order_relaxed);
}

namespace {
std::atomic<std::uint64_t> nextMessageKey{1};
}  // namespace

MessageKey::MessageKey() : value_(nextMessageKey.fetch_add(1, std::memory_order_relaxed)) {}

MessageKey::MessageKey(const MessageKey&) : MessageKey() {}

MailMessage::MailMessage() : encoding(DefaultEncoding()) {}

MailMessage::MailMessage(int encodingNumber) : encoding(encodingNumber) {}

void MailMessage::AddBodyLine(std::string_view content) {
    bodyLineCount += static_cast<int>(bodyLines.Append(content));
}

void MailMessage::AddOtherHeader(std::string_view line) {
    otherHeaders.emplace_back(line);
    ++otherHeaderCount;
}

void MailMessage::SetStatus(std::string_view statusText) {
    status.assign(statusText);
    read = status.find('R') != std::string::npos;
}

}  // namespace corvina
