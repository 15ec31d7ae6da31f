#include "ui/AccessibleLabel.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace dirtally {

namespace {
constexpr const char* kRoleProperty = "dirtallyAccessibleRole";

class AccessibleLabel final : public QAccessibleWidget {
  public:
    AccessibleLabel(QLabel* label, QAccessible::Role role)
        : QAccessibleWidget(label, role), label_(label) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value ||
            (t == QAccessible::Name && label_->accessibleName().isEmpty())) {
            return label_->text();
        }
        return QAccessibleWidget::text(t);
    }

  private:
    QLabel* label_;
};

QAccessibleInterface* labelWithRole(const QString&, QObject* object) {
    auto* label = qobject_cast<QLabel*>(object);
    const QVariant role = object ? object->property(kRoleProperty) : QVariant();
    if (label == nullptr || !role.isValid()) {
        return nullptr;
    }
    return new AccessibleLabel(label, QAccessible::Role(role.toInt()));
}
}  // namespace

void setAccessibleRole(QLabel* label, QAccessible::Role role, const QString& name) {
    static const bool installed = (QAccessible::installFactory(labelWithRole), true);
    Q_UNUSED(installed);
    label->setProperty(kRoleProperty, int(role));
    // Qt made the label's interface already when the label was given its text or place.
    QAccessible::deleteAccessibleInterface(
        QAccessible::uniqueId(QAccessible::queryAccessibleInterface(label)));
    label->setAccessibleName(name);
}

}  // namespace dirtally
