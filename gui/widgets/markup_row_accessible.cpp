#include "gui/widgets/markup_row_accessible.h"

#include "gui/widgets/markup_list_ctrl.h"

#include <QWindow>

namespace tarvex::ui {

MarkupRowAccessible::MarkupRowAccessible(CMarkupListCtrl& list, int row)
    : m_list(&list), m_row(row) {}

bool MarkupRowAccessible::isValid() const {
    return !m_list.isNull() && m_row >= 0 && m_row < m_list->itemCount();
}

QWindow* MarkupRowAccessible::window() const {
    return m_list.isNull() ? nullptr : m_list->window()->windowHandle();
}

QAccessibleInterface* MarkupRowAccessible::childAt(int /*x*/, int /*y*/) const {
    return nullptr;
}

QAccessibleInterface* MarkupRowAccessible::parent() const {
    return m_list.isNull() ? nullptr : QAccessible::queryAccessibleInterface(m_list.data());
}

QAccessibleInterface* MarkupRowAccessible::child(int /*index*/) const {
    return nullptr;
}

int MarkupRowAccessible::indexOfChild(const QAccessibleInterface* /*child*/) const {
    return -1;
}

QString MarkupRowAccessible::text(QAccessible::Text which) const {
    if (which != QAccessible::Name || !isValid()) {
        return {};
    }
    return QString::fromStdString(m_list->spokenRow(m_row));
}

void MarkupRowAccessible::setText(QAccessible::Text /*which*/, const QString& /*text*/) {
    // A row's text comes from the list's source; it cannot be set from outside.
}

QRect MarkupRowAccessible::rect() const {
    if (!isValid()) {
        return {};
    }
    const QRect area = m_list->rowArea(m_row);
    return {m_list->viewport()->mapToGlobal(area.topLeft()), area.size()};
}

QAccessible::State MarkupRowAccessible::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.selectable = true;
    state.focusable = true;
    state.selected = m_list->selectionModel()->isRowSelected(m_row, {});
    const QModelIndex current = m_list->currentIndex();
    state.focused = m_list->hasFocus() && current.isValid() && current.row() == m_row;
    state.disabled = !m_list->isEnabled();
    state.offscreen = !m_list->viewport()->rect().intersects(m_list->rowArea(m_row));
    return state;
}

} // namespace tarvex::ui
