#pragma once

#include "gui/widgets/list_model.h"
#include "ui/copy_text.h"
#include "ui/markup.h"

#include <QAccessible>
#include <QColor>
#include <QFont>
#include <QTableView>

#include <functional>
#include <string>
#include <vector>

namespace tarvex::ui {

// A list of rows drawn with a small colour mark-up; it shows a text while empty and turns double
// clicks, right clicks and selection changes into commands of its owner. From the keyboard it is
// one tab stop that moves by rows: Enter and Space run the default command, Shift+F10 and the
// Menu key open the context menu, Ctrl+C copies the selected rows. Screen readers see a list of
// rows (MarkupListAccessible).
class CMarkupListCtrl : public QTableView, public CellSource {
public:
    // Where the list's commands go: the owner window's command routing.
    using CommandTarget = std::function<void(int command)>;

    explicit CMarkupListCtrl(QWidget* parent = nullptr);

    void setCommandTarget(CommandTarget target) { m_commands = std::move(target); }
    void setTextSource(ListModel::TextSource source);
    void insertColumn(const QString& header, int width);
    // The row count; the list asks for texts by row index as it draws.
    void setItemCount(int count);
    [[nodiscard]] int itemCount() const { return m_model.itemCount(); }
    // Sets the rows' font and measures the rows again: height = |font height| × percent / 100.
    void setListFont(const QFont& font, int pixelHeight);
    [[nodiscard]] int itemHeight() const { return m_fontHeight * rowHeightPercent / 100; }
    // The width inside the frame less a vertical scroll bar on screen; before the list is first
    // shown (the viewport not laid out yet), the width inside the frame.
    [[nodiscard]] int clientWidth() const {
        return isVisible() ? viewport()->width() : maximumViewportSize().width();
    }

    // Selected rows in ascending order.
    [[nodiscard]] std::vector<int> selectedRows() const;
    // The row that most recently became selected, when it still is; else -1.
    int GetCurrentSelection();
    int GetSelectedColumnTexts(int column, std::vector<std::string>& out) const;
    int GetAllColumnTexts(int column, std::vector<std::string>& out) const;

    [[nodiscard]] bool FullTableText(std::string& text) const;
    [[nodiscard]] bool SelectedRowsText(std::string& text, int column) const;
    void CopyFullTable() const;
    void CopySelectedRows() const;

    // CellSource: what the copy commands read.
    [[nodiscard]] int rowCount() const override { return m_model.itemCount(); }
    [[nodiscard]] int columnCount() const override { return m_model.columnCount(); }
    [[nodiscard]] std::string headerText(int column) const override;
    [[nodiscard]] std::string cellText(int row, int column) const override;

    // Whether a column takes part: zero-width columns are hidden ones.
    [[nodiscard]] bool columnShown(int column) const;
    // The area a row's highlight covers, in viewport coordinates: the shown columns, left to
    // right. Empty for a row outside the list.
    [[nodiscard]] QRect rowArea(int row) const;
    // What a screen reader hears for a row: the shown columns' texts after the first (the row
    // number), then the number, stripped of mark-up.
    [[nodiscard]] virtual std::string spokenRow(int row) const;

    // Draws one cell of a row: background, then the cell's text.
    virtual void DrawItem(QPainter& painter, const QRect& cell, int row, int column,
                          bool highlighted);

    int highlightMode = 1;
    int rowHeightPercent = 130;
    QColor backColorOdd{255, 255, 255};
    QColor backColorEven{240, 255, 255};
    MarkupColours colours;
    QString emptyText = QStringLiteral("The list is empty");
    int contextMenuId = 0;
    int defaultCommandId = 0;
    int selectCommandId = 0;
    // The owner's command for the Delete key; 0 for none.
    int deleteCommandId = 0;
    int currentItem = -1;

    // Brings a row into view; the sideways offset stays where the scroll bar has it, so that a
    // click or a key on a cell wider than the view never slides "#" out of sight.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

    virtual void PostDefaultCommand();
    virtual void ShowContextMenu(const QPoint& globalPosition);
    // Ctrl+C: the list copies its selected rows itself.
    virtual void copySelectionFromKey();
    // Hands `command` to the owner; false when the list has no command target.
    bool sendCommand(int command) const;

    // Draws the runs of one line from `left`, cut at `right` with an ellipsis.
    void drawRuns(QPainter& painter, const std::vector<MarkupRun>& runs, const QFont& font,
                  int left, int top, int right, int height) const;
    [[nodiscard]] QColor resolve(const RunColour& colour) const;
    void fillBackground(QPainter& painter, const QRect& cell, int row, bool highlighted) const;
    // Half a blank of the base font: the inset of every cell.
    [[nodiscard]] int cellInset() const;

private:
    // Where a menu opened from the keyboard appears: at the current row, else the top-left.
    [[nodiscard]] QPoint keyboardMenuPosition();
    // A dotted frame around the current row, or the viewport when there is none.
    void drawFocusFrame(QPainter& painter) const;
    // Tells screen readers about a row, or about the list itself when `row` is -1.
    void announce(QAccessible::Event event, int row);

    ListModel m_model;
    CommandTarget m_commands;
    QFont m_baseFont;
    int m_fontHeight = 14;
};

} // namespace tarvex::ui
