#include "gui/widgets/google_result_ctrl.h"

#include "gui/platform/clipboard.h"
#include "res/commands.h"
#include "ui/row_text.h"
#include "ui/spoken_text.h"

#include <QFontInfo>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>

namespace tarvex::ui {
namespace {

constexpr int kFontHeight = 16;
constexpr int kBoldHeight = 14;

// Verdana where the desktop has it, else Arial.
QString resultFace() {
    QFont verdana{QStringLiteral("Verdana")};
    verdana.setPixelSize(kFontHeight);
    return QFontInfo{verdana}.family() == QStringLiteral("Verdana") ? QStringLiteral("Verdana")
                                                                    : QStringLiteral("Arial");
}

QFont makeFont(const QString& face, int height, QFont::Weight weight) {
    QFont font{face};
    font.setPixelSize(height);
    font.setWeight(weight);
    return font;
}

} // namespace

CGoogleResultCtrl::CGoogleResultCtrl(QWidget* parent) : CMarkupListCtrl(parent) {
    const QString face = resultFace();
    m_base = makeFont(face, kFontHeight, QFont::Normal);
    m_italic = m_base;
    m_italic.setItalic(true);
    m_underline = m_base;
    m_underline.setUnderline(true);
    m_bold = makeFont(face, kBoldHeight, QFont::Bold);
    rowHeightPercent = kNormalPercent;
    backColorOdd = QColor{255, 255, 255};
    backColorEven = QColor{255, 255, 255};
    setTextSource([this](int row, int column) {
        return resultCellText(m_rows, row, column, spreadSheetMode());
    });
    resetFont();
}

void CGoogleResultCtrl::insertMainColumns(int numberWidth) {
    setShowGrid(true);
    const int width = clientWidth();
    insertColumn(QStringLiteral("#"), numberWidth);
    insertColumn(QStringLiteral("URL"), width - 40);
    insertColumn(QStringLiteral("Title"), 0);
    insertColumn(QStringLiteral("Snippet"), 0);
}

void CGoogleResultCtrl::applyMainLayout(bool spreadSheet) {
    const int width = clientWidth();
    setItemCount(0);
    QHeaderView& header = *horizontalHeader();
    if (spreadSheet) {
        rowHeightPercent = kSpreadSheetPercent;
        header.resizeSection(1, (2 * width - 80) / 3);
        header.resizeSection(2, width);
        header.resizeSection(3, width);
    } else {
        header.resizeSection(1, width - 40);
        rowHeightPercent = kNormalPercent;
        header.resizeSection(2, 0);
        header.resizeSection(3, 0);
    }
    resetFont();
    setItemCount(static_cast<int>(m_rows.urls.size()));
    // An offset left from the other mode would hide "#" behind the left edge.
    horizontalScrollBar()->setValue(0);
}

void CGoogleResultCtrl::resetFont() {
    setListFont(m_base, kFontHeight);
}

void CGoogleResultCtrl::OnAllUrls() const {
    (void)CopyTextToClipboard(allUrlsText(m_rows.urls));
}

void CGoogleResultCtrl::OnSelectedUrls() const {
    (void)CopyTextToClipboard(selectedUrlsText(m_rows.urls, itemCount(), selectedRows()));
}

void CGoogleResultCtrl::OnBrowse(UrlOpener& opener) const {
    const std::string address = browseAddress(*this, selectedRows());
    if (!address.empty()) {
        // A failed launch shows nothing.
        (void)openServiceUrl(opener, address);
    }
}

bool CGoogleResultCtrl::onResultCommand(int command, UrlOpener& opener) const {
    switch (command) {
    case res::kCmdBrowse:
        OnBrowse(opener);
        return true;
    case res::kCmdFullTable:
        CopyFullTable();
        return true;
    case res::kCmdSelectedRows:
        CopySelectedRows();
        return true;
    case res::kCmdAllUrls:
        OnAllUrls();
        return true;
    case res::kCmdSelectedUrls:
        OnSelectedUrls();
        return true;
    default:
        return false;
    }
}

std::string CGoogleResultCtrl::spokenRow(int row) const {
    return spokenResultRow(m_rows, row);
}

void CGoogleResultCtrl::copySelectionFromKey() {
    if (!sendCommand(res::kCmdSelectedRows)) {
        CopySelectedRows();
    }
}

const QFont& CGoogleResultCtrl::lineFont(LineFont font) const {
    switch (font) {
    case LineFont::Underline:
        return m_underline;
    case LineFont::Bold:
        return m_bold;
    case LineFont::Italic:
        return m_italic;
    case LineFont::Base:
        break;
    }
    return m_base;
}

void CGoogleResultCtrl::DrawItem(QPainter& painter, const QRect& cell, int row, int column,
                                 bool highlighted) {
    fillBackground(painter, cell, row, highlighted);
    const int inset = cellInset();
    const int lineStep = itemHeight() / 5;
    const std::vector<CellLine> lines =
        resultCellLines(cellText(row, column), highlighted, highlightMode);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const int top = cell.top() + static_cast<int>(k) * lineStep;
        if (top >= cell.bottom()) {
            break;
        }
        drawRuns(painter, lines[k].runs, lineFont(lines[k].font), cell.left() + inset, top,
                 cell.right() - inset, cell.bottom() - top + 1);
    }
}

} // namespace tarvex::ui
