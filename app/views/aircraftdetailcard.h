// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "aircraft.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <optional>

class FlightStore;
class ImageReply;
class Preferences;
class QLabel;
class QNetworkAccessManager;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

// The floating card that describes the selected aircraft: name, emergency badge, type, photo
// with its credit, a column of facts and a link to the globe viewer. It follows the store's
// selection by itself: shown while an aircraft is selected and in the list, hidden otherwise,
// and it asks the store for the route and photo of each aircraft it shows.
//
// The widget is the card plus a transparent margin that its shadow falls into; cardRect() is
// the card itself. Its size follows its content; the host places it, and may cap its height
// (maximumHeight), below which everything under the header scrolls.
class AircraftDetailCard : public QWidget {
    Q_OBJECT
public:
    AircraftDetailCard(FlightStore *store, Preferences *preferences, QNetworkAccessManager *network,
        QWidget *parent = nullptr);
    ~AircraftDetailCard() override;

    // The card within the widget: 265 wide, times the text scale when that is above 1.
    QRect cardRect() const;
    // Where "Track on …" leads; empty when the globe address does not make a valid one.
    QUrl globeUrl() const { return m_globeUrl; }
    // Whether the photo block shows the downloaded image (rather than its placeholder).
    bool hasPhotoImage() const { return !m_image.isNull(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct FactRow {
        QWidget *row;
        QLabel *label;
        QLabel *value;
    };

    void refresh();
    void showAircraft(const Aircraft &aircraft);
    void askForLookups(const Aircraft &aircraft);
    void showPhoto(const Aircraft &aircraft, int innerWidth);
    void loadImage(const QUrl &url);
    void renderPhoto(int width);
    void applyStyle();
    void setFact(int index, const std::optional<QString> &value, int valueWidth,
        const QString &toolTip = {});
    void openLink(QObject *label);
    double scale() const;
    int cardWidth() const;

    FlightStore *m_store;
    Preferences *m_preferences;
    QNetworkAccessManager *m_network;

    QVBoxLayout *m_layout;
    QScrollArea *m_scroll;
    QVBoxLayout *m_body;
    // What the scroll bar, while shown, takes from the rows' width.
    int m_scrollBarRoom = 0;
    QLabel *m_name;
    QLabel *m_emergency;
    QToolButton *m_close;
    QLabel *m_type;
    QWidget *m_photoBlock;
    QLabel *m_photo;
    QLabel *m_credit;
    QList<FactRow> m_facts;
    QLabel *m_globe;

    // What the lookups were last asked for, so that a redraw does not ask again.
    QString m_askedHex;
    std::optional<QString> m_askedCallsign;

    QUrl m_creditUrl;
    QUrl m_globeUrl;
    QUrl m_imageUrl;
    QImage m_image;
    QPointer<ImageReply> m_imageReply;
};
