#pragma once
// Reads a message as another mail program does: Python's email package
// (email.policy.default, and email.utils.getaddresses with
// email.header.decode_header of the older API) run as a child process. The
// tests compare what it sees (addresses, names, file names, part bytes)
// with what was sent.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/Process.h"

namespace corvina::test {

inline constexpr const char* kPythonMailReader = R"PY(
import sys, email, email.policy, email.utils, email.header
raw = sys.stdin.buffer.read()
def esc(s):
    return s.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n')
def out(*fields):
    sys.stdout.write('\t'.join(esc(str(f)) for f in fields) + '\n')
def decoded(text):
    return str(email.header.make_header(email.header.decode_header(text)))
new = email.message_from_bytes(raw, policy=email.policy.default)
old = email.message_from_bytes(raw, policy=email.policy.compat32)
for name in ('From', 'To', 'Cc', 'Reply-To', 'Resent-From', 'Resent-To', 'Resent-Cc'):
    for value in new.get_all(name, []):
        for a in value.addresses:
            out('address', name, a.display_name, a.addr_spec)
        for d in value.defects:
            out('defect', name, type(d).__name__)
    for n, a in email.utils.getaddresses(old.get_all(name, [])):
        out('getaddresses', name, decoded(n), a)
out('subject', str(new.get('Subject', '')))
for d in new.defects:
    out('defect', 'message', type(d).__name__)
parts = list(new.iter_parts()) if new.is_multipart() else [new]
for p in parts:
    for d in p.defects:
        out('defect', 'part', type(d).__name__)
    cte = str(p.get('Content-Transfer-Encoding', ''))
    if p.get_content_type() == 'message/rfc822':
        inner = p.get_payload(0)
        out('message', p.get_filename() or '', cte, str(inner.get('From', '')),
            str(inner.get('Subject', '')), inner.get_payload(decode=True).hex())
    else:
        out('part', p.get_content_type(), p.get_filename() or '', cte,
            (p.get_payload(decode=True) or b'').hex())
)PY";

// One output row: its kind ("address", "getaddresses", "defect", "subject",
// "part", "message") and its fields.
using PythonRow = std::vector<std::string>;

inline std::string UnescapePythonField(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size()) {
            char c = field[++i];
            out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The rows Python prints for `message` (LF or CR LF line ends); a failed
// run is a test failure.
inline std::vector<PythonRow> ReadWithPython(const std::string& message) {
    Process python({"python3", "-c", kPythonMailReader});
    python.SetInput(message);
    std::optional<ProcessResult> result = python.Run();
    std::vector<PythonRow> rows;
    if (!result || result->exitCode != 0) {
        ADD_FAILURE() << "python3 could not read the message: "
                      << (result ? result->err : std::string("not started")) << "\n"
                      << message;
        return rows;
    }
    std::size_t start = 0;
    const std::string& text = result->out;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        PythonRow row;
        std::string_view line(text.data() + start, end - start);
        std::size_t field = 0;
        while (true) {
            std::size_t tab = line.find('\t', field);
            row.push_back(UnescapePythonField(line.substr(field, tab - field)));
            if (tab == std::string_view::npos) {
                break;
            }
            field = tab + 1;
        }
        rows.push_back(std::move(row));
        start = end + 1;
    }
    return rows;
}

// The rows of one kind, without the kind.
inline std::vector<PythonRow> RowsOf(const std::vector<PythonRow>& rows, std::string_view kind) {
    std::vector<PythonRow> out;
    for (const PythonRow& row : rows) {
        if (!row.empty() && row[0] == kind) {
            out.emplace_back(row.begin() + 1, row.end());
        }
    }
    return out;
}

inline std::string Hex(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

}  // namespace corvina::test
