// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class Preferences;

// Settings → General: the appearance cards and the distance unit.
class GeneralPane : public QWidget {
    Q_OBJECT
public:
    GeneralPane(Preferences *preferences, QWidget *parent);
};
