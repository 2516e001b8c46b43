// SPDX-License-Identifier: GPL-3.0-or-later
#include "aircraftdetailcard.h"

#include "backdrop.h"
#include "flightstore.h"
#include "imagereply.h"
#include "labels.h"
#include "lookupsupport.h"
#include "preferences.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textstyle.h"
#include "textutil.h"
#include "weblink.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int baseWidth = 265;
constexpr int padding = 14;
constexpr int stackSpacing = 10;
constexpr int factSpacing = 5;
constexpr int rowGap = 8;
constexpr int headerGap = 6;
// Between the rows and the scroll bar, when there is one.
constexpr int scrollBarGap = 4;
constexpr int photoHeight = 96;
constexpr qreal photoRadius = 8;
constexpr qreal cornerRadius = 12;
constexpr int shadowBlur = 8;
constexpr int shadowOffset = 2;
// Room around the card for its shadow, which falls 2 px down.
const QMargins shadowMargins(
    shadowBlur, shadowBlur - shadowOffset, shadowBlur, shadowBlur + shadowOffset);
// A thumbnail is a few hundred kilobytes; anything far larger is not one.
constexpr qint64 maxImageBytes = 8 * 1024 * 1024;

enum Fact {
    RouteFact,
    OperatorFact,
    TypeFact,
    RegistrationFact,
    AltitudeFact,
    SpeedFact,
    VerticalFact,
    TrackFact,
    SquawkFact,
    DistanceFact,
    SpotFact,
    HexFact,
};

const char *const factLabels[] = {
    "Route",
    "Operator",
    "Type",
    "Registration",
    "Altitude",
    "Ground speed",
    "Vertical",
    "Track",
    "Squawk",
    "Distance",
    "Spot it",
    "ICAO hex",
};

// Sets the text cut to @p width with an ellipsis; the whole text then shows as the tooltip.
void setElided(QLabel *label, const QString &text, int width)
{
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideRight, qMax(0, width));
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : TextUtil::plainToolTip(text));
}

// Scrolls the card's body when the map leaves the card less than its height, and asks for
// all of it otherwise (a plain scroll area asks for a capped height).
class BodyScroll : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override { return widget() ? widget()->sizeHint() : QSize(); }
    QSize minimumSizeHint() const override { return { 0, 0 }; }
};

std::optional<QString> nonEmpty(const std::optional<QString> &text)
{
    if (text && !text->isEmpty())
        return text;
    return std::nullopt;
}

} // namespace

