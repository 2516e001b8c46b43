// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class LogbookView;
class SightingLog;

// The "Logbook" window around the logbook view. The application keeps one and shows it again
// when asked, so there is never more than one.
class LogbookWindow : public QWidget {
    Q_OBJECT
public:
    explicit LogbookWindow(SightingLog *log, QWidget *parent = nullptr);

    LogbookView *view() const { return m_view; }

    // Shows the window, de-minimised, in front and focused. The first time it opens centred on
    // the screen of @p over (else its own), and no larger than that screen's free area.
    void present(const QWidget *over = nullptr);

private:
    LogbookView *m_view;
};
