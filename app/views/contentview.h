// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

class AircraftListView;
class FlightStore;
class Geocoder;
class LocationOnce;
class Preferences;
class QSplitter;
class QStackedWidget;
class SetupView;

// The main window's content: the first-run setup while the store has no home, otherwise the
// aircraft list beside the detail area (the map). Switches as the home comes and goes.
class ContentView : public QWidget {
    Q_OBJECT
public:
    ContentView(FlightStore *store, Preferences *preferences, Geocoder *geocoder,
        LocationOnce *location, QWidget *parent = nullptr);

    // Whether the setup is showing (there is no home).
    bool isShowingSetup() const;
    // The first-run setup while it shows, else nullptr.
    SetupView *setupView() const;
    AircraftListView *aircraftListView() const { return m_list; }
    QSplitter *splitter() const { return m_split; }
    QWidget *detailWidget() const;

    // Puts @p widget in the detail column in place of the current one, which is deleted.
    void setDetailWidget(QWidget *widget);

Q_SIGNALS:
    // The setup appeared or gave way to the list.
    void showingSetupChanged(bool showingSetup);

private:
    void showCurrentState();

    FlightStore *m_store;
    Geocoder *m_geocoder;
    LocationOnce *m_location;
    QStackedWidget *m_stack = nullptr;
    QSplitter *m_split = nullptr;
    AircraftListView *m_list = nullptr;
    QPointer<SetupView> m_setup;
};
