// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbookview.h"

#include "labels.h"
#include "sightinglog.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textstyle.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

constexpr int dayWindow = 14;
constexpr int typeRowLimit = 8;

// Type sizes relative to the body text, so that the whole view follows the desktop's font.
QFont title2Font(const QFont &base)
{
    return TextStyle::relativeFont(base, 17.0 / 13.0, QFont::Bold);
}
QFont headlineFont(const QFont &base)
{
    return TextStyle::relativeFont(base, 1.0, QFont::Bold);
}
QFont calloutFont(const QFont &base)
{
    return TextStyle::relativeFont(base, 12.0 / 13.0);
}
QFont captionFont(const QFont &base)
{
    return TextStyle::relativeFont(base, 10.0 / 13.0);
}

// The locale's long date without the weekday and with the short month name ("Dec 7, 2026").
QString abbreviatedDate(const QDate &date, const QLocale &locale)
{
    static const QRegularExpression weekday(u"d{4}[,.]?\\s*"_s);
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(weekday);
    format.replace(u"MMMM"_s, u"MMM"_s);
    return locale.toString(date, format.trimmed());
}

// Whole-number ticks from zero to at least @p top, about four steps.
void fitCounts(QValueAxis *axis, qint64 top)
{
    qint64 step = 1;
    while (top > step * 4) {
        // 1, 2, 5, 10, 20, 50, …
        const qint64 base = step;
        step = base * 2;
        if (top > step * 4)
            step = base * 5;
        if (top > step * 4)
            step = base * 10;
    }
    const qint64 upper = std::max<qint64>(1, (top + step - 1) / step) * step;
    axis->setRange(0, double(upper));
    axis->setTickCount(int(upper / step) + 1);
}

// A rounded panel in a faint shade of the text colour, behind one headline number.
class StatTile : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(SystemColors::isDark(palette()) ? 0.10f : 0.06f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()), 10, 10);
    }
};

} // namespace

LogbookView::LogbookView(SightingLog *log, QWidget *parent)
    : QWidget(parent)
    , m_log(log)
{
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    // Above the scrolled content, so that it is seen whatever part of the logbook is shown.
    m_saveError = new QLabel(this);
    m_saveError->setObjectName(u"saveError"_s);
    m_saveError->setTextFormat(Qt::PlainText);
    m_saveError->setWordWrap(true);
    m_saveError->setContentsMargins(24, 12, 24, 0);
    outer->addWidget(m_saveError);
    outer->addWidget(scroll);

    auto *content = new QWidget;
    content->setObjectName(u"logbookContent"_s);
    content->setMinimumSize(540, 560);
    auto *stack = new QVBoxLayout(content);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(24);

    auto *tiles = new QHBoxLayout;
    tiles->setSpacing(12);
    tiles->addWidget(statTile(u"Today"_s, u"tileToday"_s), 1);
    tiles->addWidget(statTile(u"Last 7 days"_s, u"tileLastSevenDays"_s), 1);
    tiles->addWidget(statTile(u"Aircraft types"_s, u"tileTypes"_s), 1);
    tiles->addWidget(statTile(u"All time"_s, u"tileAllTime"_s), 1);
    stack->addLayout(tiles);

    m_dayChart = barChart(u"dayChart"_s, 160, &m_daySet);
    m_dayAxis = new QBarCategoryAxis(m_dayChart);
    // Fourteen "12/7" labels fit at the narrowest width; eliding them would say nothing.
    m_dayAxis->setTruncateLabels(false);
    m_dayCounts = new QValueAxis(m_dayChart);
    m_dayChart->setAccessibleName(u"Aircraft per day, last 14 days"_s);
    stack->addWidget(section(u"Aircraft per day — last 14 days"_s, m_dayChart));

    m_hourChart = barChart(u"hourChart"_s, 140, &m_hourSet);
    m_hourAxis = new QCategoryAxis(m_hourChart);
    // Bars sit on whole hours; the marks and their grid lines only on these five.
    m_hourAxis->setRange(-0.5, 23.5);
    m_hourAxis->setStartValue(-0.5);
    m_hourAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (int hour : { 0, 6, 12, 18, 23 })
        m_hourAxis->append(u"%1:00"_s.arg(hour), hour);
    m_hourCounts = new QValueAxis(m_hourChart);
    m_hourChart->setAccessibleName(u"Busiest hours, last 14 days"_s);
    stack->addWidget(section(u"Busiest hours — last 14 days"_s, m_hourChart));

    for (auto [chart, x, y] : { std::tuple<QChartView *, QAbstractAxis *, QValueAxis *> {
                                    m_dayChart, m_dayAxis, m_dayCounts },
             { m_hourChart, m_hourAxis, m_hourCounts } }) {
        QAbstractSeries *series = chart->chart()->series().constFirst();
        chart->chart()->addAxis(x, Qt::AlignBottom);
        chart->chart()->addAxis(y, Qt::AlignRight);
        series->attachAxis(x);
        series->attachAxis(y);
        y->setLabelFormat(u"%d"_s);
    }
    m_hourSet->append(QList<qreal>(24, 0.0));
    m_daySet->append(QList<qreal>(dayWindow, 0.0));

    auto *types = new QWidget;
    types->setObjectName(u"recentTypes"_s);
    auto *typesLayout = new QVBoxLayout(types);
    typesLayout->setContentsMargins(0, 0, 0, 0);
    typesLayout->setSpacing(0);
    m_typeRows = new QWidget(types);
    m_typeRows->setObjectName(u"typeRows"_s);
    m_typeLayout = new QVBoxLayout(m_typeRows);
    m_typeLayout->setContentsMargins(0, 0, 0, 0);
    m_typeLayout->setSpacing(6);
    m_noTypes =
        new QLabel(u"Nothing logged yet — the logbook fills in as aircraft pass by."_s, types);
    m_noTypes->setObjectName(u"noTypes"_s);
    m_noTypes->setWordWrap(true);
    typesLayout->addWidget(m_typeRows);
    typesLayout->addWidget(m_noTypes);
    stack->addWidget(section(u"Recently spotted types"_s, types));

    m_footnote = new QLabel(
        u"Counts are unique aircraft seen within your radius each day, while Skyvelle is running."_s);
    m_footnote->setObjectName(u"footnote"_s);
    m_footnote->setWordWrap(true);
    stack->addWidget(m_footnote);
    stack->addStretch(1);

    scroll->setWidget(content);

    connect(m_log, &SightingLog::changed, this, &LogbookView::refresh);
    connect(m_log, &SightingLog::saveErrorChanged, this, &LogbookView::showSaveError);
    showSaveError();
    restyle();
    refresh();
}

