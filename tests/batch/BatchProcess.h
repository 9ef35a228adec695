#pragma once
// Runs the real corvina binary with a batch command against a private
// settings file and home directory, as a script would.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvina::test {

struct BatchResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class BatchProcess {
public:
    // `work` holds Corvina.ini, the home directory "home/" and the streams.
    explicit BatchProcess(std::filesystem::path work);

    const std::filesystem::path& Work() const { return work_; }
    std::filesystem::path ConfigFile() const { return work_ / "Corvina.ini"; }
    std::filesystem::path Home() const { return work_ / "home"; }
    // home/User<n>
    std::filesystem::path MailboxDir(int mailDirNo = 0) const;

    // Writes a settings file whose home is Home(), DefUser 0, followed by
    // `extra` (more sections, written by hand as a user would).
    void WriteConfig(const std::string& extra) const;

    // The locale of later runs: LC_ALL set to it, or with nullopt neither
    // LC_ALL nor LANG set (a cron job). "C" unless changed.
    void SetLocale(std::optional<std::string> locale) { locale_ = std::move(locale); }

    // The environment of every run: the private settings, home, runtime and
    // temp directories, the locale, TZ=UTC and SSL_CERT_FILE when set.
    std::vector<std::string> Environment() const;

    BatchResult Run(const std::vector<std::string>& args, const std::string& input = {}) const;
    // The same environment for another program (moutil).
    BatchResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                           const std::string& input = {}) const;

private:
    std::filesystem::path work_;
    std::optional<std::string> locale_ = "C";
};

}  // namespace corvina::test
