#pragma once

#include <QString>

namespace dirtally {

// The application's title, "Dirtally" from the version record. It is the process's own, not a
// window's: an instance started while another one runs renames itself for good.
QString applicationTitle();
void setApplicationTitle(const QString& title);

}  // namespace dirtally
