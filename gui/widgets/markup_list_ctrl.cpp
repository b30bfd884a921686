#include "gui/widgets/markup_list_ctrl.h"

#include "gui/platform/clipboard.h"
#include "gui/widgets/accessible_events.h"
#include "gui/widgets/markup_list_accessible.h"
#include "res/menus.h"
#include "ui/spoken_text.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
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

// Without a screen reader Qt drops the notice; asking first spares making the row's interface.
} // namespace

CMarkupListCtrl::CMarkupListCtrl(QWidget* parent) : QTableView(parent), m_model(this) {
    setModel(&m_model);
    setItemDelegate(new MarkupDelegate(*this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // One tab stop: Tab and Backtab leave the list instead of walking its cells.
    setTabKeyNavigation(false);
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
    MarkupListAccessible::install(*this);
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

bool CMarkupListCtrl::columnShown(int column) const {
    return column >= 0 && column < columnCount() && !isColumnHidden(column) &&
           columnWidth(column) > 0;
}

QRect CMarkupListCtrl::rowArea(int row) const {
    if (row < 0 || row >= itemCount()) {
        return {};
    }
    QRect area;
    for (int column = 0; column < columnCount(); ++column) {
        if (columnShown(column)) {
            area = area.united(QRect{columnViewportPosition(column), rowViewportPosition(row),
                                     columnWidth(column), rowHeight(row)});
        }
    }
    return area;
}

std::string CMarkupListCtrl::spokenRow(int row) const {
    std::vector<std::string> parts;
    for (int column = 1; column < columnCount(); ++column) {
        if (columnShown(column)) {
            parts.push_back(cellText(row, column));
        }
    }
    if (columnShown(0)) {
        parts.push_back(cellText(row, 0));
    }
    return spokenParts(parts);
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
    QPainter painter{viewport()};
    if (!emptyText.isEmpty() && itemCount() == 0) {
        const QRect area = viewport()->rect();
        // The desktop's window colours: what Qt calls the base of views and their text.
        painter.fillRect(area, palette().color(QPalette::Base));
        painter.setPen(palette().color(QPalette::Text));
        // The desktop's ordinary proportional font, not the rows' font.
        painter.setFont(QFont{});
        painter.drawText(area.adjusted(0, 10, 0, 0),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, emptyText);
    }
    if (hasFocus()) {
        drawFocusFrame(painter);
    }
}

void CMarkupListCtrl::drawFocusFrame(QPainter& painter) const {
    // Drawn here rather than by the style: some styles tint the area faintly instead of framing
    // it, and the frame must show on a highlighted row as on a plain one.
    const QModelIndex current = currentIndex();
    const bool onRow = current.isValid() && current.row() < itemCount();
    const QRect area = onRow ? rowArea(current.row()) : viewport()->rect();
    if (area.isEmpty()) {
        return;
    }
    const bool highlighted = onRow && selectionModel()->isRowSelected(current.row(), {});
    const QColor colour =
        palette().color(QPalette::Active, highlighted ? QPalette::HighlightedText : QPalette::Text);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen{colour, 1, Qt::DotLine});
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.restore();
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

void CMarkupListCtrl::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier) {
        if (itemCount() > 0 && contextMenuId != 0) {
            ShowContextMenu(keyboardMenuPosition());
        }
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        // Qt's own copies the current cell's raw text; the list copies rows.
        copySelectionFromKey();
        event->accept();
        return;
    }
    if (key == Qt::Key_Delete && modifiers == 0 && deleteCommandId != 0) {
        sendCommand(deleteCommandId);
        event->accept();
        return;
    }
    const bool enter = (key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == 0;
    const bool space = key == Qt::Key_Space && modifiers == 0;
    if (enter || space) {
        const QModelIndex current = currentIndex();
        if (defaultCommandId != 0 && itemCount() > 0 && current.isValid()) {
            if (!selectionModel()->isRowSelected(current.row(), {})) {
                selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
            }
            PostDefaultCommand();
            event->accept();
            return;
        }
        if (enter) {
            // Left to the dialog, whose default button runs.
            event->ignore();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void CMarkupListCtrl::scrollTo(const QModelIndex& index, ScrollHint hint) {
    QScrollBar& sideways = *horizontalScrollBar();
    const int offset = sideways.value();
    QTableView::scrollTo(index, hint);
    sideways.setValue(offset);
}

void CMarkupListCtrl::copySelectionFromKey() {
    CopySelectedRows();
}

bool CMarkupListCtrl::sendCommand(int command) const {
    if (!m_commands) {
        return false;
    }
    m_commands(command);
    return true;
}

QPoint CMarkupListCtrl::keyboardMenuPosition() {
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() < itemCount()) {
        scrollTo(current);
        const QRect area = rowArea(current.row()).intersected(viewport()->rect());
        if (!area.isEmpty()) {
            return viewport()->mapToGlobal(
                QPoint{area.left() + cellInset(), area.top() + area.height() / 2});
        }
    }
    return mapToGlobal(QPoint{0, 0});
}

void CMarkupListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    if (itemCount() > 0 && contextMenuId != 0) {
        ShowContextMenu(event->reason() == QContextMenuEvent::Keyboard ? keyboardMenuPosition()
                                                                       : event->globalPos());
    }
}

QModelIndex CMarkupListCtrl::moveCursor(CursorAction cursorAction,
                                        Qt::KeyboardModifiers modifiers) {
    // Tab leaves the list, so these come only from Qt's focus-in, which would make the first
    // cell current without selecting it. A list without a current row stays so until a key
    // moves, and the first Down or Home then selects the first row.
    if (cursorAction == MoveNext || cursorAction == MovePrevious) {
        return {};
    }
    const QModelIndex current = currentIndex();
    if (current.isValid() && (cursorAction == MoveLeft || cursorAction == MoveRight)) {
        // Step over zero-width columns: they are hidden, and scrolling to them would push "#"
        // out of sight.
        const int step = (cursorAction == MoveRight) != isRightToLeft() ? 1 : -1;
        for (int column = current.column() + step; column >= 0 && column < columnCount();
             column += step) {
            if (columnShown(column)) {
                return model()->index(current.row(), column);
            }
        }
        return current;
    }
    // Home and End go to the first and last row, as in any list.
    const bool wholeList = cursorAction == MoveHome || cursorAction == MoveEnd;
    const QModelIndex target = QTableView::moveCursor(
        cursorAction, wholeList ? modifiers | Qt::ControlModifier : modifiers);
    if (!target.isValid()) {
        return target;
    }
    int column = current.isValid() && columnShown(current.column()) ? current.column() : 0;
    while (column < columnCount() && !columnShown(column)) {
        ++column;
    }
    return column < columnCount() ? model()->index(target.row(), column) : QModelIndex{};
}

void CMarkupListCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // QTableView's own tells screen readers about a cell; here the accessible children are rows.
    // NOLINTNEXTLINE(bugprone-parent-virtual-call)
    QAbstractItemView::currentChanged(current, previous);
    if (current.isValid() && !columnShown(current.column())) {
        // A hidden column never holds the current index: move it to a shown one of its row.
        for (int column = 0; column < columnCount(); ++column) {
            if (columnShown(column)) {
                selectionModel()->setCurrentIndex(model()->index(current.row(), column),
                                                  QItemSelectionModel::NoUpdate);
                return;
            }
        }
    }
    // The focus frame spans the row, not only the cells Qt repaints.
    viewport()->update();
    // A move within the row is not news; a move off a hidden column (set from outside) is.
    if (current.isValid() && hasFocus() &&
        (current.row() != previous.row() || !columnShown(previous.column()))) {
        announce(QAccessible::Focus, current.row());
    }
}

void CMarkupListCtrl::announce(QAccessible::Event event, int row) {
    QAccessibleEvent notice{this, event};
    if (row >= 0) {
        notice.setChild(row);
    }
    sendAccessibleEvent(notice);
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
    // QTableView's own tells screen readers about cells; here they hear about rows.
    // NOLINTNEXTLINE(bugprone-parent-virtual-call)
    QAbstractItemView::selectionChanged(selected, deselected);
    int selectedRows = 0;
    int lastSelected = -1;
    for (const QModelIndex& index : selected.indexes()) {
        if (index.column() != 0) {
            continue;
        }
        ++selectedRows;
        lastSelected = index.row();
        currentItem = index.row();
        if (selectCommandId != 0 && m_commands) {
            m_commands(selectCommandId);
        }
    }
    if (selectedRows == 1 && deselected.isEmpty()) {
        announce(QAccessible::SelectionAdd, lastSelected);
    } else if (selectedRows == 1) {
        announce(QAccessible::Selection, lastSelected);
    } else if (!selected.isEmpty() || !deselected.isEmpty()) {
        announce(QAccessible::SelectionWithin, -1);
    }
}

} // namespace tarvex::ui
