// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpwindow.h"

#include "helptopics.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textstyle.h"
#include "views/labels.h"
#include "windowplacement.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextTable>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QList<HelpTopic> &topics()
{
    static const QList<HelpTopic> all = HelpTopics::all();
    return all;
}

bool topicMentions(const HelpTopic &topic, const QString &text)
{
    if (topic.title.contains(text, Qt::CaseInsensitive))
        return true;
    for (const HelpSection &section : topic.sections) {
        if (section.heading.contains(text, Qt::CaseInsensitive))
            return true;
        for (const QString &paragraph : section.paragraphs) {
            if (paragraph.contains(text, Qt::CaseInsensitive))
                return true;
        }
        for (const auto &[key, meaning] : section.table) {
            if (key.contains(text, Qt::CaseInsensitive)
                || meaning.contains(text, Qt::CaseInsensitive))
                return true;
        }
    }
    return false;
}

} // namespace

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_topics(new QListWidget(this))
    , m_page(new QTextBrowser(this))
    , m_findBar(new QWidget(this))
    , m_findField(new QLineEdit(m_findBar))
    , m_findStatus(plainLabel({}, m_findBar, u"findStatus"_s))
{
    setObjectName(u"help"_s);
    setWindowTitle(u"Skyvelle Help"_s);

    m_topics->setObjectName(u"helpTopics"_s);
    m_topics->setAccessibleName(u"Help topics"_s);
    m_topics->setFixedWidth(210);
    m_topics->setIconSize(QSize(18, 18));
    m_topics->setFrameShape(QFrame::NoFrame);
    m_topics->setSpacing(1);
    for (const HelpTopic &topic : topics()) {
        auto *item = new QListWidgetItem(Symbols::icon(topic.symbol), topic.title, m_topics);
        item->setSizeHint(QSize(0, 30));
    }
    // The sidebar sits on the window colour, the page on the base colour, as in Settings.
    m_topics->viewport()->setAutoFillBackground(false);
    m_topics->setAutoFillBackground(false);
    connect(m_topics, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            buildPage(row);
    });

    m_page->setObjectName(u"helpPage"_s);
    m_page->setAccessibleName(u"Help page"_s);
    m_page->setOpenLinks(false);
    m_page->setFrameShape(QFrame::NoFrame);
    m_page->document()->setDocumentMargin(24);

    m_findBar->setObjectName(u"findBar"_s);
    m_findField->setObjectName(u"findField"_s);
    m_findField->setAccessibleName(u"Find in help"_s);
    m_findField->setPlaceholderText(u"Find in help"_s);
    enableClearButton(m_findField);
    m_findField->installEventFilter(this);
    connect(m_findField, &QLineEdit::textEdited, this, [this] {
        // Typing searches again from the top of the page, as a browser's find does.
        m_page->moveCursor(QTextCursor::Start);
        findNext();
    });
    connect(m_findField, &QLineEdit::returnPressed, this, &HelpWindow::findNext);
    auto *next = new QToolButton(m_findBar);
    next->setIcon(Symbols::icon(u"chevron.down"_s));
    next->setToolTip(u"Next match (Enter)"_s);
    next->setAccessibleName(u"Next match"_s);
    connect(next, &QToolButton::clicked, this, &HelpWindow::findNext);
    auto *done = new QToolButton(m_findBar);
    done->setIcon(Symbols::icon(u"xmark"_s));
    done->setToolTip(u"Close the find bar (Escape)"_s);
    done->setAccessibleName(u"Close find bar"_s);
    connect(done, &QToolButton::clicked, this, &HelpWindow::closeFindBar);
    setTextColor(m_findStatus, SystemColors::secondaryText(palette()));
    auto *findLayout = new QHBoxLayout(m_findBar);
    findLayout->setContentsMargins(12, 6, 12, 6);
    findLayout->addWidget(m_findField, 1);
    findLayout->addWidget(m_findStatus);
    findLayout->addWidget(next);
    findLayout->addWidget(done);
    m_findBar->hide();

    auto *pageColumn = new QVBoxLayout;
    pageColumn->setSpacing(0);
    pageColumn->addWidget(m_findBar);
    pageColumn->addWidget(m_page, 1);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_topics);
    layout->addLayout(pageColumn, 1);

    auto *findShortcut = new QShortcut(QKeySequence::Find, this);
    connect(findShortcut, &QShortcut::activated, this, &HelpWindow::openFindBar);

    m_topics->setCurrentRow(0);
    m_topics->setFocus();
    setTabOrder(m_topics, m_page);
    resize(780, 540);
}

void HelpWindow::present(QWidget *near)
{
    presentWindow(this, near);
}

void HelpWindow::showTopic(int index)
{
    m_topics->setCurrentRow(index);
}

int HelpWindow::currentTopic() const
{
    return m_topics->currentRow();
}

void HelpWindow::find(const QString &text)
{
    openFindBar();
    m_findField->setText(text);
    m_page->moveCursor(QTextCursor::Start);
    findNext();
}

