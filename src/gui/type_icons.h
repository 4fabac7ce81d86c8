#pragma once
#include <QIcon>
#include <QList>

namespace ui {

// The five file-type icons in MediaType order (.mp3, .RM, .WMA, .ASF, .RAM): the icon theme's
// icon for each extension's media type, or a drawn audio icon where the theme has none.
QList<QIcon> typeIcons();

} // namespace ui
