#pragma once

#include <QAccessibleInterface>
#include <QPointer>

namespace tarvex::ui {

class CMarkupListCtrl;

// One row of a markup list as screen readers see it: a list item named by the row's spoken
// text, with its selection and focus. It has no object of its own; the list's interface makes,
// registers and drops it.
class MarkupRowAccessible final : public QAccessibleInterface {
public:
    MarkupRowAccessible(CMarkupListCtrl& list, int row);

    [[nodiscard]] int row() const { return m_row; }
    [[nodiscard]] const CMarkupListCtrl* list() const { return m_list.data(); }

    [[nodiscard]] bool isValid() const override;
    [[nodiscard]] QObject* object() const override { return nullptr; }
    [[nodiscard]] QWindow* window() const override;
    [[nodiscard]] QAccessibleInterface* childAt(int x, int y) const override;
    [[nodiscard]] QAccessibleInterface* parent() const override;
    [[nodiscard]] QAccessibleInterface* child(int index) const override;
    [[nodiscard]] int childCount() const override { return 0; }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override;
    [[nodiscard]] QString text(QAccessible::Text which) const override;
    void setText(QAccessible::Text which, const QString& text) override;
    [[nodiscard]] QRect rect() const override;
    [[nodiscard]] QAccessible::Role role() const override { return QAccessible::ListItem; }
    [[nodiscard]] QAccessible::State state() const override;

private:
    QPointer<CMarkupListCtrl> m_list;
    int m_row;
};

} // namespace tarvex::ui
