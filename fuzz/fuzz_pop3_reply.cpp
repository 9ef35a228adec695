// POP3 server bytes: split into lines by the connection's reader (cut
// lines, NUL bytes, lone LFs) and every line through the reply parsers;
// then the same bytes as one multi-line reply through the session's
// reader, which must end only at a lone "." and never hand on a line that
// still carries its stuffing dot.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSession.h"
#include "transfer/LineConnection.h"
#include "transfer/Pop3Client.h"
#include "transfer/ReplyParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    if (size > 65536) {
        return 0;
    }
    const int lineFd = fuzz::FeedSocket(data, size);
    if (lineFd < 0) {
        return 0;
    }
    LineConnection connection;
    connection.SetTimeout(1);
    connection.Adopt(lineFd);
    const size_t limit = size % 2 ? LineConnection::kDefaultMaxLine : 16;
    while (auto line = connection.ReadLine(limit)) {
        if (line->size() > limit) {
            __builtin_trap();
        }
        std::string_view l = *line;
        PopNegative(l);
        ParseStatCount(l);
        if (auto entry = ParseListLine(l); entry && entry->number <= 0) {
            __builtin_trap();
        }
        if (auto uid = ParseUidlLine(l); uid && uid->size() >= l.size()) {
            __builtin_trap();
        }
        if (auto v = HeaderValue(l, "Message-Id:"); v && v->size() > l.size()) {
            __builtin_trap();
        }
    }
    if (!connection.IsBroken()) {
        __builtin_trap();  // the stream ended: the reader must say so
    }

    fuzz::FedClient<Pop3Client> fed(data, size);
    if (!fed.Ok()) {
        return 0;
    }
    Pop3Client& session = fed.client;
    const size_t maxLines = size % 3 ? Pop3Client::kListingMaxEntries : 4;
    const long long maxBytes = size % 5 ? 0 : 64;
    size_t lines = 0;
    long long bytes = 0;
    Pop3Client::MultiLine result = session.ReadMultiLine(
        [&](std::string_view line) {
            ++lines;
            bytes += static_cast<long long>(line.size());
            ParseListLine(line);
            ParseUidlLine(line);
            return true;
        },
        maxLines, maxBytes);
    if (lines > maxLines || (maxBytes > 0 && bytes > maxBytes)) {
        __builtin_trap();  // a cap was passed
    }
    if (result == Pop3Client::MultiLine::kDone) {
        // Some line of the input must be a lone ".": a line starts at the
        // beginning or after CR LF or NUL and ends at CR LF or NUL.
        std::string_view t(reinterpret_cast<const char*>(data), size);
        bool lone = false;
        for (size_t i = t.find('.'); i != std::string_view::npos && !lone; i = t.find('.', i + 1)) {
            bool starts = i == 0 || t[i - 1] == '\0' || (i >= 2 && t.substr(i - 2, 2) == "\r\n");
            bool ends = (i + 1 < t.size() && t[i + 1] == '\0') || t.substr(i + 1, 2) == "\r\n";
            lone = starts && ends;
        }
        if (!lone) {
            __builtin_trap();
        }
    }
    return 0;
}
