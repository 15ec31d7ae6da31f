#pragma once

#include <QColor>

namespace dirtally {

// WCAG's contrast ratio of two colours: 1 (the same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// `wanted` where it reads at 4.5:1 on `background`, as the design's colours do on a light
// theme; otherwise the same colour taken towards black or white, whichever the background
// needs, only as far as it takes. So grey stays grey and red stays red on a dark theme too.
QColor readableOn(const QColor& wanted, const QColor& background);

}  // namespace dirtally
