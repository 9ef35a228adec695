#include "importer/ImportType.h"

namespace corvina {

namespace {

constexpr std::string_view kAsteriskLine =
    "**************************************************************************\n";
static_assert(kAsteriskLine.size() == 75);

constexpr ImportType kTypes[kImportTypeCount] = {
    {"User defined", "", true, ImportInput::kOneFile,
     "Specify text file as input.\nYou will have to specify the separator of the mail items.", ""},
    {"UNIX mailbox", "From ", true, ImportInput::kOneFile,
     "Specify a UNIX compatible mailbox file as input.", ""},
    {"Netscape Mail", "From -", true, ImportInput::kOneFile,
     "Specify a mailbox file of Netscape mail as input.\n"
     "(e.g. C:\\Program Files\\Netscape\\Navigator\\Program\\Mail\\Inbox)",
     ""},
    {"Eudora", "From ", true, ImportInput::kOneFile,
     "Specify a mailbox file of Windows Eudora as input.\n(e.g. C:\\Eudora\\In.mbx)", ""},
    {"Microsoft Internet Mail", ".\n", true, ImportInput::kEmlFiles,
     "Specify one of the mail item file (*.eml) which is saved by MS Internet Mail's 'Save As' "
     "command. Other items in the same directory will be imported\n(e.g. C:\\Temp\\abc.eml)",
     "MSMail.TMP"},
    {"AL-Mail", kAsteriskLine, true, ImportInput::kOneFile, " ", ""},
    {"WinBiff", ".\n", true, ImportInput::kOneFile, " ", ""},
    {"WeMail", ".\n", true, ImportInput::kNumberedFiles, " ", "WeMail.TMP"},
};

}  // namespace

const ImportType* ImportTypeAt(int index) {
    if (index < 0 || index >= kImportTypeCount) {
        return nullptr;
    }
    return &kTypes[index];
}

}  // namespace corvina
