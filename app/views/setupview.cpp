// SPDX-License-Identifier: GPL-3.0-or-later
#include "setupview.h"

#include "busyindicator.h"
#include "flightstore.h"
#include "geocodereply.h"
#include "homelocation.h"
#include "labels.h"
#include "locationonce.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textstyle.h"
#include "textutil.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int padding = 30;
constexpr int spacing = 18;
constexpr int groupMaxWidth = 480;
constexpr int headerSymbolPx = 56;

std::optional<double> parseDegrees(const QString &text)
{
    const QStringView trimmed = TextUtil::trimSpacesAndTabs(QStringView(text));
    // QLocale would also skip line breaks and other white space at the ends; only spaces and
    // tabs are forgiven.
    if (trimmed.isEmpty() || trimmed.front().isSpace() || trimmed.back().isSpace())
        return std::nullopt;
    bool ok = false;
    // The C locale reads the whole string or nothing: a decimal point, an optional sign and
    // exponent; no group separators, no decimal comma.
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

SetupView::SetupView(
    Mode mode, FlightStore *store, Geocoder *geocoder, LocationOnce *location, QWidget *parent)
    : QWidget(parent)
    , m_mode(mode)
    , m_store(store)
    , m_geocoder(geocoder)
    , m_location(location)
{
    buildUi();

    if (m_store && m_store->home()) {
        const HomeLocation &home = *m_store->home();
        m_resolved = home;
        m_latitude->setText(QString::asprintf("%.5f", home.latitude));
        m_longitude->setText(QString::asprintf("%.5f", home.longitude));
        // The current home's coordinates are what there is to edit, so show them.
        setManualOpen(true);
    }

    if (m_location) {
        connect(m_location, &LocationOnce::located, this, &SetupView::locationFound);
        connect(m_location, &LocationOnce::failed, this, &SetupView::locationFailed);
    }

    updateFonts();
    updatePalette();
    updateState();
}

SetupView::~SetupView()
{
    stopWork();
}

std::optional<LatLon> SetupView::parseCoordinates(
    const QString &latitudeText, const QString &longitudeText)
{
    const std::optional<double> latitude = parseDegrees(latitudeText);
    const std::optional<double> longitude = parseDegrees(longitudeText);
    if (!latitude || !longitude || !HomeLocation::isValidCoordinate(*latitude, *longitude))
        return std::nullopt;
    return LatLon { *latitude, *longitude };
}

QSize SetupView::minimumSizeHint() const
{
    // A floor, not a fixed minimum: when everything shows at once the contents may need more,
    // and an explicit minimum size would let the layout squeeze them.
    return QWidget::minimumSizeHint().expandedTo(QSize(560, m_mode == Mode::FirstRun ? 500 : 400));
}

void SetupView::buildUi()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(padding, padding, padding, padding);
    outer->setSpacing(spacing);
    outer->addStretch(1);

    // Header.
    if (m_mode == Mode::FirstRun) {
        m_headerIcon = new QLabel(this);
        m_headerIcon->setAlignment(Qt::AlignCenter);
        outer->addWidget(m_headerIcon);
        m_title = plainLabel(u"Welcome to Skyvelle"_s, this);
        m_title->setAlignment(Qt::AlignCenter);
        outer->addWidget(m_title);
        m_subtitle = plainLabel(u"See every aircraft flying near your home."_s, this);
        m_subtitle->setAlignment(Qt::AlignCenter);
        outer->addWidget(m_subtitle);
    } else {
        m_title = plainLabel(u"Home Location"_s, this);
        m_title->setAlignment(Qt::AlignCenter);
        outer->addWidget(m_title);
    }

    // The grouped box; its rounded background is painted by paintEvent().
    m_group = new QWidget(this);
    m_group->setObjectName(u"setupBox"_s);
    m_group->setMaximumWidth(groupMaxWidth);
    m_group->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *group = new QVBoxLayout(m_group);
    group->setContentsMargins(16, 14, 16, 14);
    group->setSpacing(10);

    m_headline = plainLabel(u"Where is home?"_s, m_group);
    group->addWidget(m_headline);

    auto *addressRow = new QHBoxLayout;
    addressRow->setSpacing(8);
    m_address = new QLineEdit(m_group);
    m_address->setPlaceholderText(u"Street address, city, or place name"_s);
    enableClearButton(m_address);
    m_address->setAccessibleName(u"Address"_s);
    addressRow->addWidget(m_address, 1);
    m_lookUp = new QPushButton(u"Look Up"_s, m_group);
    m_lookUp->setAutoDefault(false);
    addressRow->addWidget(m_lookUp);
    group->addLayout(addressRow);

    m_useLocation = new QPushButton(u"Use this computer's location"_s, m_group);
    m_useLocation->setIcon(Symbols::icon(u"location.fill"_s));
    m_useLocation->setAutoDefault(false);
    group->addWidget(m_useLocation, 0, Qt::AlignLeft);

    m_manualToggle = new QToolButton(m_group);
    m_manualToggle->setText(u"Enter coordinates manually"_s);
    m_manualToggle->setAutoRaise(true);
    m_manualToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_manualToggle->setArrowType(Qt::RightArrow);
    group->addWidget(m_manualToggle, 0, Qt::AlignLeft);

    m_manualSection = new QWidget(m_group);
    auto *manualRow = new QHBoxLayout(m_manualSection);
    manualRow->setContentsMargins(0, 0, 0, 0);
    manualRow->setSpacing(8);
    m_latitude = new QLineEdit(m_manualSection);
    m_latitude->setPlaceholderText(u"Latitude"_s);
    m_latitude->setAccessibleName(u"Latitude"_s);
    manualRow->addWidget(m_latitude, 1);
    m_longitude = new QLineEdit(m_manualSection);
    m_longitude->setPlaceholderText(u"Longitude"_s);
    m_longitude->setAccessibleName(u"Longitude"_s);
    manualRow->addWidget(m_longitude, 1);
    m_set = new QPushButton(u"Set"_s, m_manualSection);
    m_set->setAutoDefault(false);
    manualRow->addWidget(m_set);
    m_manualSection->setVisible(false);
    group->addWidget(m_manualSection);

    m_progress = new BusyIndicator(m_group);
    m_progress->setFixedSize(m_progress->sizeHint());
    m_progress->setAccessibleName(u"Looking up"_s);
    group->addWidget(m_progress, 0, Qt::AlignLeft);

    m_status = plainLabel(QString(), m_group);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    group->addWidget(m_status);

    m_resolvedRow = new QWidget(m_group);
    auto *resolvedRow = new QHBoxLayout(m_resolvedRow);
    resolvedRow->setContentsMargins(0, 0, 0, 0);
    resolvedRow->setSpacing(6);
    m_resolvedIcon = new QLabel(m_resolvedRow);
    resolvedRow->addWidget(m_resolvedIcon, 0, Qt::AlignTop);
    m_resolvedText = plainLabel(QString(), m_resolvedRow);
    m_resolvedText->setWordWrap(true);
    m_resolvedText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    resolvedRow->addWidget(m_resolvedText, 1);
    group->addWidget(m_resolvedRow);

    // Centred under the header, as wide as allowed: the box takes the row first, the empty
    // sides what its maximum width leaves. (Aligning it would shrink it to its size hint, and
    // a plain addWidget() pins it to the left.)
    auto *groupRow = new QHBoxLayout;
    groupRow->addStretch(0);
    groupRow->addWidget(m_group, 1);
    groupRow->addStretch(0);
    outer->addLayout(groupRow);

    // The buttons.
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addStretch(1);
    if (m_mode == Mode::FirstRun) {
        m_commit = new QPushButton(u"Start Watching the Sky"_s, this);
        buttons->addWidget(m_commit);
    } else {
        m_cancel = new QPushButton(u"Cancel"_s, this);
        m_cancel->setAutoDefault(false);
        buttons->addWidget(m_cancel);
        m_commit = new QPushButton(u"Save"_s, this);
        buttons->addWidget(m_commit);
    }
    m_commit->setDefault(true);
    m_commit->setMinimumHeight(m_commit->sizeHint().height() + 6);
    m_commit->setMinimumWidth(m_commit->sizeHint().width() + 24);
    buttons->addStretch(1);
    outer->addLayout(buttons);

    if (m_mode == Mode::FirstRun) {
        m_note = plainLabel(u"Your location is only used to query public ADS-B data. "
                            "Nothing else leaves this computer."_s,
            this);
        m_note->setAlignment(Qt::AlignCenter);
        m_note->setWordWrap(true);
        outer->addWidget(m_note);
    }
    outer->addStretch(1);

    // Tab order: the way down the view, then the buttons.
    QList<QWidget *> order { m_address, m_lookUp, m_useLocation, m_manualToggle, m_latitude,
        m_longitude, m_set };
    if (m_cancel)
        order.append(m_cancel);
    order.append(m_commit);
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    for (QLineEdit *field : { m_address, m_latitude, m_longitude })
        field->installEventFilter(this);
    connect(m_address, &QLineEdit::textChanged, this, &SetupView::updateState);
    connect(m_lookUp, &QPushButton::clicked, this, &SetupView::geocode);
    connect(m_useLocation, &QPushButton::clicked, this, &SetupView::useCurrentLocation);
    connect(m_manualToggle, &QToolButton::clicked, this, [this] {
        setManualOpen(m_manualSection->isHidden());
        if (!m_manualSection->isHidden())
            m_latitude->setFocus(Qt::TabFocusReason);
    });
    connect(m_latitude, &QLineEdit::textChanged, this, &SetupView::updateState);
    connect(m_longitude, &QLineEdit::textChanged, this, &SetupView::updateState);
    connect(m_set, &QPushButton::clicked, this, &SetupView::setManual);
    connect(m_commit, &QPushButton::clicked, this, &SetupView::commit);
    if (m_cancel)
        connect(m_cancel, &QPushButton::clicked, this, &SetupView::cancel);
}

