// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

struct Services;
class Preferences;

// The "About Skyvelle" window: the animated radar icon, the version, where the data comes from
// with the credits its providers ask for, the licence and the project's links. Its size follows
// its content and cannot be changed. The application keeps one and shows it again when asked.
class AboutWindow : public QWidget {
    Q_OBJECT
public:
    // @p services names the sources and their addresses; @p preferences says whether the icon
    // may move (reduceMotion). Both are read, never changed.
    AboutWindow(const Services &services, Preferences *preferences, QWidget *parent = nullptr);

    // Shows the window in front and focused, centred on the screen of @p near when it opens.
    void present(QWidget *near);
};