AircraftDetailCard::AircraftDetailCard(
    FlightStore *store, Preferences *preferences, QNetworkAccessManager *network, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_preferences(preferences)
    , m_network(network)
{
    setObjectName(u"aircraftDetailCard"_s);
    setAccessibleName(tr("Aircraft details"));

    // The header stays put with its close button; what is below scrolls when the card is
    // taller than the room it is given.
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(shadowMargins + QMargins(0, padding, 0, padding));
    m_layout->setSpacing(stackSpacing);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(padding, 0, padding, 0);
    header->setSpacing(headerGap);
    m_name = plainLabel({}, this);
    m_name->setObjectName(u"name"_s);
    m_emergency = new QLabel(tr("EMERGENCY"), this);
    m_emergency->setObjectName(u"emergency"_s);
    m_close = new QToolButton(this);
    m_close->setObjectName(u"close"_s);
    m_close->setToolTip(tr("Close"));
    m_close->setAccessibleName(tr("Close"));
    m_close->setCursor(Qt::ArrowCursor);
    connect(m_close, &QToolButton::clicked, this, [this] { m_store->setSelectedHex(QString()); });
    header->addWidget(m_name);
    header->addWidget(m_emergency, 0, Qt::AlignVCenter);
    header->addStretch(1);
    header->addWidget(m_close, 0, Qt::AlignVCenter);
    m_layout->addLayout(header);

    m_scroll = new BodyScroll(this);
    m_scroll->setObjectName(u"body"_s);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->verticalScrollBar()->installEventFilter(this);
    auto *body = new QWidget(m_scroll);
    body->setAutoFillBackground(false);
    m_body = new QVBoxLayout(body);
    m_body->setContentsMargins(padding, 0, padding, 0);
    m_body->setSpacing(stackSpacing);
    m_scroll->setWidget(body);
    m_layout->addWidget(m_scroll, 1);

    m_type = plainLabel({}, body);
    m_type->setObjectName(u"type"_s);
    m_body->addWidget(m_type);

    m_photoBlock = new QWidget(body);
    auto *photoLayout = new QVBoxLayout(m_photoBlock);
    photoLayout->setContentsMargins(QMargins());
    photoLayout->setSpacing(3);
    m_photo = new QLabel(m_photoBlock);
    m_photo->setObjectName(u"photo"_s);
    m_photo->setAccessibleName(tr("Aircraft photo"));
    m_photo->setFixedHeight(photoHeight);
    m_photo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_credit = plainLabel({}, m_photoBlock);
    m_credit->setObjectName(u"credit"_s);
    m_credit->installEventFilter(this);
    setLinkRole(m_credit, false);
    photoLayout->addWidget(m_photo);
    photoLayout->addWidget(m_credit);
    m_body->addWidget(m_photoBlock);

    auto *facts = new QWidget(body);
    auto *factsLayout = new QVBoxLayout(facts);
    factsLayout->setContentsMargins(QMargins());
    factsLayout->setSpacing(factSpacing);
    for (const char *text : factLabels) {
        auto *row = new QWidget(facts);
        row->setObjectName(u"factRow"_s);
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(QMargins());
        rowLayout->setSpacing(rowGap);
        QLabel *label = plainLabel({}, row);
        label->setObjectName(u"factLabel"_s);
        label->setText(tr(text));
        QLabel *value = plainLabel({}, row);
        value->setObjectName(u"factValue"_s);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // The value is cut to the room left by its label, so it must not widen the row.
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        rowLayout->addWidget(label);
        rowLayout->addWidget(value, 1);
        factsLayout->addWidget(row);
        m_facts.append(FactRow { row, label, value });
    }
    m_body->addWidget(facts);

    m_globe = plainLabel({}, body);
    m_globe->setObjectName(u"globeLink"_s);
    m_globe->setCursor(Qt::PointingHandCursor);
    m_globe->setFocusPolicy(Qt::TabFocus);
    m_globe->setAccessibleDescription(tr("Opens in the browser"));
    m_globe->installEventFilter(this);
    setLinkRole(m_globe, true);
    m_body->addWidget(m_globe);

    connect(m_store, &FlightStore::aircraftChanged, this, &AircraftDetailCard::refresh);
    connect(m_store, &FlightStore::selectedHexChanged, this, &AircraftDetailCard::refresh);
    connect(m_store, &FlightStore::routesChanged, this, &AircraftDetailCard::refresh);
    connect(m_store, &FlightStore::photosChanged, this, &AircraftDetailCard::refresh);
    connect(m_preferences, &Preferences::distanceUnitChanged, this, &AircraftDetailCard::refresh);
    connect(m_preferences, &Preferences::textScaleChanged, this, [this] {
        applyStyle();
        refresh();
    });

    applyStyle();
    refresh();
}

AircraftDetailCard::~AircraftDetailCard() = default;

QRect AircraftDetailCard::cardRect() const
{
    return rect().marginsRemoved(shadowMargins);
}

double AircraftDetailCard::scale() const
{
    return TextStyle::clampedScale(m_preferences->textScale());
}

int AircraftDetailCard::cardWidth() const
{
    // Smaller text never narrows the card.
    return qRound(baseWidth * std::max(scale(), 1.0));
}

void AircraftDetailCard::refresh()
{
    const auto aircraft = m_store->selectedAircraft();
    if (!aircraft) {
        m_askedHex.clear();
        m_askedCallsign.reset();
        hide();
        return;
    }
    showAircraft(*aircraft);
    askForLookups(*aircraft);
    show();
}

void AircraftDetailCard::askForLookups(const Aircraft &aircraft)
{
    // The store asks each service at most once per key; this only spares it the calls on
    // every redraw. A callsign that turns up later for the same aircraft is looked up then.
    const std::optional<QString> callsign = aircraft.flight
        ? std::optional(TextUtil::trimSpacesAndTabs(*aircraft.flight))
        : std::nullopt;
    const bool newAircraft = aircraft.hex != m_askedHex;
    if (newAircraft || callsign != m_askedCallsign)
        m_store->loadRoute(aircraft);
    if (newAircraft)
        m_store->loadPhoto(aircraft);
    m_askedHex = aircraft.hex;
    m_askedCallsign = callsign;
}

void AircraftDetailCard::showAircraft(const Aircraft &aircraft)
{
    const int width = cardWidth();
    const int inner = width - 2 * padding - m_scrollBarRoom;

    const bool emergency = aircraft.isEmergency();
    m_emergency->setVisible(emergency);
    int nameWidth = width - 2 * padding - m_close->sizeHint().width() - headerGap;
    if (emergency)
        nameWidth -= m_emergency->sizeHint().width() + headerGap;
    setElided(m_name, aircraft.displayName(), nameWidth);

    const auto typeName = aircraft.typeName();
    m_type->setVisible(typeName.has_value());
    if (typeName)
        setElided(m_type, *typeName, inner);

    showPhoto(aircraft, inner);

    std::optional<FlightRoute> route;
    if (aircraft.flight) {
        const QString callsign = TextUtil::trimSpacesAndTabs(*aircraft.flight);
        const auto found = m_store->routes().constFind(callsign);
        if (!callsign.isEmpty() && found != m_store->routes().constEnd())
            route = *found;
    }
    const auto track = aircraft.track
        ? std::optional(TextUtil::formatNumber(*aircraft.track) + u"°"_s)
        : std::nullopt;
    setFact(RouteFact, route ? std::optional(route->summary()) : std::nullopt, inner,
        route ? route->citySummary().value_or(route->summary()) : QString());
    setFact(OperatorFact, aircraft.operatorDisplayName(), inner);
    setFact(TypeFact, nonEmpty(aircraft.typeCode), inner);
    setFact(RegistrationFact, nonEmpty(aircraft.registration), inner);
    setFact(AltitudeFact, aircraft.altitudeText(), inner);
    setFact(SpeedFact, aircraft.speedText(), inner);
    setFact(VerticalFact, aircraft.verticalText(), inner);
    setFact(TrackFact, track, inner);
    setFact(SquawkFact, nonEmpty(aircraft.squawk), inner);
    setFact(DistanceFact, aircraft.distanceText(m_preferences->distanceUnitText()), inner);
    setFact(SpotFact, aircraft.lookDirection(), inner);
    setFact(HexFact, aircraft.hex.toUpper(), inner);

    // The hex goes in as the feed wrote it; encoding only matters for a malformed one, which
    // must not add query keys of its own.
    const QUrl globe = m_store->services().globe;
    const auto globeUrl = aircraft.hex.isEmpty()
        ? std::nullopt
        : LookupSupport::webUrl(QString::fromLatin1(globe.toEncoded()) + u"/?icao="_s
            + QString::fromLatin1(QUrl::toPercentEncoding(aircraft.hex)));
    m_globeUrl = globeUrl.value_or(QUrl());
    m_globe->setVisible(globeUrl.has_value());
    if (globeUrl) {
        const QString link = tr("Track on %1").arg(globeUrl->host());
        setElided(m_globe, link, inner);
        m_globe->setAccessibleName(link);
    }

    // Fit the height to what is shown now (the width follows the text scale), and lay out at
    // once so that a redraw or a grab never shows the previous aircraft's geometry.
    const auto layouts = findChildren<QLayout *>();
    for (QLayout *layout : layouts) {
        layout->invalidate();
        if (QWidget *owner = layout->parentWidget(); owner && owner != this)
            owner->updateGeometry();
    }
    // The scroll area asks for its body's height, which it does not learn of by itself.
    m_scroll->updateGeometry();
    // A host that gives the card less room caps its maximum height, and the body scrolls.
    setFixedWidth(width + shadowMargins.left() + shadowMargins.right());
    resize(this->width(), m_layout->sizeHint().height());
    m_layout->activate();
    update();
}

void AircraftDetailCard::setFact(
    int index, const std::optional<QString> &value, int width, const QString &toolTip)
{
    const FactRow &fact = m_facts.at(index);
    fact.row->setVisible(value.has_value());
    if (!value)
        return;
    const int labelWidth = fact.label->fontMetrics().horizontalAdvance(fact.label->text());
    setElided(fact.value, *value, width - labelWidth - rowGap);
    if (!toolTip.isEmpty())
        fact.value->setToolTip(TextUtil::plainToolTip(toolTip));
}

void AircraftDetailCard::showPhoto(const Aircraft &aircraft, int innerWidth)
{
    const auto found = m_store->photos().constFind(aircraft.hex);
    if (found == m_store->photos().constEnd()) {
        m_photoBlock->hide();
        m_creditUrl.clear();
        return;
    }
    const PlanePhoto &photo = *found;
    m_photoBlock->show();
    if (photo.thumbnailURL != m_imageUrl)
        loadImage(photo.thumbnailURL);
    renderPhoto(innerWidth);

    m_credit->setVisible(photo.photographer.has_value());
    m_creditUrl = photo.photographer ? photo.pageURL.value_or(QUrl()) : QUrl();
    const bool link = !m_creditUrl.isEmpty();
    m_credit->setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
    m_credit->setFocusPolicy(link ? Qt::TabFocus : Qt::NoFocus);
    m_credit->setAccessibleDescription(
        link ? tr("Opens the photo's page in the browser") : QString());
    setLinkRole(m_credit, link);
    if (photo.photographer) {
        const QString credit = tr("Photo: %1").arg(*photo.photographer);
        setElided(m_credit, credit, innerWidth);
        m_credit->setAccessibleName(credit);
    }
}

void AircraftDetailCard::loadImage(const QUrl &url)
{
    if (m_imageReply) {
        m_imageReply->cancel();
        m_imageReply->deleteLater();
    }
    m_imageUrl = url;
    m_image = QImage();

    RequestOptions options = m_store->lookupOptions();
    options.maxBytes = maxImageBytes;
    ImageReply *reply = new ImageReply(m_network, url, options, this);
    m_imageReply = reply;
    connect(reply, &Reply::finished, this, [this, reply] {
        reply->deleteLater();
        // A failed or undecodable image leaves the placeholder in place.
        m_image = reply->image();
        refresh();
    });
}

void AircraftDetailCard::renderPhoto(int width)
{
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(QSize(width, photoHeight) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);

    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF frame(0, 0, width, photoHeight);
    QPainterPath clip;
    clip.addRoundedRect(frame, photoRadius, photoRadius);
    if (m_image.isNull()) {
        painter.fillPath(
            clip, SystemColors::withAlpha(palette().color(QPalette::WindowText), 0.08));
    } else {
        // Fill the frame, keep the aspect and crop what overflows, centred.
        const QSizeF size =
            QSizeF(m_image.size()).scaled(frame.size(), Qt::KeepAspectRatioByExpanding);
        QRectF target(QPointF(), size);
        target.moveCenter(frame.center());
        painter.setClipPath(clip);
        painter.drawImage(target, m_image);
    }
    painter.end();
    m_photo->setPixmap(pixmap);
}

void AircraftDetailCard::applyStyle()
{
    const double s = scale();
    const auto sized = [&](double points, bool bold = false) {
        return TextStyle::pixelFont(font(), points * s, bold ? QFont::Bold : QFont::Normal);
    };
    const QColor secondary = SystemColors::secondaryText(palette());
    const QColor tertiary = SystemColors::tertiaryText(palette());

    m_name->setFont(sized(15, true));
    m_emergency->setFont(sized(10, true));
    const int badgeHeight = QFontMetrics(m_emergency->font()).height() + 4;
    m_emergency->setStyleSheet(
        u"QLabel { color: white; background-color: %1; border-radius: %2px; padding: 2px 5px; }"_s
            .arg(SystemColors::red(palette()).name())
            .arg(badgeHeight / 2));

    const int closeSize = qRound(16 * s);
    m_close->setIcon(Symbols::icon(u"xmark.circle.fill"_s, secondary));
    m_close->setIconSize(QSize(closeSize, closeSize));
    m_close->setStyleSheet(
        u"QToolButton { border: none; padding: 0px; background: transparent; }"_s);

    m_type->setFont(sized(10));
    setTextColor(m_type, secondary);
    m_credit->setFont(sized(8));
    setTextColor(m_credit, tertiary);
    for (const FactRow &fact : std::as_const(m_facts)) {
        fact.label->setFont(sized(12));
        fact.value->setFont(sized(12));
        setTextColor(fact.label, secondary);
    }
    m_globe->setFont(sized(10));
    setTextColor(m_globe, palette().color(QPalette::Link));
}

void AircraftDetailCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardRect();
    QPainterPath cardPath;
    cardPath.addRoundedRect(card, cornerRadius, cornerRadius);

    // A soft shadow: rings that overlap most at the card's edge and fade over the blur radius.
    // Only what falls outside the card is drawn, so that it does not darken the card itself.
    QPainterPath outside;
    outside.addRect(rect());
    painter.save();
    painter.setClipPath(outside.subtracted(cardPath));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 9));
    for (int i = shadowBlur; i >= 1; --i) {
        QPainterPath ring;
        ring.addRoundedRect(card.translated(0, shadowOffset).adjusted(-i, -i, i, i),
            cornerRadius + i, cornerRadius + i);
        painter.drawPath(ring);
    }
    painter.restore();

    const QColor text = palette().color(QPalette::WindowText);
    Backdrop::paintPlate(&painter, this, cardPath);
    painter.setPen(QPen(SystemColors::withAlpha(text, 0.12), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(cardPath);
}

void AircraftDetailCard::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        applyStyle();
        refresh();
    }
}

