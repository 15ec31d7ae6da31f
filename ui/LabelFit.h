#pragma once

#include <QStringList>
#include <Qt>

class QLabel;

namespace dirtally {

// Widens (and heightens) a label from its design size until its text and each of `texts` fit in the
// font it is drawn in, which on Linux is another family than the design's, with other widths:
// DejaVu Sans is a tenth wider than Liberation Sans. `anchor` says which edge stays where the
// design has it (Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter); the label never grows past its
// parent's inside. Texts that wrap are measured at the label's width.
void fitLabel(QLabel* label, const QStringList& texts, Qt::Alignment anchor);

}  // namespace dirtally
