#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace corvina::test {

ScratchDir::ScratchDir() {
    std::string base = (std::filesystem::temp_directory_path() / "corvina-test-XXXXXX").string();
    if (!mkdtemp(base.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = base;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path DataPath(std::string_view name) {
    return std::filesystem::path(CORVINA_TEST_DATA_DIR) / name;
}

ExecStrings::ExecStrings(std::vector<std::string> strings) : strings_(std::move(strings)) {
    for (std::string& s : strings_) {
        pointers_.push_back(s.data());
    }
    pointers_.push_back(nullptr);
}

}  // namespace corvina::test
