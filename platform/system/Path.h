#pragma once

#include <QString>
#include <string>

namespace dirtally {

// File names on Linux are bytes; a path is held as the bytes the file system uses and turned into
// text only to be shown.
using Path = std::string;

// The text of a path for display: undecodable bytes become U+FFFD.
QString pathToText(const Path& path);
// The bytes of a path the user typed or picked in a Qt widget.
Path pathFromText(const QString& text);

}  // namespace dirtally
