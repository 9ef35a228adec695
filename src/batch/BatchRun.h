#pragma once
// Runs one batch command: loads the settings from the config store, makes
// the chosen profile current, does the work without any window and returns
// the exit status (0 success, 1 failure, 2 usage error).

#include <cstdio>
#include <string>
#include <vector>

namespace corvina {

struct BatchOptions;

struct BatchStreams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // Convert the working code page to UTF-8 on the way out (a UTF-8
    // terminal); see OutputNeedsUtf8.
    bool utf8Out = false;
};

// stdout is a terminal and the locale's character set is UTF-8.
bool OutputNeedsUtf8();

// The text as it goes out: unchanged, or converted to UTF-8.
std::string OutputText(std::string_view text, bool utf8Out);

int RunBatch(const std::vector<std::string>& args, BatchStreams streams);
int RunBatchCommand(const BatchOptions& options, BatchStreams streams);

}  // namespace corvina
