#pragma once
// The kinds of foreign mailbox the import utility reads: the list entry,
// the separator line that starts or ends a message, whether that line is
// dropped, where the input comes from, and the help text under the list.

#include <string_view>

namespace corvina {

enum class ImportInput {
    kOneFile,        // the chosen file itself
    kEmlFiles,       // every "*.eml" file in the chosen file's directory
    kNumberedFiles,  // the numbered files in the chosen file's directory
};

struct ImportType {
    std::string_view listEntry;
    std::string_view separator;  // compared with the start of each line
    bool dropSeparator;          // type 0: the user's choice (this is the default)
    ImportInput input;
    std::string_view help;
    std::string_view tempFileName;  // work file of the gathering types
};

inline constexpr int kImportTypeCount = 8;
// The English list shows the first five entries.
inline constexpr int kEnglishImportTypeCount = 5;

// The row of a type index, or nullptr outside 0..7.
const ImportType* ImportTypeAt(int index);

}  // namespace corvina
