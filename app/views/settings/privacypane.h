// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class FlightStore;

// Settings → Privacy: what leaves the computer, and forgetting the home location.
class PrivacyPane : public QWidget {
    Q_OBJECT
public:
    PrivacyPane(FlightStore *store, QWidget *parent);
};