QWidget *LogbookView::statTile(const QString &title, const QString &name)
{
    auto *tile = new StatTile;
    tile->setObjectName(name);
    auto *layout = new QVBoxLayout(tile);
    layout->setContentsMargins(8, 12, 8, 12);
    layout->setSpacing(3);
    auto *value = new QLabel(u"0"_s, tile);
    value->setObjectName(u"value"_s);
    value->setAlignment(Qt::AlignCenter);
    auto *caption = new QLabel(title, tile);
    caption->setObjectName(u"title"_s);
    caption->setAlignment(Qt::AlignCenter);
    layout->addWidget(value);
    layout->addWidget(caption);
    m_tileValues.append(value);
    m_tileTitles.append(caption);
    return tile;
}

QWidget *LogbookView::section(const QString &title, QWidget *content)
{
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto *heading = new QLabel(title, box);
    m_sectionTitles.append(heading);
    layout->addWidget(heading);
    layout->addWidget(content);
    return box;
}

QChartView *LogbookView::barChart(const QString &name, int height, QBarSet **set)
{
    auto *chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundVisible(false);
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setAnimationOptions(QChart::NoAnimation);
    *set = new QBarSet(u"Aircraft"_s);
    (*set)->setPen(Qt::NoPen);
    auto *series = new QBarSeries;
    series->setBarWidth(0.62);
    series->append(*set);
    chart->addSeries(series);

    auto *view = new QChartView(chart);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setFixedHeight(height);
    view->setFrameShape(QFrame::NoFrame);
    view->setStyleSheet(u"background: transparent"_s);
    return view;
}

void LogbookView::showSaveError()
{
    const QString error = m_log->saveError();
    m_saveError->setText(error.isEmpty()
            ? QString()
            : error + u". The counts are kept; Skyvelle tries again every minute."_s);
    m_saveError->setVisible(!error.isEmpty());
}

