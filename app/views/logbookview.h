// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QWidget>

class QBarCategoryAxis;
class QBarSet;
class QCategoryAxis;
class QChart;
class QChartView;
class QLabel;
class QValueAxis;
class QVBoxLayout;
class SightingLog;

// The logbook's statistics: four headline numbers, aircraft per day and the busiest hours
// over the last fourteen days as bar charts, and the aircraft types most recently seen for the
// first time. Redraws whenever the log changes; it never changes the log.
class LogbookView : public QWidget {
    Q_OBJECT
public:
    explicit LogbookView(SightingLog *log, QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    QWidget *statTile(const QString &title, const QString &name);
    QWidget *section(const QString &title, QWidget *content);
    QChartView *barChart(const QString &name, int height, QBarSet **set);
    void refresh();
    void showSaveError();
    void refreshTypes();
    void restyle();

    SightingLog *m_log;
    QList<QLabel *> m_tileValues;
    QList<QLabel *> m_tileTitles;
    QList<QLabel *> m_sectionTitles;
    QChartView *m_dayChart = nullptr;
    QChartView *m_hourChart = nullptr;
    QBarSet *m_daySet = nullptr;
    QBarSet *m_hourSet = nullptr;
    QBarCategoryAxis *m_dayAxis = nullptr;
    QCategoryAxis *m_hourAxis = nullptr;
    QValueAxis *m_dayCounts = nullptr;
    QValueAxis *m_hourCounts = nullptr;
    QWidget *m_typeRows = nullptr;
    QVBoxLayout *m_typeLayout = nullptr;
    QLabel *m_noTypes = nullptr;
    QLabel *m_footnote = nullptr;
    // Shown only while the logbook cannot be saved.
    QLabel *m_saveError = nullptr;
};
