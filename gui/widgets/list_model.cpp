#include "gui/widgets/list_model.h"

namespace tarvex::ui {

void ListModel::insertColumn(const QString& header) {
    const int at = static_cast<int>(m_headers.size());
    beginInsertColumns({}, at, at);
    m_headers.append(header);
    endInsertColumns();
}

void ListModel::setItemCount(int count) {
    beginResetModel();
    m_count = count < 0 ? 0 : count;
    endResetModel();
}

std::string ListModel::cellText(int row, int column) const {
    if (!m_source || row < 0 || row >= m_count || column < 0 || column >= m_headers.size()) {
        return {};
    }
    return m_source(row, column);
}

QString ListModel::headerText(int column) const {
    return column >= 0 && column < m_headers.size() ? m_headers[column] : QString{};
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_count;
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    // Screen readers read the same text the copy commands take.
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        return QString::fromStdString(cellText(index.row(), index.column()));
    }
    return {};
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_headers.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_headers[section];
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace tarvex::ui
