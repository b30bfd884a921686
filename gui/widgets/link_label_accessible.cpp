#include "gui/widgets/link_label_accessible.h"

#include "gui/widgets/link_label.h"

namespace tarvex::ui {
namespace {

QAccessibleInterface* linkLabelFactory(const QString& className, QObject* object) {
    // The link label adds no meta-object of its own, so Qt asks for it under QLabel.
    if (className != QLatin1String("QLabel")) {
        return nullptr;
    }
    auto* label = dynamic_cast<CLinkLabel*>(object);
    return label != nullptr ? new LinkLabelAccessible(*label) : nullptr;
}

} // namespace

LinkLabelAccessible::LinkLabelAccessible(CLinkLabel& label)
    : QAccessibleWidget(&label, QAccessible::Link) {}

CLinkLabel& LinkLabelAccessible::label() const {
    // The factory makes this interface for link labels only.
    return *static_cast<CLinkLabel*>(widget());
}

QString LinkLabelAccessible::text(QAccessible::Text kind) const {
    if (kind == QAccessible::Name) {
        const QString name = label().accessibleName();
        return name.isEmpty() ? label().text() : name;
    }
    if (kind == QAccessible::Description) {
        const QString description = label().accessibleDescription();
        return description.isEmpty() ? QString::fromStdString(label().url()) : description;
    }
    return QAccessibleWidget::text(kind);
}

QAccessible::State LinkLabelAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.linked = true;
    state.traversed = label().isVisited;
    return state;
}

QStringList LinkLabelAccessible::actionNames() const {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void LinkLabelAccessible::doAction(const QString& actionName) {
    if (actionName == pressAction()) {
        label().OpenLink();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

QStringList LinkLabelAccessible::keyBindingsForAction(const QString& actionName) const {
    if (actionName == pressAction()) {
        return {QStringLiteral("Return"), QStringLiteral("Space")};
    }
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

void installLinkLabelAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(linkLabelFactory);
        return true;
    }();
    static_cast<void>(installed);
}

} // namespace tarvex::ui
