#pragma once
// A whole file as one read-only block of memory, for scans that need no
// line assembly. An empty file opens successfully as an empty view.
// Opening maps the file without reading it: pages come in as they are
// touched, so a long scan advises sequential reading and releases what it
// has passed, and costs a window of memory instead of the whole file.

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace corvina {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps an existing file read-only; the descriptor is closed at once
    // (the mapping keeps the file). False when it cannot be opened or
    // mapped (or is not a regular file). A second Open closes the first.
    bool Open(const std::filesystem::path& name);
    // Releases the view and zeroes the object.
    void Close();

    bool IsOpen() const { return open_; }
    // Base address; a valid pointer (to an empty string) for an empty file.
    const char* Data() const { return base_; }
    std::size_t Size() const { return size_; }
    std::string_view View() const { return {base_, size_}; }

    // The scan pointer starts at the base.
    const char* Cursor() const { return scan_; }
    std::size_t Offset() const { return static_cast<std::size_t>(scan_ - base_); }
    void SetOffset(std::size_t offset) { scan_ = base_ + (offset < size_ ? offset : size_); }
    bool AtEnd() const { return scan_ == base_ + size_; }

    // The raw bytes from the scan pointer up to and including the next LF
    // (or to the end of the file); the scan pointer moves past them. False
    // at the end.
    bool NextLine(std::string_view& line);

    // Tells the system the view is read once from start to end (read-ahead,
    // and passed pages are the first to go). Only a hint.
    void AdviseSequential() const;
    // Gives back the memory of the pages that lie wholly before `offset`
    // (and were not given back yet). The bytes stay readable: touching them
    // again reads them in again. Only a hint; it never fails.
    void ReleaseBefore(std::size_t offset);
    // Bytes from the start that have been given back so far.
    std::size_t Released() const { return released_; }

private:
    const char* base_ = nullptr;
    const char* scan_ = nullptr;
    std::size_t size_ = 0;
    std::size_t released_ = 0;  // page-aligned
    bool open_ = false;
    bool mapped_ = false;  // false for an empty file (nothing to unmap)
};

}  // namespace corvina