void SetupView::setManualOpen(bool open)
{
    // A disclosure line rather than a checkable button, whose pressed look reads as a toggle.
    m_manualToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    m_manualSection->setVisible(open);
}

void SetupView::geocode()
{
    const QString address = m_address->text();
    if (address.trimmed().isEmpty() || !m_geocoder || isWorking())
        return;
    m_working = Lookup::Address;
    setStatus(QString(), false);
    m_addressReply = m_geocoder->lookUp(address, this);
    connect(m_addressReply, &Reply::finished, this, &SetupView::addressLookedUp);
    updateState();
}

void SetupView::useCurrentLocation()
{
    if (!m_location || isWorking())
        return;
    m_working = Lookup::Location;
    setStatus(QString(), false);
    m_location->request();
    updateState();
}

void SetupView::setManual()
{
    if (m_latitude->text().isEmpty() || m_longitude->text().isEmpty())
        return;
    const std::optional<LatLon> coordinate =
        parseCoordinates(m_latitude->text(), m_longitude->text());
    if (!coordinate) {
        setStatus(u"Coordinates must be decimal degrees, e.g. 45.6387, -122.6615."_s, true);
        return;
    }
    accept(u"Home"_s, coordinate->latitude, coordinate->longitude);
    // The candidate is ready, so the next Return confirms it.
    m_commit->setFocus(Qt::OtherFocusReason);
}