bool HelpWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_findField && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        closeFindBar();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HelpWindow::buildPage(int index)
{
    const HelpTopic &topic = topics().at(index);
    QTextDocument *document = m_page->document();
    document->clear();
    // Built block by block rather than from markup, so no character of the text can turn
    // into formatting.
    QTextCursor cursor(document);
    const QFont base = font();
    QTextBlockFormat paragraph;
    paragraph.setBottomMargin(8);
    paragraph.setLineHeight(125, QTextBlockFormat::ProportionalHeight);
    QTextCharFormat body;
    body.setFont(base);
    QTextCharFormat title;
    title.setFont(TextStyle::relativeFont(base, 1.6, QFont::Bold));
    QTextCharFormat heading;
    heading.setFont(TextStyle::relativeFont(base, 1.15, QFont::DemiBold));
    QTextBlockFormat headingBlock;
    headingBlock.setTopMargin(10);
    headingBlock.setBottomMargin(4);
    // Settings-file lines read as code: monospaced, as they are typed.
    QTextCharFormat code = body;
    code.setFontFamilies({ u"monospace"_s });
    code.setFontFixedPitch(true);

    QTextBlockFormat titleBlock;
    titleBlock.setBottomMargin(12);
    cursor.setBlockFormat(titleBlock);
    cursor.insertText(topic.title, title);
    for (const HelpSection &section : topic.sections) {
        if (!section.heading.isEmpty()) {
            cursor.insertBlock(headingBlock, heading);
            cursor.insertText(section.heading, heading);
        }
        for (const QString &text : section.paragraphs) {
            const bool isCode = text.startsWith(u'[');
            cursor.insertBlock(paragraph, isCode ? code : body);
            // Line breaks inside a paragraph stay in the same block.
            cursor.insertText(
                QString(text).replace(u'\n', QChar::LineSeparator), isCode ? code : body);
        }
        if (!section.table.isEmpty()) {
            cursor.insertBlock(paragraph, body);
            QTextTableFormat layout;
            layout.setBorderStyle(QTextFrameFormat::BorderStyle_None);
            layout.setCellPadding(3);
            layout.setCellSpacing(0);
            layout.setColumnWidthConstraints(
                { QTextLength(QTextLength::FixedLength, 130), QTextLength() });
            QTextTable *table = cursor.insertTable(int(section.table.size()), 2, layout);
            QTextCharFormat key = body;
            key.setFontWeight(QFont::DemiBold);
            for (int row = 0; row < section.table.size(); ++row) {
                table->cellAt(row, 0).firstCursorPosition().insertText(
                    section.table.at(row).first, key);
                table->cellAt(row, 1).firstCursorPosition().insertText(
                    section.table.at(row).second, body);
            }
            cursor.movePosition(QTextCursor::End);
        }
    }
    m_page->moveCursor(QTextCursor::Start);
    m_page->verticalScrollBar()->setValue(0);
    if (m_findBar->isVisible())
        highlightMatches();
}

void HelpWindow::openFindBar()
{
    m_findBar->show();
    m_findField->setFocus(Qt::ShortcutFocusReason);
    m_findField->selectAll();
    highlightMatches();
}

void HelpWindow::closeFindBar()
{
    m_findBar->hide();
    m_findStatus->clear();
    m_page->setExtraSelections({});
    m_page->setFocus(Qt::OtherFocusReason);
}

void HelpWindow::findNext()
{
    const QString text = m_findField->text();
    if (text.isEmpty()) {
        highlightMatches();
        return;
    }
    QTextCursor match = m_page->document()->find(text, m_page->textCursor());
    if (match.isNull()) {
        // Past the page's last match: the next topic that mentions it, wrapping round to
        // this page's first.
        const int count = int(topics().size());
        for (int step = 1; step <= count; ++step) {
            const int index = (currentTopic() + step) % count;
            if (topicMentions(topics().at(index), text)) {
                if (index != currentTopic())
                    showTopic(index);
                match = m_page->document()->find(text, 0);
                break;
            }
        }
    }
    if (!match.isNull())
        m_page->setTextCursor(match);
    highlightMatches();
}

void HelpWindow::highlightMatches()
{
    const QString text = m_findField->text();
    QList<QTextEdit::ExtraSelection> selections;
    if (!text.isEmpty()) {
        QTextCharFormat marked;
        marked.setBackground(SystemColors::withAlpha(SystemColors::orange(palette()), 0.45));
        for (QTextCursor c = m_page->document()->find(text, 0); !c.isNull();
             c = m_page->document()->find(text, c))
            selections.append({ c, marked });
    }
    m_page->setExtraSelections(selections);
    if (text.isEmpty())
        m_findStatus->clear();
    else if (selections.isEmpty())
        m_findStatus->setText(u"Not found"_s);
    else
        m_findStatus->setText(
            selections.size() == 1 ? u"1 match"_s : u"%1 matches"_s.arg(selections.size()));
}
