#pragma once

#include <QAccessibleWidget>

namespace tarvex::ui {

class CLinkLabel;

// What screen readers see of a link label: a link named by its text, described by its address,
// traversed once opened, with a press action that opens it.
class LinkLabelAccessible : public QAccessibleWidget {
public:
    explicit LinkLabelAccessible(CLinkLabel& label);

    [[nodiscard]] QString text(QAccessible::Text kind) const override;
    [[nodiscard]] QAccessible::State state() const override;
    [[nodiscard]] QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    [[nodiscard]] QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    [[nodiscard]] CLinkLabel& label() const;
};

// Makes Qt's accessibility ask LinkLabelAccessible for every link label; safe to call again.
void installLinkLabelAccessibility();

} // namespace tarvex::ui
