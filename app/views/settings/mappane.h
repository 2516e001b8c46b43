// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class Preferences;

// Settings → Map: aircraft colour, marker size, trails, map style, the widgets' accent and
// "Reset to Defaults".
class MapPane : public QWidget {
    Q_OBJECT
public:
    MapPane(Preferences *preferences, QWidget *parent);
};
