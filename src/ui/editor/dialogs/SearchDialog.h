#pragma once
// What "Find" and "Replace" share: string combo boxes over the search
// history, one check box per search option letter, and the button column
// "OK", the dialog's own second button, "Cancel" and its "Save Option".
// A dialog adds its rows top to bottom, which is also the tab order.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "editor/SearchPattern.h"

class QCheckBox;
class QComboBox;
class QGridLayout;

namespace corvina {

// The check box labels that differ between the two dialogs.
struct SearchOptionLabels {
    const char* markFound;   // M
    const char* ignoreMbcs;  // Z
    const char* topOfLine;   // T
};

class SearchDialog : public QDialog {
protected:
    SearchDialog(const char* title, QWidget* parent);

    // A labelled editable combo box holding `text` (255 characters at most)
    // over `history`, newest first.
    QComboBox* AddStringRow(const char* label, const std::string& text,
                            const std::vector<std::string>& history);
    // One check box per letter G A M I Z W T R; "E" has no box and keeps
    // the value it came with. Z is shown only on the Japanese code page.
    void AddOptionBoxes(const SearchOptions& options, const SearchOptionLabels& labels);
    void AddRow(QWidget* widget);
    // `save` gets the options shown and leaves the dialog open.
    void AddButtons(const char* otherText, const char* saveText,
                    std::function<void(const SearchOptions&)> save);

    SearchOptions Options() const;
    static std::string StringOf(const QComboBox* combo);
    // OK or the second button closed the dialog: which one.
    bool OtherPressed() const { return otherPressed_; }

private:
    struct Box {
        bool SearchOptions::*flag;
        QCheckBox* box;
    };
    QGridLayout* layout_;
    int rows_ = 0;
    SearchOptions initial_;
    std::vector<Box> boxes_;
    bool otherPressed_ = false;
};

}  // namespace corvina