void SetupView::commit()
{
    if (!m_resolved || !m_store)
        return;
    // A lookup still running would only replace a candidate that is no longer wanted.
    stopWork();
    m_store->setHome(*m_resolved);
    Q_EMIT finished();
}

void SetupView::cancel()
{
    stopWork();
    Q_EMIT finished();
}

void SetupView::accept(const QString &label, double latitude, double longitude)
{
    m_resolved = HomeLocation { latitude, longitude, label };
    m_latitude->setText(QString::asprintf("%.5f", latitude));
    m_longitude->setText(QString::asprintf("%.5f", longitude));
    setStatus(u"Location found."_s, false);
    updateState();
}

void SetupView::setStatus(const QString &message, bool isError)
{
    m_statusMessage = message;
    m_statusIsError = isError;
    m_status->setText(message);
    updatePalette();
    updateState();
}

void SetupView::stopWork()
{
    if (m_addressReply) {
        m_addressReply->cancel();
        m_addressReply->deleteLater();
    }
    if (m_working == Lookup::Location && m_location)
        m_location->cancel();
    m_working = Lookup::None;
}

void SetupView::updateState()
{
    const bool working = isWorking();
    m_lookUp->setEnabled(m_geocoder && !working && !m_address->text().trimmed().isEmpty());
    m_useLocation->setEnabled(m_location && !working);
    m_set->setEnabled(!m_latitude->text().isEmpty() && !m_longitude->text().isEmpty());
    m_progress->setVisible(working);
    m_status->setVisible(!m_statusMessage.isEmpty());
    m_commit->setEnabled(m_resolved.has_value());

    m_resolvedRow->setVisible(m_resolved.has_value());
    if (m_resolved) {
        m_resolvedText->setText(m_resolved->label + u"  ("_s
            + QString::asprintf("%.4f, %.4f", m_resolved->latitude, m_resolved->longitude) + u')');
    }
}

