#pragma once

#include <QFont>

namespace dirtally::fonts {

// The window design's fonts, with the families Linux desktops have in their place.
QFont sansSerif(qreal pointSize, bool bold = false);  // "MS Sans Serif"
QFont arial(qreal pointSize, bool bold = false);      // "Arial"
QFont bookAntiqua(qreal pointSize, bool bold = false);

}  // namespace dirtally::fonts
