#include "store/ThreadOrder.h"

#include <string>
#include <unordered_map>

#include "common/Bytes.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view SkipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    return text.substr(i);
}

// The display sequence as a doubly linked list over file indexes, with the
// indexes the procedure needs so that no step scans the whole sequence:
// - the first message (in display order) of each Message-ID;
// - blocks: maximal runs of adjacent messages with the same non-empty parent
//   reference, each knowing its last member (a reply goes after the run of
//   its parent's direct replies, which is such a block);
// - in subject mode, the end of the first run of each base subject.
class ThreadBuilder {
public:
    explicit ThreadBuilder(const std::vector<std::unique_ptr<MailMessage>>& messages)
        : messages_(messages),
          n_(static_cast<int>(messages.size())),
          next_(n_, -1),
          prev_(n_, -1),
          depth_(n_, 0),
          blockOf_(n_, -1) {
        firstWithId_.reserve(messages.size());
    }

    std::vector<ThreadEntry> Build() {
        bool referenceMode = false;
        for (int m = 0; m < n_; ++m) {
            const std::string& ref = messages_[m]->parentReference;
            if (!ref.empty()) {
                referenceMode = true;
                PlaceReply(m, ref);
            } else if (referenceMode) {
                InsertAfter(tail_, m, 0);
            } else {
                PlaceBySubject(m);
            }
            RegisterId(m);
        }
        std::vector<ThreadEntry> order;
        order.reserve(messages_.size());
        for (int e = head_; e >= 0; e = next_[e]) {
            order.push_back({e, depth_[e]});
        }
        return order;
    }

private:
    struct Block {
        int last;
        int size;
    };

    const std::string& Ref(int e) const { return messages_[e]->parentReference; }

    void PlaceReply(int m, const std::string& ref) {
        auto found = firstWithId_.find(ref);
        if (found == firstWithId_.end()) {
            InsertAfter(tail_, m, 0);
            return;
        }
        const int parent = found->second;
        int after = parent;
        const int following = next_[parent];
        if (following >= 0 && Ref(following) == ref) {
            after = blocks_[blockOf_[following]].last;
        }
        InsertAfter(after, m, depth_[parent] + 1);
    }

    void PlaceBySubject(int m) {
        bool reply = false;
        const std::string_view base = BaseSubject(messages_[m]->subject, &reply);
        auto found = firstRunEnd_.find(base);
        if (reply && found != firstRunEnd_.end()) {
            InsertAfter(found->second, m, 1);
            found->second = m;
            return;
        }
        const int oldTail = tail_;
        InsertAfter(tail_, m, 0);
        if (found == firstRunEnd_.end()) {
            firstRunEnd_.emplace(base, m);
        } else if (found->second == oldTail) {
            found->second = m;  // appended right after the first run: it grows
        }
    }

    void RegisterId(int m) {
        const std::string& id = messages_[m]->messageId;
        if (id.empty()) {
            return;
        }
        auto [it, inserted] = firstWithId_.emplace(id, m);
        if (!inserted && Before(m, it->second)) {
            it->second = m;
        }
    }

    // Whether a comes before b, walking forward from both at once: a
    // duplicate is normally placed close to the earlier copy or at the end.
    bool Before(int a, int b) const {
        int fromA = a, fromB = b;
        while (true) {
            fromA = next_[fromA];
            if (fromA == b)
                return true;
            if (fromA < 0)
                return false;
            fromB = next_[fromB];
            if (fromB == a)
                return false;
            if (fromB < 0)
                return true;
        }
    }

    void InsertAfter(int y, int d, int depth) {
        depth_[d] = depth;
        const int z = y >= 0 ? next_[y] : head_;
        prev_[d] = y;
        next_[d] = z;
        if (y >= 0) {
            next_[y] = d;
        } else {
            head_ = d;
        }
        if (z >= 0) {
            prev_[z] = d;
        } else {
            tail_ = d;
        }
        UpdateBlocks(y, d, z);
    }

