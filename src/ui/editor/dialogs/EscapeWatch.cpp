#include "ui/editor/dialogs/EscapeWatch.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QKeyEvent>

namespace corvina {

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::InputMethod:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
    }
}

}  // namespace

EscapeWatch::EscapeWatch() {
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { pressed_ = false; });
    }
}

bool EscapeWatch::Poll() {
    // A poll from inside a poll (an event handler that searches) would
    // swallow the outer search's events twice; the outer one sees them.
    if (polling_ || QCoreApplication::instance() == nullptr) {
        return pressed_;
    }
    polling_ = true;
    QCoreApplication::instance()->installEventFilter(this);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(this);
    polling_ = false;
    return pressed_;
}

bool EscapeWatch::eventFilter(QObject* watched, QEvent* event) {
    if (!IsUserInput(event->type())) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        pressed_ = true;
    }
    return true;
}

}  // namespace corvina