void SetupView::updateFonts()
{
    const auto scaled = [this](qreal factor, bool bold) {
        return TextStyle::relativeFont(font(), factor, bold ? QFont::Bold : QFont::Normal);
    };
    // Relative to the body text, as the desktop's type scale would have them.
    m_title->setFont(scaled(m_mode == Mode::FirstRun ? 2.0 : 1.3, true));
    if (m_subtitle)
        m_subtitle->setFont(scaled(1.0, false));
    m_headline->setFont(scaled(1.0, true));
    m_status->setFont(scaled(0.92, false));
    if (m_note)
        m_note->setFont(scaled(0.8, false));
    m_commit->setFont(scaled(1.0, true));
}

void SetupView::updatePalette()
{
    const QPalette &palette = this->palette();
    if (m_headerIcon)
        m_headerIcon->setPixmap(Symbols::pixmap(
            u"airplane.circle.fill"_s, headerSymbolPx, SystemColors::blue(palette)));
    if (m_subtitle)
        setTextColor(m_subtitle, SystemColors::secondaryText(palette));
    if (m_note)
        setTextColor(m_note, SystemColors::tertiaryText(palette));
    setTextColor(m_status,
        m_statusIsError ? SystemColors::red(palette) : SystemColors::secondaryText(palette));
    const int iconPx = QFontMetrics(m_resolvedText->font()).height();
    m_resolvedIcon->setPixmap(
        Symbols::pixmap(u"checkmark.circle.fill"_s, iconPx, SystemColors::green(palette)));

    // The prominent button: filled with the accent colour while it can be pressed; disabled it
    // keeps the palette's own disabled look.
    QPalette prominent = palette;
    for (const QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive }) {
        prominent.setColor(group, QPalette::Button, palette.color(group, QPalette::Highlight));
        prominent.setColor(
            group, QPalette::ButtonText, palette.color(group, QPalette::HighlightedText));
    }
    m_commit->setPalette(prominent);
    update();
}

void SetupView::addressLookedUp()
{
    GeocodeReply *reply = m_addressReply;
    m_addressReply.clear();
    reply->deleteLater();
    m_working = Lookup::None;
    switch (reply->result()) {
    case GeocodeReply::Result::Match:
        accept(reply->place().homeLabel(), reply->place().latitude, reply->place().longitude);
        return;
    case GeocodeReply::Result::NoMatch:
        setStatus(u"No match found for that address."_s, true);
        return;
    case GeocodeReply::Result::Failed:
        setStatus(reply->errorText(), true);
        return;
    }
}

void SetupView::locationFound(double latitude, double longitude)
{
    if (m_working != Lookup::Location)
        return;
    m_working = Lookup::None;
    accept(u"My location"_s, latitude, longitude);
}

void SetupView::locationFailed()
{
    if (m_working != Lookup::Location)
        return;
    m_working = Lookup::None;
    setStatus(u"Couldn't get this computer's location. Try the address field instead."_s, true);
}

void SetupView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused button is pressed, as in a dialog; anywhere else Return confirms.
        if (auto *button = qobject_cast<QAbstractButton *>(focusWidget());
            button && button != m_commit && isAncestorOf(button)) {
            if (button->isEnabled())
                button->click();
        } else if (m_commit->isEnabled()) {
            m_commit->click();
        }
        event->accept();
        return;
    case Qt::Key_Escape:
        if (m_cancel) {
            m_cancel->click();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

bool SetupView::eventFilter(QObject *watched, QEvent *event)
{
    // Return in a field acts on that field (look up, set), never confirms behind its back.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == m_address) {
                geocode();
                return true;
            }
            if (watched == m_latitude || watched == m_longitude) {
                setManual();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SetupView::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
        updatePalette();
        break;
    case QEvent::FontChange:
    case QEvent::ApplicationFontChange:
        updateFonts();
        updatePalette();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void SetupView::paintEvent(QPaintEvent *)
{
    // The grouped box: a rounded panel a shade off the window colour, with a hairline edge.
    const QPalette &palette = this->palette();
    const QColor window = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::WindowText);
    const qreal tint = SystemColors::isDark(palette) ? 0.07 : 0.04;
    const QColor fill = QColor::fromRgbF(window.redF() + (text.redF() - window.redF()) * tint,
        window.greenF() + (text.greenF() - window.greenF()) * tint,
        window.blueF() + (text.blueF() - window.blueF()) * tint);
    QColor edge = text;
    edge.setAlphaF(0.12f);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(edge, 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(m_group->geometry()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}
