#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>
#include <string>

namespace tarvex::ui {

// A model that holds only a row count and the headers and asks for each cell's text by row
// index when it is wanted: the list keeps no item of its own.
class ListModel final : public QAbstractTableModel {
public:
    using TextSource = std::function<std::string(int row, int column)>;

    explicit ListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setTextSource(TextSource source) { m_source = std::move(source); }
    void insertColumn(const QString& header);
    void setItemCount(int count);
    [[nodiscard]] int itemCount() const { return m_count; }
    [[nodiscard]] std::string cellText(int row, int column) const;
    [[nodiscard]] QString headerText(int column) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    TextSource m_source;
    QStringList m_headers;
    int m_count = 0;
};

} // namespace tarvex::ui
