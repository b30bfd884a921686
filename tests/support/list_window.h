#pragma once

#include "cache/search_result_set.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <string>

namespace tarvex::test {

// `count` results whose texts carry what a screen reader must not hear: tags, entities and line
// breaks. Result k (from 0) reads "Title k & co, http://example.org/k?a=1&b=2, first second <k>".
inline cache::SearchResultSet markedUpResults(int count) {
    cache::SearchResultSet rows;
    for (int k = 0; k < count; ++k) {
        const std::string n = std::to_string(k);
        rows.urls.add("http://example.org/" + n + "?a=1&amp;b=2");
        rows.titles.add("Title <b>" + n + "</b> &amp; co");
        rows.snippets.add("first\r\nsecond &lt;" + n + "&gt;");
        rows.summaries.add("summary " + n);
        rows.directoryTitles.add("Directory");
        rows.categoryNames.add("Category");
    }
    return rows;
}

// A window with a line edit, a list and a button, in that tab order, on the offscreen platform.
// The test sets the list up, then shows the window with the list focused.
template <typename List>
class ListWindow {
public:
    ListWindow()
        : before(new QLineEdit(&window)), list(new List(&window)),
          after(new QPushButton(QStringLiteral("After"), &window)) {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(before);
        layout->addWidget(list);
        layout->addWidget(after);
        window.resize(640, 480);
    }

    // False when the platform would not make the window active or give the list the focus.
    [[nodiscard]] bool showWithListFocused() {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) {
            return false;
        }
        list->setFocus(Qt::TabFocusReason);
        return list->hasFocus();
    }

    QWidget window;
    QLineEdit* before;
    List* list;
    QPushButton* after;
};

} // namespace tarvex::test
