#pragma once
// The header pane above the body: From, To, Cc (only when present),
// Subject and Date of the viewed message, each selectable and elided with
// a tooltip when it is too long, and a muted note when the body is a text
// rendering of an HTML part.

#include <QWidget>
#include <array>
#include <string>

class QLabel;

namespace corvina {

class HeaderLine;
class MailMessage;

// The note shown under the fields of a message rendered from HTML.
inline constexpr const char* kRenderedFromHtmlNote =
    "Shown as text rendered from HTML; the original is in the attachments.";

class CHeadView : public QWidget {
    Q_OBJECT

public:
    enum class Field { From, To, Cc, Subject, Date };

    explicit CHeadView(QWidget* parent = nullptr);

    // null: empty.
    void ShowMessage(const MailMessage* message);

    // The whole text of a field (also when it is drawn elided) and whether
    // its line is shown.
    QString Text(Field field) const;
    bool Shown(Field field) const;
    bool ShowsHtmlNote() const;

private:
    static constexpr std::size_t kFields = 5;
    void SetField(Field field, const std::string& value);

    std::array<QLabel*, kFields> captions_{};
    std::array<HeaderLine*, kFields> values_{};
    QLabel* htmlNote_ = nullptr;
};

}  // namespace corvina
