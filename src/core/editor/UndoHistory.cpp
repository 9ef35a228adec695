#include "editor/UndoHistory.h"

#include <new>

namespace corvina {

void UndoHistory::BeginStep() {
    if (suspended_ > 0 || depth_++ > 0) {
        return;
    }
    stepStart_ = position_;
    stepBytes_ = 0;
    stepBroken_ = false;
}

void UndoHistory::EndStep() {
    if (suspended_ > 0 || depth_ == 0 || --depth_ > 0) {
        return;
    }
    if (position_ > stepStart_) {
        records_[position_ - 1].continued = false;
    }
    if (stepBytes_ > kLimit) {
        // A step that alone exceeds the limit could never be undone whole.
        Clear();
        return;
    }
    ApplyLimit();
}

UndoRecord* UndoHistory::Record(UndoKind kind, TextPlace before, TextPlace at,
                                std::string_view bytes, std::string_view replacement) {
    if (suspended_ > 0 || stepBroken_) {
        return nullptr;
    }
    if (depth_ == 0) {
        // A record outside any step is a step of its own.
        stepStart_ = position_;
        stepBytes_ = 0;
    }
    DropRedoPart();
    const bool fits = bytes.size() + replacement.size() <= allocationLimit_;
    UndoRecord* added = nullptr;
    if (fits) {
        try {
            UndoRecord record;
            record.kind = kind;
            record.before = before;
            record.at = at;
            record.end = at;
            record.after = at;
            record.bytes.assign(bytes);
            record.replacement.assign(replacement);
            records_.push_back(std::move(record));
            added = &records_.back();
        } catch (const std::bad_alloc&) {
            added = nullptr;
        }
    }
    if (added == nullptr) {
        // Without this record the step could not be undone whole: the
        // history goes, and the rest of the step is not recorded.
        Clear();
        stepBroken_ = depth_ > 0;
        recordFailed_ = true;
        return nullptr;
    }
    if (position_ > stepStart_) {
        records_[position_ - 1].continued = true;
    }
    ++position_;
    totalBytes_ += SizeOf(*added);
    stepBytes_ += SizeOf(*added);
    if (depth_ == 0) {
        ApplyLimit();
        return position_ > 0 ? &records_[position_ - 1] : nullptr;
    }
    return added;
}

void UndoHistory::DropRedoPart() {
    while (records_.size() > position_) {
        totalBytes_ -= SizeOf(records_.back());
        records_.pop_back();
    }
}

void UndoHistory::ApplyLimit() {
    while (totalBytes_ > kLimit && !records_.empty()) {
        DropOldestStep();
    }
}

void UndoHistory::DropOldestStep() {
    bool continued = true;
    while (continued && !records_.empty()) {
        continued = records_.front().continued;
        totalBytes_ -= SizeOf(records_.front());
        records_.pop_front();
        if (position_ > 0) {
            --position_;
        }
        if (stepStart_ > 0) {
            --stepStart_;
        }
    }
}

std::vector<UndoRecord> UndoHistory::TakeUndoStep() {
    std::vector<UndoRecord> step;
    while (position_ > 0) {
        step.push_back(records_[--position_]);
        if (position_ == 0 || !records_[position_ - 1].continued) {
            break;
        }
    }
    return step;
}

std::vector<UndoRecord> UndoHistory::TakeRedoStep() {
    std::vector<UndoRecord> step;
    while (position_ < records_.size()) {
        step.push_back(records_[position_++]);
        if (!step.back().continued) {
            break;
        }
    }
    return step;
}

const UndoRecord* UndoHistory::LastDone() const {
    return position_ > 0 ? &records_[position_ - 1] : nullptr;
}

std::size_t UndoHistory::UndoCount() const {
    std::size_t steps = 0;
    for (std::size_t i = 0; i < position_; ++i) {
        steps += records_[i].continued ? 0 : 1;
    }
    return steps;
}

std::size_t UndoHistory::RedoCount() const {
    std::size_t steps = 0;
    for (std::size_t i = position_; i < records_.size(); ++i) {
        steps += records_[i].continued ? 0 : 1;
    }
    return steps;
}

void UndoHistory::Clear() {
    records_.clear();
    position_ = 0;
    totalBytes_ = 0;
    stepStart_ = 0;
    stepBytes_ = 0;
}

bool UndoHistory::TakeRecordFailure() {
    const bool failed = recordFailed_;
    recordFailed_ = false;
    return failed;
}

}  // namespace corvina
