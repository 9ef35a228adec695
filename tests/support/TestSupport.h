#pragma once
// Small helpers shared by every test executable: a scratch directory that
// is removed afterwards, whole-file reads and writes, and the path of the
// sample data.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvina::test {

// A fresh directory below the system temp directory, removed with its
// contents when the object goes away.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

// The argv or envp array of an exec call: the strings and the null-ended
// pointers into them, alive together.
class ExecStrings {
public:
    explicit ExecStrings(std::vector<std::string> strings);
    ExecStrings(const ExecStrings&) = delete;
    ExecStrings& operator=(const ExecStrings&) = delete;

    char** Data() { return pointers_.data(); }

private:
    std::vector<std::string> strings_;
    std::vector<char*> pointers_;
};

// tests/data/<name>
std::filesystem::path DataPath(std::string_view name);

}  // namespace corvina::test