void LogbookView::refresh()
{
    const QList<qint64> values { m_log->todayCount(), m_log->lastSevenDaysCount(),
        qint64(m_log->store().typesFirstSeen.size()), m_log->store().totalUnique };
    for (qsizetype i = 0; i < values.size(); ++i) {
        QLabel *value = m_tileValues.at(i);
        value->setText(QString::number(values.at(i)));
        // A screen reader hears "Today: 5", not the number before what it counts.
        value->parentWidget()->setAccessibleName(
            m_tileTitles.at(i)->text() + u": "_s + value->text());
    }

    const QList<SightingLog::DayPoint> days = m_log->lastDays(dayWindow);
    QStringList labels;
    qint64 dayTop = 0;
    for (qsizetype i = 0; i < days.size(); ++i) {
        labels << days.at(i).label;
        m_daySet->replace(int(i), double(days.at(i).count));
        dayTop = std::max(dayTop, days.at(i).count);
    }
    if (m_dayAxis->categories() != labels)
        m_dayAxis->setCategories(labels);
    fitCounts(m_dayCounts, dayTop);
    // The bars as words, newest day first, for those who cannot see them.
    QStringList perDay;
    for (auto day = days.crbegin(); day != days.crend(); ++day) {
        const QDate date = QDate::fromString(day->id, Qt::ISODate);
        perDay << locale().toString(date, u"d MMM"_s) + u' ' + QString::number(day->count);
    }
    m_dayChart->setAccessibleDescription(
        m_dayChart->accessibleName() + u": "_s + perDay.join(u", "_s));

    const QList<qint64> hours = m_log->hourlyProfile();
    qint64 hourTop = 0;
    for (qsizetype h = 0; h < hours.size(); ++h) {
        m_hourSet->replace(int(h), double(hours.at(h)));
        hourTop = std::max(hourTop, hours.at(h));
    }
    fitCounts(m_hourCounts, hourTop);
    QStringList perHour;
    for (qsizetype h = 0; h < hours.size(); ++h)
        perHour << u"%1:00 %2"_s.arg(h).arg(hours.at(h));
    m_hourChart->setAccessibleDescription(
        m_hourChart->accessibleName() + u": "_s + perHour.join(u", "_s));

    refreshTypes();
}

void LogbookView::refreshTypes()
{
    while (QLayoutItem *item = m_typeLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const bool empty = m_log->store().typesFirstSeen.isEmpty();
    m_noTypes->setVisible(empty);
    m_typeRows->setVisible(!empty);
    if (empty)
        return;

    const QFont callout = calloutFont(font());
    const QFont caption = captionFont(font());
    const QColor secondary = SystemColors::secondaryText(palette());
    const int glyph = QFontMetrics(caption).height();
    for (const SightingLog::NewType &type : m_log->recentNewTypes(typeRowLimit)) {
        auto *row = new QWidget(m_typeRows);
        row->setObjectName(u"typeRow"_s);
        auto *layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        auto *icon = new QLabel(row);
        icon->setPixmap(Symbols::pixmap(u"sparkles"_s, glyph,
            SystemColors::isDark(palette()) ? QColor(255, 214, 10) : QColor(230, 170, 0)));
        // The type code comes from the feed.
        auto *name = plainLabel(type.name, row, u"typeName"_s);
        name->setFont(callout);
        auto *date = new QLabel(
            abbreviatedDate(type.date.toTimeZone(m_log->timeZone()).date(), locale()), row);
        date->setObjectName(u"typeDate"_s);
        date->setFont(callout);
        setTextColor(date, secondary);
        layout->addWidget(icon);
        layout->addWidget(name);
        layout->addStretch(1);
        layout->addWidget(date);
        m_typeLayout->addWidget(row);
    }
}

void LogbookView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        restyle();
}

void LogbookView::restyle()
{
    const QPalette pal = palette();
    const QColor secondary = SystemColors::secondaryText(pal);

    for (QLabel *value : std::as_const(m_tileValues))
        value->setFont(title2Font(font()));
    for (QLabel *title : std::as_const(m_tileTitles)) {
        title->setFont(captionFont(font()));
        setTextColor(title, secondary);
    }
    for (QLabel *heading : std::as_const(m_sectionTitles))
        heading->setFont(headlineFont(font()));
    m_noTypes->setFont(calloutFont(font()));
    setTextColor(m_noTypes, secondary);
    m_footnote->setFont(captionFont(font()));
    setTextColor(m_footnote, SystemColors::tertiaryText(pal));
    m_saveError->setFont(captionFont(font()));
    setTextColor(m_saveError, SystemColors::orange(pal));

    const QColor accent = pal.color(QPalette::Highlight);
    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectMode);
    gradient.setColorAt(0, accent);
    gradient.setColorAt(1, accent.lighter(135));
    QColor grid = pal.color(QPalette::WindowText);
    grid.setAlphaF(0.14f);
    QColor axisLine = pal.color(QPalette::WindowText);
    axisLine.setAlphaF(0.3f);
    const QFont axisFont = captionFont(font());
    for (QBarSet *set : { m_daySet, m_hourSet })
        set->setBrush(gradient);
    for (QAbstractAxis *axis : { static_cast<QAbstractAxis *>(m_dayAxis),
             static_cast<QAbstractAxis *>(m_hourAxis), static_cast<QAbstractAxis *>(m_dayCounts),
             static_cast<QAbstractAxis *>(m_hourCounts) }) {
        axis->setLabelsBrush(secondary);
        axis->setLabelsFont(axisFont);
        axis->setGridLinePen(QPen(grid, 1));
        axis->setLinePen(QPen(axisLine, 1));
    }
    // Days need no vertical grid lines; the hour marks keep theirs.
    m_dayAxis->setGridLineVisible(false);
    refreshTypes();
}
