#include "ui/Fonts.h"

#include <QStringList>

namespace dirtally::fonts {

namespace {
QFont make(const QStringList& families, QFont::StyleHint hint, qreal pointSize, bool bold) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}
}  // namespace

QFont sansSerif(qreal pointSize, bool bold) {
    return make({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                 QStringLiteral("DejaVu Sans")},
                QFont::SansSerif, pointSize, bold);
}

QFont arial(qreal pointSize, bool bold) {
    return make(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")},
        QFont::SansSerif, pointSize, bold);
}

QFont bookAntiqua(qreal pointSize, bool bold) {
    return make(
        {QStringLiteral("Book Antiqua"), QStringLiteral("TeX Gyre Pagella"), QStringLiteral("P052"),
         QStringLiteral("URW Palladio L"), QStringLiteral("DejaVu Serif")},
        QFont::Serif, pointSize, bold);
}

}  // namespace dirtally::fonts
