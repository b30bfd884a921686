#pragma once

#include "cache/search_result_set.h"
#include "gui/widgets/markup_list_ctrl.h"
#include "ui/url_opener.h"

namespace tarvex::ui {

// The result list: one tall five-line row per result in the normal mode, one row with URL,
// title and snippet in columns in the spreadsheet mode (rowHeightPercent 130).
class CGoogleResultCtrl : public CMarkupListCtrl {
public:
    static constexpr int kNormalPercent = 650;
    static constexpr int kSpreadSheetPercent = 130;

    explicit CGoogleResultCtrl(QWidget* parent = nullptr);

    // The rows shown: a copy of the result set's lists. The owner sets the row count after.
    void setResults(const cache::SearchResultSet& results) { m_rows = results; }
    [[nodiscard]] const cache::SearchResultSet& results() const { return m_rows; }
    [[nodiscard]] bool spreadSheetMode() const { return rowHeightPercent == kSpreadSheetPercent; }
    // The list's own fonts again, so that rows are measured anew.
    void resetFont();
    // The main window's columns: "#" `numberWidth` wide, "URL", and "Title" and "Snippet", which
    // only the spreadsheet mode shows.
    void insertMainColumns(int numberWidth);
    // The main window's column widths and row height for the mode; the rows are measured anew and
    // the view scrolled back to its left edge.
    void applyMainLayout(bool spreadSheet);

    // The copy and browse commands of both result lists.
    void OnAllUrls() const;
    void OnSelectedUrls() const;
    void OnBrowse(UrlOpener& opener) const;
    // Browse (131), Full Table (134), Selected Rows (137), All URLs (138) and Selected URLs
    // (139), as every window with a result list handles them; false for any other command.
    bool onResultCommand(int command, UrlOpener& opener) const;

    void DrawItem(QPainter& painter, const QRect& cell, int row, int column,
                  bool highlighted) override;
    // Title, URL and snippet, whichever columns are shown.
    [[nodiscard]] std::string spokenRow(int row) const override;

protected:
    // Ctrl+C runs the owner's Selected Rows (137), as the menu does; without an owner the list
    // copies the rows itself.
    void copySelectionFromKey() override;

private:
    [[nodiscard]] const QFont& lineFont(LineFont font) const;

    cache::SearchResultSet m_rows;
    QFont m_base;
    QFont m_italic;
    QFont m_underline;
    QFont m_bold;
};

} // namespace tarvex::ui
