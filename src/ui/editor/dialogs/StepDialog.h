#pragma once
// "Step Undo/Redo": "&Undo" and "&Redo" undo and redo one step of the
// editor per press while the dialog stays open; "&Steps:" shows how many
// steps there are to undo and to redo.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace corvina {

class TextEditor;

class StepDialog : public QDialog {
public:
    StepDialog(TextEditor& editor, QWidget* parent);

private:
    void Step(bool undo);
    void ShowCounts();

    TextEditor& editor_;
    QLineEdit* steps_;
    QPushButton* undo_;
    QPushButton* redo_;
};

}  // namespace corvina
