#pragma once

#include <QString>

namespace dirtally {

// The system's own words for an errno value, as the user's locale has them.
QString systemErrorText(int error);

}  // namespace dirtally
