#include "gui/widgets/markup_list_ctrl.h"

#include "gui/platform/clipboard.h"
#include "res/menus.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>

namespace tarvex::ui {
namespace {

// Hands every cell to the list's own DrawItem.
class MarkupDelegate final : public QStyledItemDelegate {
public:
    explicit MarkupDelegate(CMarkupListCtrl& list) : QStyledItemDelegate(&list), m_list(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        // Selection is shown always, whether the list has the focus or not.
        const bool highlighted = (option.state & QStyle::State_Selected) != 0;
        painter->save();
        m_list.DrawItem(*painter, option.rect, index.row(), index.column(), highlighted);
        painter->restore();
    }

private:
    CMarkupListCtrl& m_list;
};

void addMenuItems(QMenu& menu, std::span<const res::MenuItem> items) {
    for (const res::MenuItem& item : items) {
        const QString text =
            QString::fromUtf8(item.text.data(), static_cast<qsizetype>(item.text.size()));
        if (!item.items.empty()) {
            addMenuItems(*menu.addMenu(text), item.items);
        } else {
            menu.addAction(text)->setData(item.command);
        }
    }
}

} // namespace

CMarkupListCtrl::CMarkupListCtrl(QWidget* parent) : QTableView(parent), m_model(this) {
    setModel(&m_model);
    setItemDelegate(new MarkupDelegate(*this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont font{QStringLiteral("Arial")};
    font.setPixelSize(14);
    font.setWeight(QFont::DemiBold);
    setListFont(font, 14);
}

void CMarkupListCtrl::setTextSource(ListModel::TextSource source) {
    m_model.setTextSource(std::move(source));
}

void CMarkupListCtrl::insertColumn(const QString& header, int width) {
    m_model.insertColumn(header);
    horizontalHeader()->resizeSection(m_model.columnCount() - 1, width);
}

void CMarkupListCtrl::setItemCount(int count) {
    m_model.setItemCount(count);
    currentItem = -1;
}

void CMarkupListCtrl::setListFont(const QFont& font, int pixelHeight) {
    m_baseFont = font;
    m_fontHeight = std::abs(pixelHeight);
    setFont(font);
    verticalHeader()->setDefaultSectionSize(std::max(1, itemHeight()));
    viewport()->update();
}

std::vector<int> CMarkupListCtrl::selectedRows() const {
    std::vector<int> rows;
    if (selectionModel() == nullptr) {
        return rows;
    }
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CMarkupListCtrl::GetCurrentSelection() {
    if (itemCount() > 0 && currentItem >= 0 && currentItem < itemCount() &&
        selectionModel()->isRowSelected(currentItem, {})) {
        return currentItem;
    }
    currentItem = -1;
    return -1;
}

int CMarkupListCtrl::GetSelectedColumnTexts(int column, std::vector<std::string>& out) const {
    out.clear();
    if (column < 0 || column >= columnCount()) {
        return 0;
    }
    for (const int row : selectedRows()) {
        out.push_back(cellText(row, column));
    }
    return static_cast<int>(out.size());
}

int CMarkupListCtrl::GetAllColumnTexts(int column, std::vector<std::string>& out) const {
    out.clear();
    if (column < 0 || column >= columnCount()) {
        return 0;
    }
    for (int row = 0; row < rowCount(); ++row) {
        out.push_back(cellText(row, column));
    }
    return static_cast<int>(out.size());
}

bool CMarkupListCtrl::FullTableText(std::string& text) const {
    text = fullTableText(*this);
    return !text.empty();
}

bool CMarkupListCtrl::SelectedRowsText(std::string& text, int column) const {
    text = selectedRowsText(*this, selectedRows(), column);
    return !text.empty();
}

void CMarkupListCtrl::CopyFullTable() const {
    std::string text;
    if (FullTableText(text)) {
        (void)CopyTextToClipboard(text);
    }
}

void CMarkupListCtrl::CopySelectedRows() const {
    std::string text;
    if (SelectedRowsText(text, -1)) {
        (void)CopyTextToClipboard(text);
    }
}

std::string CMarkupListCtrl::headerText(int column) const {
    return m_model.headerText(column).toStdString();
}

std::string CMarkupListCtrl::cellText(int row, int column) const {
    return m_model.cellText(row, column);
}

QColor CMarkupListCtrl::resolve(const RunColour& colour) const {
    if (colour.highlightText) {
        return palette().color(QPalette::Active, QPalette::HighlightedText);
    }
    return {colour.rgb.red, colour.rgb.green, colour.rgb.blue};
}

int CMarkupListCtrl::cellInset() const {
    return QFontMetrics{m_baseFont}.horizontalAdvance(QLatin1Char(' ')) / 2;
}

void CMarkupListCtrl::fillBackground(QPainter& painter, const QRect& cell, int row,
                                     bool highlighted) const {
    if (highlighted) {
        painter.fillRect(cell, palette().color(QPalette::Active, QPalette::Highlight));
    } else {
        painter.fillRect(cell, row % 2 == 0 ? backColorEven : backColorOdd);
    }
}

void CMarkupListCtrl::drawRuns(QPainter& painter, const std::vector<MarkupRun>& runs,
                               const QFont& font, int left, int top, int right, int height) const {
    painter.setFont(font);
    const QFontMetrics metrics{font};
    int x = left;
    for (const MarkupRun& run : runs) {
        if (x >= right) {
            break;
        }
        const QString text = QString::fromStdString(run.text);
        const QString shown = metrics.elidedText(text, Qt::ElideRight, right - x);
        painter.setPen(resolve(run.colour));
        painter.drawText(QRect{x, top, right - x, height},
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
        x += metrics.horizontalAdvance(text);
    }
}

void CMarkupListCtrl::DrawItem(QPainter& painter, const QRect& cell, int row, int column,
                               bool highlighted) {
    const bool enabled = isEnabled();
    if (enabled) {
        fillBackground(painter, cell, row, highlighted);
    }
    RunColour start{colours.text, highlighted};
    if (!enabled) {
        const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
        start = RunColour{{static_cast<std::uint8_t>(grey.red()),
                           static_cast<std::uint8_t>(grey.green()),
                           static_cast<std::uint8_t>(grey.blue())},
                          false};
    }
    const int inset = cellInset();
    drawRuns(painter, markupRuns(cellText(row, column), start, colours, highlighted), m_baseFont,
             cell.left() + inset, cell.top(), cell.right() - inset, cell.height());
}

void CMarkupListCtrl::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (emptyText.isEmpty() || itemCount() > 0) {
        return;
    }
    QPainter painter{viewport()};
    const QRect area = viewport()->rect();
    // The desktop's window colours: what Qt calls the base of views and their text.
    painter.fillRect(area, palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    // The desktop's ordinary proportional font, not the rows' font.
    painter.setFont(QFont{});
    painter.drawText(area.adjusted(0, 10, 0, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     emptyText);
}

void CMarkupListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (defaultCommandId != 0 && itemCount() > 0) {
        PostDefaultCommand();
    }
}

void CMarkupListCtrl::PostDefaultCommand() {
    // Posted, not sent: the owner handles it after the click has been dealt with.
    const int command = defaultCommandId;
    QTimer::singleShot(0, this, [this, command] {
        if (m_commands) {
            m_commands(command);
        }
    });
}

void CMarkupListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    if (itemCount() > 0 && contextMenuId != 0) {
        ShowContextMenu(event->globalPos());
    }
}

void CMarkupListCtrl::ShowContextMenu(const QPoint& globalPosition) {
    const res::MenuResource* resource = res::findMenu(contextMenuId);
    if (resource == nullptr || resource->items.empty()) {
        return;
    }
    QMenu menu{this};
    addMenuItems(menu, resource->items.front().items);
    const QAction* chosen = menu.exec(globalPosition);
    if (chosen != nullptr && m_commands) {
        m_commands(chosen->data().toInt());
    }
}

void CMarkupListCtrl::selectionChanged(const QItemSelection& selected,
                                       const QItemSelection& deselected) {
    QTableView::selectionChanged(selected, deselected);
    for (const QModelIndex& index : selected.indexes()) {
        if (index.column() != 0) {
            continue;
        }
        currentItem = index.row();
        if (selectCommandId != 0 && m_commands) {
            m_commands(selectCommandId);
        }
    }
}

} // namespace tarvex::ui