    void UpdateBlocks(int y, int d, int z) {
        const int by = y >= 0 ? blockOf_[y] : -1;
        const int bz = z >= 0 ? blockOf_[z] : -1;
        const std::string& ref = Ref(d);
        if (by >= 0 && by == bz) {
            if (ref == Ref(y)) {
                Join(by, d, false);
                return;
            }
            Split(by, y, z);
        } else if (!ref.empty() && by >= 0 && Ref(y) == ref) {
            Join(by, d, true);
            return;
        } else if (!ref.empty() && bz >= 0 && Ref(z) == ref) {
            Join(bz, d, false);
            return;
        }
        if (!ref.empty()) {
            blockOf_[d] = static_cast<int>(blocks_.size());
            blocks_.push_back({d, 1});
        }
    }

    void Join(int block, int d, bool asLast) {
        blockOf_[d] = block;
        ++blocks_[block].size;
        if (asLast) {
            blocks_[block].last = d;
        }
    }

    // Block b is cut between y and z. The shorter side gets a new block
    // number, found by walking both sides in step, so cutting costs the
    // smaller part only.
    void Split(int b, int y, int z) {
        int left = y, right = z;
        const int fresh = static_cast<int>(blocks_.size());
        while (true) {
            const int pl = prev_[left];
            if (pl < 0 || blockOf_[pl] != b) {
                int count = 0;
                for (int e = y; e >= 0 && blockOf_[e] == b; e = prev_[e]) {
                    blockOf_[e] = fresh;
                    ++count;
                }
                blocks_.push_back({y, count});
                blocks_[b].size -= count;
                return;
            }
            left = pl;
            const int nr = next_[right];
            if (nr < 0 || blockOf_[nr] != b) {
                int count = 0;
                for (int e = z; e >= 0 && blockOf_[e] == b; e = next_[e]) {
                    blockOf_[e] = fresh;
                    ++count;
                }
                blocks_.push_back({blocks_[b].last, count});
                blocks_[b].last = y;
                blocks_[b].size -= count;
                return;
            }
            right = nr;
        }
    }

    const std::vector<std::unique_ptr<MailMessage>>& messages_;
    int n_;
    int head_ = -1;
    int tail_ = -1;
    std::vector<int> next_, prev_, depth_, blockOf_;
    std::vector<Block> blocks_;
    std::unordered_map<std::string_view, int> firstWithId_;
    std::unordered_map<std::string_view, int> firstRunEnd_;
};

}  // namespace

std::string_view StripListTag(std::string_view subject) {
    if (!subject.empty() && subject.front() == ' ') {
        subject.remove_prefix(1);
    }
    if (!subject.empty() && subject.front() == '[') {
        const std::size_t close = subject.find(']');
        if (close != std::string_view::npos) {
            subject = SkipBlanks(subject.substr(close + 1));
        }
    }
    return subject;
}

std::string_view BaseSubject(std::string_view subject, bool* isReply) {
    std::string_view text = StripListTag(subject);
    bool reply = false;
    while (text.size() >= 2 && AsciiLower(text[0]) == 'r' && AsciiLower(text[1]) == 'e') {
        std::size_t i = 2;
        while (i < text.size() && text[i] != ':' && !IsAsciiAlpha(text[i])) {
            ++i;
        }
        if (i >= text.size() || text[i] != ':') {
            break;
        }
        text = SkipBlanks(text.substr(i + 1));
        reply = true;
    }
    if (isReply != nullptr) {
        *isReply = reply;
    }
    return text;
}

bool IsReplySubject(std::string_view subject) {
    bool reply = false;
    BaseSubject(subject, &reply);
    return reply;
}

std::vector<ThreadEntry> NewestFirstOrder(int count) {
    std::vector<ThreadEntry> order;
    order.reserve(count > 0 ? count : 0);
    for (int i = count - 1; i >= 0; --i) {
        order.push_back({i, 0});
    }
    return order;
}

std::vector<ThreadEntry> ThreadedOrder(const std::vector<std::unique_ptr<MailMessage>>& messages) {
    return ThreadBuilder(messages).Build();
}

}  // namespace corvina
