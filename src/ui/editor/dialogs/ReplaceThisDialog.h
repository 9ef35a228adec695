#pragma once
// "Replace?": whether to replace the match shown. "&Yes" pressed with
// Shift held counts as "Replace &All".

#include <QDialog>

#include "editor/EditorDialogs.h"

class QPushButton;

namespace corvina {

class ReplaceThisDialog : public QDialog {
public:
    explicit ReplaceThisDialog(QWidget* parent);

    // kCancel until another button is pressed.
    ReplaceAnswer Answer() const { return answer_; }

protected:
    // Notes the modifiers of the mouse release or key that presses "&Yes".
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Close(ReplaceAnswer answer);

    ReplaceAnswer answer_ = ReplaceAnswer::kCancel;
    QPushButton* yes_;
    Qt::KeyboardModifiers yesModifiers_;
};

}  // namespace corvina
