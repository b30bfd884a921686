#include "gui/widgets/markup_list_accessible.h"

#include "gui/widgets/markup_list_ctrl.h"
#include "gui/widgets/markup_row_accessible.h"

#include <QAbstractItemModel>

namespace tarvex::ui {
namespace {

QAccessibleInterface* markupListFactory(const QString& /*className*/, QObject* object) {
    // The list has no meta-object of its own, so Qt names it by its base class: ask the object.
    auto* list = dynamic_cast<CMarkupListCtrl*>(object);
    return list != nullptr ? new MarkupListAccessible(*list) : nullptr;
}

} // namespace

MarkupListAccessible::MarkupListAccessible(CMarkupListCtrl& list)
    : QAccessibleWidget(&list, QAccessible::List) {
    QAbstractItemModel* model = list.model();
    const auto drop = [this] { dropRows(); };
    m_connections = {
        QObject::connect(model, &QAbstractItemModel::modelReset, &list, drop),
        QObject::connect(model, &QAbstractItemModel::rowsInserted, &list, drop),
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, &list, drop),
        QObject::connect(model, &QAbstractItemModel::layoutChanged, &list, drop),
    };
}

MarkupListAccessible::~MarkupListAccessible() {
    for (const QMetaObject::Connection& connection : m_connections) {
        QObject::disconnect(connection);
    }
    dropRows();
}

void MarkupListAccessible::install(CMarkupListCtrl& list) {
    static const bool installed = [] {
        QAccessible::installFactory(&markupListFactory);
        return true;
    }();
    (void)installed;
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&list);
    if (made != nullptr && dynamic_cast<MarkupListAccessible*>(made) == nullptr) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

CMarkupListCtrl& MarkupListAccessible::list() const {
    return *static_cast<CMarkupListCtrl*>(widget());
}

void MarkupListAccessible::dropRows() {
    for (const auto& [row, id] : m_rows) {
        QAccessible::deleteAccessibleInterface(id);
    }
    m_rows.clear();
}

int MarkupListAccessible::childCount() const {
    return list().itemCount();
}

QAccessibleInterface* MarkupListAccessible::child(int index) const {
    if (index < 0 || index >= childCount()) {
        return nullptr;
    }
    const auto found = m_rows.find(index);
    if (found != m_rows.end()) {
        if (QAccessibleInterface* known = QAccessible::accessibleInterface(found->second)) {
            return known;
        }
        m_rows.erase(found);
    }
    auto* row = new MarkupRowAccessible(list(), index);
    m_rows.emplace(index, QAccessible::registerAccessibleInterface(row));
    return row;
}

int MarkupListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* row = dynamic_cast<const MarkupRowAccessible*>(child);
    if (row == nullptr || row->list() != &list() || !row->isValid()) {
        return -1;
    }
    return row->row();
}

QAccessibleInterface* MarkupListAccessible::childAt(int x, int y) const {
    const QWidget& viewport = *list().viewport();
    const QPoint local = viewport.mapFromGlobal(QPoint{x, y});
    if (!viewport.rect().contains(local)) {
        return nullptr;
    }
    return child(list().rowAt(local.y()));
}

QAccessibleInterface* MarkupListAccessible::focusChild() const {
    const QModelIndex current = list().currentIndex();
    if (!list().hasFocus() || !current.isValid()) {
        return nullptr;
    }
    return child(current.row());
}

QAccessible::State MarkupListAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.multiSelectable = list().selectionMode() == QAbstractItemView::ExtendedSelection ||
                            list().selectionMode() == QAbstractItemView::MultiSelection;
    return state;
}

} // namespace tarvex::ui
