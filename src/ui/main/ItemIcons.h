#pragma once
// The pictures of the folder tree and the message list: the core chooses
// which picture an item shows (ChooseFolderIcon, MessageList::Picture);
// these turn the choice into an icon from the desktop theme, with a Qt
// standard icon where the theme has none. Unread forms carry a dot.

#include <QIcon>

#include "store/FolderNames.h"
#include "store/FolderView.h"
#include "store/MessageList.h"

namespace corvina {

// `special` picks the theme's own picture for Sent, Draft and the others
// that share one core picture.
QIcon FolderIconFor(FolderIcon icon, SpecialFolder special);
QIcon MessageIconFor(ItemPicture picture);
// The font role of an item: bold while it holds or is unread mail.
QVariant BoldWhen(bool bold);

}  // namespace corvina
