#pragma once
// Icons of the main window: the desktop theme's by freedesktop name, else
// the small set shipped in share/corvina/icons, else a plain drawn one so
// that the tray never shows an empty slot.

#include <QIcon>

#include "app/NewMailState.h"

namespace corvina {

// `themeName` from the theme; `fallback` names a file in the shipped icon
// directory ("corvina.svg"); may be empty.
QIcon FrameIcon(const char* themeName, const char* fallback = nullptr);

// The tray's pictures: normal, two new-mail, two connection.
QIcon TrayIconFor(TrayPicture picture);

}  // namespace corvina
