#pragma once
// Converting a whole message from EUC-JP into the working code page, and
// between Shift_JIS and EUC-JP on a Japanese system.

#include <cstddef>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;
class StatusSink;
class UserPrompt;

// EucToSjis: EUC-JP into W (Shift_JIS on 932, UTF-8 on 65001).
// SjisToEuc: Shift_JIS into EUC-JP, on 932 only.
enum class CodeDirection { EucToSjis, SjisToEuc };

// The header values the conversion touches, in the order it converts them.
enum class ConvertedField { From, To, Cc, Subject };

// The message as the conversion sees it; the store's message adapts to it.
class ConvertibleMessage {
public:
    virtual ~ConvertibleMessage() = default;

    // A complete copy of the message and the way back to exactly it.
    virtual std::string Serialize() const = 0;
    virtual bool Restore(std::string_view copy) = 0;

    virtual std::string FieldValue(ConvertedField field) const = 0;
    virtual void SetFieldValue(ConvertedField field, std::string value) = 0;

    virtual std::size_t BodyLineCount() const = 0;
    virtual std::string BodyLine(std::size_t index) const = 0;
    virtual void SetBodyLine(std::size_t index, std::string line) = 0;
};

// Converts From, To, Cc, Subject (each kept when it fails) and the body
// lines in order. Without `force` the first failing body line stops it and
// the message is restored from its copy: result false. With `force` failing
// lines stay as they were and the result is true. A line is valid EUC-JP
// by the same test on every W. Where W cannot take the direction (EUC-JP
// on a single-byte W, Shift_JIS to EUC-JP off 932) the result is false at
// once with nothing changed.
bool ConvertMessageCode(ConvertibleMessage& message, CodeDirection direction, bool force,
                        const CodePage& cp);
bool ConvertMessageCode(ConvertibleMessage& message, CodeDirection direction, bool force);

// The viewer commands "EUC to SJIS" / "SJIS to EUC": tries without force,
// asks whether to force on failure (Yes/No, No preset), reports
// "Conversion Failed!" in the status bar when the user says No. true when
// the message was changed.
bool RunCodeConversionCommand(ConvertibleMessage& message, CodeDirection direction,
                              UserPrompt& prompt, StatusSink& status, const CodePage& cp);

}  // namespace corvina