bool AircraftDetailCard::event(QEvent *event)
{
    // Moving a widget to another parent hides it; the selection decides again afterwards.
    if (event->type() == QEvent::ParentChange)
        QMetaObject::invokeMethod(this, &AircraftDetailCard::refresh, Qt::QueuedConnection);
    return QWidget::event(event);
}

bool AircraftDetailCard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scroll->verticalScrollBar()
        && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        // The scroll bar stands in the right padding, and the rows give up what it lacks.
        const int bar = event->type() == QEvent::Show
            ? m_scroll->verticalScrollBar()->sizeHint().width() + scrollBarGap
            : 0;
        m_body->setContentsMargins(padding, 0, std::max(0, padding - bar), 0);
        const int room = std::max(0, bar - padding);
        if (room != m_scrollBarRoom) {
            m_scrollBarRoom = room;
            QMetaObject::invokeMethod(this, &AircraftDetailCard::refresh, Qt::QueuedConnection);
        }
    }
    if (watched == m_credit || watched == m_globe) {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            auto *label = static_cast<QLabel *>(watched);
            if (mouse->button() == Qt::LeftButton
                && label->rect().contains(mouse->position().toPoint())) {
                openLink(watched);
                return true;
            }
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                openLink(watched);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AircraftDetailCard::openLink(QObject *label)
{
    WebLink::open(label == m_credit ? m_creditUrl : m_globeUrl);
}
