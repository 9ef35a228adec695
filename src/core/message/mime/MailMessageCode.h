#pragma once
// A stored message as the code conversion sees it.

#include <string>
#include <string_view>
#include <vector>

#include "message/MessageCode.h"

namespace corvina {

class MailMessage;

// Works on a copy of the message's From, To, Cc, Subject and body lines;
// the message itself takes the result only through ApplyTo, so a failed
// conversion never touches it.
class MailMessageConversion : public ConvertibleMessage {
public:
    explicit MailMessageConversion(const MailMessage& message);

    std::string Serialize() const override;
    bool Restore(std::string_view copy) override;

    std::string FieldValue(ConvertedField field) const override;
    void SetFieldValue(ConvertedField field, std::string value) override;

    std::size_t BodyLineCount() const override { return lines_.size(); }
    std::string BodyLine(std::size_t index) const override { return lines_[index]; }
    void SetBodyLine(std::size_t index, std::string line) override;

    // Writes the fields and, when a line changed, the body into `message`.
    void ApplyTo(MailMessage& message) const;

private:
    std::string fields_[4];
    std::vector<std::string> lines_;
    bool bodyChanged_ = false;
};

// ConvertMessageCode on a parsed message; on false the message is as it was.
bool ConvertMailMessageCode(MailMessage& message, CodeDirection direction, bool force,
                            const CodePage& cp);

}  // namespace corvina
