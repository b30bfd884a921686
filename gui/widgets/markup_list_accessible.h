#pragma once

#include <QAccessibleWidget>
#include <QMetaObject>

#include <map>
#include <vector>

namespace tarvex::ui {

class CMarkupListCtrl;

// A markup list as screen readers see it: a list whose children are its rows, one list item per
// row. Columns, cells and headers are not exposed: the rows' names already say what the shown
// columns hold. A row keeps one registered interface until the rows change.
class MarkupListAccessible final : public QAccessibleWidget {
public:
    explicit MarkupListAccessible(CMarkupListCtrl& list);
    MarkupListAccessible(const MarkupListAccessible&) = delete;
    MarkupListAccessible& operator=(const MarkupListAccessible&) = delete;
    ~MarkupListAccessible() override;

    // Makes Qt answer with this interface for every markup list, once per application; drops an
    // interface Qt made for `list` before the list was whole (while its base class was built).
    static void install(CMarkupListCtrl& list);

    [[nodiscard]] int childCount() const override;
    [[nodiscard]] QAccessibleInterface* child(int index) const override;
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override;
    [[nodiscard]] QAccessibleInterface* childAt(int x, int y) const override;
    [[nodiscard]] QAccessibleInterface* focusChild() const override;
    [[nodiscard]] QAccessible::State state() const override;

private:
    [[nodiscard]] CMarkupListCtrl& list() const;
    // Unregisters and deletes the rows' interfaces: their row numbers no longer hold.
    void dropRows();

    mutable std::map<int, QAccessible::Id> m_rows;
    std::vector<QMetaObject::Connection> m_connections;
};

} // namespace tarvex::ui
