#include "app/CommandLine.h"

#include <strings.h>

#include <filesystem>
#include <system_error>

namespace corvina {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool DefaultPathExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

bool IsAddressLetter(char c) {
    return c == 'A' || c == 'a';
}

bool IsMailtoUrl(std::string_view text) {
    constexpr std::string_view kMailto = "mailto:";
    return text.size() >= kMailto.size() &&
           strncasecmp(text.data(), kMailto.data(), kMailto.size()) == 0;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A desktop hands "mailto:" URLs percent-encoded. Control characters, which
// could end a header line, are dropped whether encoded or not.
std::string DecodeUrlAddress(std::string_view url) {
    std::string decoded;
    for (std::size_t i = 0; i < url.size(); ++i) {
        char c = url[i];
        if (c == '%' && i + 2 < url.size() && HexValue(url[i + 1]) >= 0 &&
            HexValue(url[i + 2]) >= 0) {
            c = static_cast<char>(HexValue(url[i + 1]) * 16 + HexValue(url[i + 2]));
            i += 2;
        }
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            decoded.push_back(c);
    }
    return decoded;
}

}  // namespace

std::string CleanAddress(std::string_view text) {
    text = Trim(text);
    if (IsMailtoUrl(text))
        text.remove_prefix(std::string_view("mailto:").size());
    if (auto query = text.find('?'); query != std::string_view::npos)
        text = text.substr(0, query);
    return std::string(Trim(text));
}

CommandLine ParseCommandLine(const std::vector<std::string>& args, PathExists pathExists) {
    if (!pathExists)
        pathExists = DefaultPathExists;
    CommandLine result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // On this system "/" also starts every absolute path: a parameter
        // that names something on disk is a file even when it looks like a
        // flag.
        bool isFlag = arg.size() >= 2 && (arg[0] == '-' || (arg[0] == '/' && !pathExists(arg)));
        if (!isFlag) {
            // A bare "mailto:" URL (the desktop's handler for the scheme)
            // is an address; a file of that name on disk stays a file.
            if (IsMailtoUrl(arg) && !pathExists(arg)) {
                // The query is cut before decoding: an encoded "?" is part
                // of the address text, never a query naming files.
                std::string address = CleanAddress(arg);
                address = DecodeUrlAddress(address);
                if (!address.empty())
                    result.address = std::move(address);
                continue;
            }
            if (!arg.empty())
                result.files.push_back(arg);
            continue;
        }
        if (!IsAddressLetter(arg[1]))
            continue;  // other flags mean nothing here
        std::string_view rest = std::string_view(arg).substr(2);
        if (rest.empty() && i + 1 < args.size())
            rest = args[++i];
        std::string address = CleanAddress(rest);
        if (!address.empty())
            result.address = std::move(address);
    }
    return result;
}

void MakeFilesAbsolute(CommandLine& commandLine, const std::filesystem::path& base) {
    for (std::string& file : commandLine.files) {
        std::filesystem::path path(file);
        if (path.is_relative())
            file = (base / path).lexically_normal().string();
    }
}

std::string JoinFileList(const std::vector<std::string>& files) {
    std::string line;
    for (const std::string& file : files) {
        if (!line.empty())
            line.push_back(' ');
        bool quote = file.find_first_of(" \t") != std::string::npos;
        if (quote)
            line.push_back('"');
        line += file;
        if (quote)
            line.push_back('"');
    }
    return line;
}

std::vector<std::string> SplitFileList(std::string_view line) {
    std::vector<std::string> files;
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (IsBlank(line[pos])) {
            ++pos;
            continue;
        }
        std::size_t end;
        if (line[pos] == '"') {
            ++pos;
            end = line.find('"', pos);
            if (end == std::string_view::npos)
                end = line.size();
            if (end > pos)
                files.emplace_back(line.substr(pos, end - pos));
            pos = end + 1;
            continue;
        }
        end = pos;
        while (end < line.size() && !IsBlank(line[end]))
            ++end;
        files.emplace_back(line.substr(pos, end - pos));
        pos = end;
    }
    return files;
}

}  // namespace corvina
