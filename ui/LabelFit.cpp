#include "ui/LabelFit.h"

#include <QFontMetrics>
#include <QLabel>
#include <algorithm>

namespace dirtally {

void fitLabel(QLabel* label, const QStringList& texts, Qt::Alignment anchor) {
    const QFontMetrics metrics(label->font());
    const int frame = label->width() - label->contentsRect().width();
    QSize wanted = label->size();
    for (const QString& text : texts + QStringList(label->text())) {
        const QRect inside(0, 0, label->wordWrap() ? label->contentsRect().width() : 0x7fff,
                           0x7fff);
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        wanted = wanted.expandedTo(metrics.boundingRect(inside, flags, text).size() +
                                   QSize(frame, frame));
    }
    const QRect room = label->parentWidget()->contentsRect();
    QRect geometry = label->geometry();
    const int grow = std::max(0, wanted.width() - geometry.width());
    if (anchor & Qt::AlignRight) {
        geometry.setLeft(geometry.left() - grow);
    } else if (anchor & Qt::AlignHCenter) {
        geometry.adjust(-grow / 2, 0, grow - grow / 2, 0);
    } else {
        geometry.setRight(geometry.right() + grow);
    }
    geometry.setHeight(std::max(geometry.height(), wanted.height()));
    label->setGeometry(geometry.intersected(room));
}

}  // namespace dirtally
