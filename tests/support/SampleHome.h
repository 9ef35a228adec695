#pragma once
// Sample homes for the screenshots and the benchmarks, written as the
// client writes them: the settings of one profile, and folder files made by
// delivering message texts through the core (received form, parse,
// append), so what the windows read is exactly what a run would have
// stored.

#include <filesystem>
#include <optional>
#include <string>

namespace corvina {
class ConfigStore;
}

namespace corvina::test {

// The settings of a home at `home`: working code page UTF-8, a threaded
// message list, profile 0 "Sample Account" (reader@example.org, POP and
// SMTP on 127.0.0.1). Kept in `config` (saved when it has a file).
void WriteSampleSettings(ConfigStore& config, const std::filesystem::path& home);

// The mailbox directory of profile 0 of a home.
std::filesystem::path SampleMailboxDir(const std::filesystem::path& home);

// Folders of profile 0 below `home`: an InBox of English and Japanese
// mail with threads, read, unread and replied messages, a message with two
// attachments and HTML-only messages; "Work" with a child "Work\Projects";
// Trash; OutBox with Sent. The working code page must be UTF-8 (set by the
// caller before). False with `why` when a file could not be written.
bool WriteSampleHome(const std::filesystem::path& home, std::string* why);

// Subjects of the sample InBox's messages the scenes pick.
inline constexpr const char* kSampleAttachmentsSubject = "Photos from the coast walk";
inline constexpr const char* kSampleHtmlSubject = "October in the garden";

// A home whose InBox holds `count` generated messages of about 8 KB each
// (newest last; every 20th unread), one more whose body is about 10 MB
// (subject kLargeBodySubject), and a small "Work" folder to switch to.
// Written once into `cacheDir` and reused while its version mark matches;
// the path of the home, or nothing with `why` when it could not be written.
inline constexpr const char* kLargeBodySubject = "Ten megabytes of log";
std::optional<std::filesystem::path> LargeInBoxHome(const std::filesystem::path& cacheDir,
                                                    int count, std::string* why);

}  // namespace corvina::test
