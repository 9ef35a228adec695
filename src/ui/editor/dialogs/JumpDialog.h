#pragma once
// "Jump To": a line number, counted as logical lines ("&Logical") or as
// the rows shown ("As &Shown").

#include <QDialog>

#include "editor/EditorDialogs.h"

class QLineEdit;
class QRadioButton;

namespace corvina {

class JumpDialog : public QDialog {
public:
    JumpDialog(const JumpDialogValues& values, QWidget* parent);

    // An empty or unreadable number reads as 0, which jumps nowhere.
    JumpDialogValues Choice() const;

private:
    QLineEdit* number_;
    QRadioButton* asShown_;
};

}  // namespace corvina
