#pragma once
// What a view drags: its selected text as text/plain for other programs,
// and the view it comes from, so that a drop into another view of this
// process moves or copies through the model (with its undo step and the
// source's selection) instead of inserting plain text.

#include <QMimeData>
#include <QPointer>

#include "ui/editor/CIlkaView.h"

namespace corvina {

class ViewDragData : public QMimeData {
public:
    // `text`: the dragged selection as Unicode.
    ViewDragData(CIlkaView& source, const QString& text) : source_(&source) { setText(text); }

    // The view the drag started in; null once it is gone.
    CIlkaView* Source() const { return source_.data(); }

private:
    QPointer<CIlkaView> source_;
};

}  // namespace corvina
