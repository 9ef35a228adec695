#include "message/mime/EnclosedMessage.h"

#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#include "message/StoreLines.h"

namespace corvina {

namespace {

constexpr std::uintmax_t kMaxEnclosedMessageBytes = 256u * 1024u * 1024u;

}  // namespace

std::optional<std::string> EnclosedMessageText(const std::filesystem::path& file) {
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxEnclosedMessageBytes) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string out;
    out.reserve(raw.size() + raw.size() / 64 + 4);
    StoreLineFilter storeLines;  // the enclosed message came from outside
    std::size_t pos = 0;
    while (pos < raw.size()) {
        std::size_t lf = raw.find('\n', pos);
        std::size_t end = lf == std::string::npos ? raw.size() : lf;
        std::string_view line(raw.data() + pos, end - pos);
        pos = lf == std::string::npos ? raw.size() : lf + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (storeLines.Drops(line)) {
            continue;
        }
        // The reader ends the text at "." and takes one dot from "..".
        if (!line.empty() && line.front() == '.') {
            out += '.';
        }
        out.append(line);
        out += '\n';
    }
    out += ".\n";
    return out;
}

}  // namespace corvina
