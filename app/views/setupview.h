// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"
#include "geocoder.h"
#include "homelocation.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class BusyIndicator;
class FlightStore;
class LocationOnce;
class QLabel;
class QLineEdit;
class QKeyEvent;
class QPaintEvent;
class QPushButton;
class QToolButton;

// Finds the home point (an address, this computer's location, or typed coordinates), shows
// the candidate, and hands it to the flight store on confirmation.
//
// FirstRun fills the main window while there is no home; Sheet is the "change home" dialog's
// content, pre-filled with the current home. Lookups never block: their answers arrive later
// and only the newest one counts.
class SetupView : public QWidget {
    Q_OBJECT
public:
    enum class Mode { FirstRun, Sheet };

    // geocoder and location may be null; the buttons that need them are then disabled.
    SetupView(Mode mode, FlightStore *store, Geocoder *geocoder, LocationOnce *location,
        QWidget *parent = nullptr);
    ~SetupView() override;

    Mode mode() const { return m_mode; }
    // At least 560 × 500 (first run) or 560 × 400 (sheet), more when the contents need it.
    QSize minimumSizeHint() const override;

    // Parses typed coordinates: spaces and tabs trimmed, then a full-string C-locale decimal
    // number (sign and exponent allowed, no decimal comma); |lat| <= 90 and |lon| <= 180.
    static std::optional<LatLon> parseCoordinates(
        const QString &latitudeText, const QString &longitudeText);

    // The candidate home found so far.
    const std::optional<HomeLocation> &resolved() const { return m_resolved; }
    // The status line's text; empty when none is shown.
    QString statusMessage() const { return m_statusMessage; }
    bool statusIsError() const { return m_statusIsError; }
    bool isWorking() const { return m_working != Lookup::None; }

Q_SIGNALS:
    // The user committed the candidate (both modes) or cancelled (Sheet).
    void finished();

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    enum class Lookup { None, Address, Location };

    void buildUi();
    void geocode();
    void useCurrentLocation();
    void setManual();
    void setManualOpen(bool open);
    void commit();
    void cancel();
    void accept(const QString &label, double latitude, double longitude);
    void setStatus(const QString &message, bool isError);
    // Drops the lookup this view is waiting for.
    void stopWork();
    void updateState();
    void updateFonts();
    void updatePalette();

    void addressLookedUp();
    void locationFound(double latitude, double longitude);
    void locationFailed();

    Mode m_mode;
    FlightStore *m_store;
    QPointer<Geocoder> m_geocoder;
    QPointer<GeocodeReply> m_addressReply;
    QPointer<LocationOnce> m_location;

    std::optional<HomeLocation> m_resolved;
    QString m_statusMessage;
    bool m_statusIsError = false;
    Lookup m_working = Lookup::None;

    QLabel *m_headerIcon = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_subtitle = nullptr;
    QLabel *m_note = nullptr;
    QWidget *m_group = nullptr;
    QLabel *m_headline = nullptr;
    QLineEdit *m_address = nullptr;
    QPushButton *m_lookUp = nullptr;
    QPushButton *m_useLocation = nullptr;
    QToolButton *m_manualToggle = nullptr;
    QWidget *m_manualSection = nullptr;
    QLineEdit *m_latitude = nullptr;
    QLineEdit *m_longitude = nullptr;
    QPushButton *m_set = nullptr;
    BusyIndicator *m_progress = nullptr;
    QLabel *m_status = nullptr;
    QWidget *m_resolvedRow = nullptr;
    QLabel *m_resolvedIcon = nullptr;
    QLabel *m_resolvedText = nullptr;
    QPushButton *m_commit = nullptr;
    QPushButton *m_cancel = nullptr;
};
