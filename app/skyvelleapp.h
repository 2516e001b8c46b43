// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "services.h"

#include <QApplication>

#include <memory>

class FlightStore;
class Preferences;
class QNetworkAccessManager;

/// The application object: creates the process-wide objects once, wires them together and
/// hands them to the windows.
class SkyvelleApp : public QApplication
{
    Q_OBJECT
public:
    SkyvelleApp(int &argc, char **argv);
    ~SkyvelleApp() override;

    Preferences *preferences() const { return m_preferences; }
    FlightStore *flightStore() const { return m_store; }

private:
    void quitOnTerminationSignals();

    Preferences *m_preferences = nullptr;
    QNetworkAccessManager *m_network = nullptr;
    Services m_services;
    FlightStore *m_store = nullptr;
};
