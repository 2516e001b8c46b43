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

    // Shows the window, de-minimised, in front and focused.
    void present();

private:
    LogbookView *m_view;
};
