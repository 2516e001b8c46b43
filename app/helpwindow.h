// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QTextBrowser;

// The "Skyvelle Help" window: a sidebar of topics beside a scrolling page. Up and Down in the
// sidebar move between topics; Ctrl+F opens a find bar over the page, where Enter goes to the
// next match (on to the following topics when the page has no more) and Escape closes it. The
// application keeps one and shows it again when asked.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the window in front and focused, centred on the screen of @p near when it opens.
    void present(QWidget *near);

    // Shows the topic at @p index of the sidebar.
    void showTopic(int index);
    int currentTopic() const;

    // Opens the find bar with @p text and goes to its first match from the top of the page.
    void find(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPage(int index);
    void openFindBar();
    void closeFindBar();
    void findNext();
    void highlightMatches();

    QListWidget *m_topics;
    QTextBrowser *m_page;
    QWidget *m_findBar;
    QLineEdit *m_findField;
    QLabel *m_findStatus;
};
