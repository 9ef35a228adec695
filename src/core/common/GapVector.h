#pragma once
// A vector with a movable gap: inserting or erasing near the last place
// changed costs only the move of the gap, so an editor that works line by
// line in one region of a 100,000-line body never shifts the whole array.
// Elements must be trivially copyable (they are moved with memmove).

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace corvina {

template <typename T>
class GapVector {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    GapVector() = default;
    GapVector(const GapVector&) = delete;
    GapVector& operator=(const GapVector&) = delete;
    GapVector(GapVector&& other) noexcept { Swap(other); }
    GapVector& operator=(GapVector&& other) noexcept {
        if (this != &other) {
            Free();
            Swap(other);
        }
        return *this;
    }
    ~GapVector() { Free(); }

    std::size_t size() const { return capacity_ - gapLength_; }
    bool empty() const { return size() == 0; }

    T& operator[](std::size_t i) { return data_[i < gapStart_ ? i : i + gapLength_]; }
    const T& operator[](std::size_t i) const { return data_[i < gapStart_ ? i : i + gapLength_]; }

    // False (and nothing changed) when memory runs out.
    bool Insert(std::size_t index, const T& value) {
        if (gapLength_ == 0 && !Grow()) {
            return false;
        }
        MoveGap(index);
        data_[gapStart_++] = value;
        --gapLength_;
        return true;
    }
    bool PushBack(const T& value) { return Insert(size(), value); }

    void Erase(std::size_t index) {
        MoveGap(index);
        ++gapLength_;
    }

    void Clear() {
        gapStart_ = 0;
        gapLength_ = capacity_;
    }

    bool Reserve(std::size_t count) {
        if (count <= capacity_) {
            return true;
        }
        return Reallocate(count);
    }

    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        const_iterator() = default;
        const_iterator(const GapVector* v, std::size_t i) : v_(v), i_(i) {}
        reference operator*() const { return (*v_)[i_]; }
        pointer operator->() const { return &(*v_)[i_]; }
        reference operator[](difference_type n) const { return (*v_)[i_ + n]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        const_iterator operator++(int) {
            auto t = *this;
            ++i_;
            return t;
        }
        const_iterator& operator--() {
            --i_;
            return *this;
        }
        const_iterator operator--(int) {
            auto t = *this;
            --i_;
            return t;
        }
        const_iterator& operator+=(difference_type n) {
            i_ += n;
            return *this;
        }
        const_iterator& operator-=(difference_type n) {
            i_ -= n;
            return *this;
        }
        friend const_iterator operator+(const_iterator a, difference_type n) { return a += n; }
        friend const_iterator operator+(difference_type n, const_iterator a) { return a += n; }
        friend const_iterator operator-(const_iterator a, difference_type n) { return a -= n; }
        friend difference_type operator-(const_iterator a, const_iterator b) {
            return static_cast<difference_type>(a.i_) - static_cast<difference_type>(b.i_);
        }
        friend bool operator==(const_iterator a, const_iterator b) { return a.i_ == b.i_; }
        friend auto operator<=>(const_iterator a, const_iterator b) { return a.i_ <=> b.i_; }

    private:
        const GapVector* v_ = nullptr;
        std::size_t i_ = 0;
    };

    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    void MoveGap(std::size_t index) {
        if (index < gapStart_) {
            std::size_t n = gapStart_ - index;
            std::memmove(data_ + index + gapLength_, data_ + index, n * sizeof(T));
        } else if (index > gapStart_) {
            std::size_t n = index - gapStart_;
            std::memmove(data_ + gapStart_, data_ + gapStart_ + gapLength_, n * sizeof(T));
        }
        gapStart_ = index;
    }

    bool Grow() { return Reallocate(std::max<std::size_t>(16, capacity_ + capacity_ / 2)); }

    bool Reallocate(std::size_t newCapacity) {
        MoveGap(size());  // the gap at the end: the elements are contiguous
        T* fresh = static_cast<T*>(std::realloc(data_, newCapacity * sizeof(T)));
        if (fresh == nullptr) {
            return false;
        }
        data_ = fresh;
        gapLength_ += newCapacity - capacity_;
        capacity_ = newCapacity;
        return true;
    }

    void Free() {
        std::free(data_);
        data_ = nullptr;
        capacity_ = gapStart_ = gapLength_ = 0;
    }

    void Swap(GapVector& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(capacity_, other.capacity_);
        std::swap(gapStart_, other.gapStart_);
        std::swap(gapLength_, other.gapLength_);
    }

    T* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t gapStart_ = 0;
    std::size_t gapLength_ = 0;
};

}  // namespace corvina
