#include "message/DecodedFile.h"

#include <cerrno>
#include <system_error>

#include "common/UserPrompt.h"
#include "message/PrivateFile.h"
#include "message/Uuencode.h"

namespace corvina {

DecodedFile::~DecodedFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
}

bool DecodedFile::Open(const DecodeTarget& target, std::string_view safeName) {
    const std::string name(safeName);
    if (!target.directory.empty()) {
        for (int counter = -1; counter < 256; ++counter) {
            std::filesystem::path candidate = target.directory;
            if (counter < 0) {
                candidate /= name;
            } else {
                char prefix[8];
                std::snprintf(prefix, sizeof prefix, "%02x_", counter);
                candidate /= prefix + name;
            }
            // Exclusive creation: never follows or replaces an existing name.
            std::FILE* f = OpenPrivateFile(candidate, PrivateOpen::kCreateNew);
            if (f != nullptr) {
                file_ = f;
                path_ = candidate;
                return true;
            }
            if (errno != EEXIST) {
                break;  // the directory itself is unusable
            }
        }
    }
    if (target.prompt == nullptr) {
        return false;
    }
    FileChoice choice;
    choice.purpose = FileChoice::Purpose::Save;
    choice.startDirectory = target.dialogDirectory;
    choice.suggestedName = name;
    std::optional<std::filesystem::path> chosen = target.prompt->ChooseFile(choice);
    if (!chosen || chosen->empty()) {
        return false;
    }
    std::FILE* f = OpenPrivateFile(*chosen, PrivateOpen::kTruncate);
    if (f == nullptr) {
        return false;
    }
    file_ = f;
    path_ = *chosen;
    return true;
}

bool DecodedFile::Write(std::string_view bytes) {
    if (file_ == nullptr || failed_) {
        return false;
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        failed_ = true;
    }
    return !failed_;
}

std::optional<std::filesystem::path> DecodedFile::Finish() {
    if (file_ == nullptr) {
        return std::nullopt;
    }
    bool ok = !failed_ && std::fflush(file_) == 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        return std::nullopt;
    }
    return path_;
}

}  // namespace corvina
