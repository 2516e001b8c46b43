// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class Preferences;

// What each mark of the widgets' radar scope means, drawn in the scope's own colours: the
// widget accent (radar green when it does not parse), military gold and emergency red.
class WidgetLegend : public QWidget {
    Q_OBJECT
public:
    WidgetLegend(Preferences *preferences, QWidget *parent);
};
