#include "message/MessageCode.h"

#include "common/CodePage.h"
#include "common/UserPrompt.h"
#include "message/JapaneseCode.h"

namespace corvina {

namespace {

// Whether the working code page can take the direction at all. EUC-JP text
// becomes any multi-byte W; Shift_JIS to EUC-JP exists only where the text
// is Shift_JIS, so on a UTF-8 system that direction is refused rather than
// writing EUC bytes that the store and the viewer would show as garbage.
bool Converts(CodeDirection direction, const CodePage& cp) {
    return direction == CodeDirection::EucToSjis ? !cp.IsSingleByte() : IsJapaneseSystem(cp);
}

// One line in the direction; an invalid line counts in `errors` and comes
// back unchanged. EUC-JP is validated by the Shift_JIS converter on every
// W, so a line fails the same way whatever the system is.
std::string ConvertLine(std::string_view line, CodeDirection direction, const CodePage& cp,
                        int& errors) {
    if (direction == CodeDirection::SjisToEuc) {
        return SjisToEucLine(line, errors);
    }
    const int before = errors;
    std::string sjis = EucToSjisLine(line, errors);
    if (errors != before || cp.IsDbcs()) {
        return sjis;
    }
    return cp.FromCharset("EUC-JP", line);
}

}  // namespace

bool ConvertMessageCode(ConvertibleMessage& message, CodeDirection direction, bool force,
                        const CodePage& cp) {
    if (!Converts(direction, cp)) {
        return false;
    }
    const std::string copy = message.Serialize();
    int errors = 0;
    for (ConvertedField field :
         {ConvertedField::From, ConvertedField::To, ConvertedField::Cc, ConvertedField::Subject}) {
        std::string value = message.FieldValue(field);
        std::string converted = ConvertLine(value, direction, cp, errors);
        if (errors == 0) {
            message.SetFieldValue(field, std::move(converted));
        }
        errors = 0;  // a header value that fails just stays as it was
    }
    const std::size_t lines = message.BodyLineCount();
    for (std::size_t i = 0; i < lines; ++i) {
        int lineErrors = 0;
        std::string converted = ConvertLine(message.BodyLine(i), direction, cp, lineErrors);
        if (lineErrors != 0) {
            errors += lineErrors;
            if (!force) {
                break;
            }
            continue;  // the line stays unconverted
        }
        message.SetBodyLine(i, std::move(converted));
    }
    if (errors == 0 || force) {
        return true;
    }
    message.Restore(copy);
    return false;
}

bool ConvertMessageCode(ConvertibleMessage& message, CodeDirection direction, bool force) {
    return ConvertMessageCode(message, direction, force, CodePage::Working());
}

bool RunCodeConversionCommand(ConvertibleMessage& message, CodeDirection direction,
                              UserPrompt& prompt, StatusSink& status, const CodePage& cp) {
    if (ConvertMessageCode(message, direction, false, cp)) {
        return true;
    }
    if (!Converts(direction, cp)) {
        return false;
    }
    Question question;
    question.buttons = ConfirmButtons::YesNo;
    question.preset = ConfirmAnswer::No;
    question.text =
        direction == CodeDirection::EucToSjis
            ? "This may not be EUC text\nDo you want to force to convert skipping error lines?"
            : "This may not be Shift-JIS text\nDo you want to force to convert skipping error "
              "lines?";
    if (prompt.Ask(question) == ConfirmAnswer::Yes) {
        return ConvertMessageCode(message, direction, true, cp);
    }
    status.ShowStatus("Conversion Failed!");
    return false;
}

}  // namespace corvina
