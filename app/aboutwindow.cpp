// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutwindow.h"

#include "preferences.h"
#include "radaricon.h"
#include "radarmaprenderer.h"
#include "services.h"
#include "systemcolors.h"
#include "textstyle.h"
#include "views/labels.h"
#include "views/linkbutton.h"
#include "weblink.h"
#include "windowplacement.h"

#include <QElapsedTimer>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// One turn of the sweep takes this long, slow enough to read as calm rather than busy.
constexpr int sweepPeriodMs = 4000;

// The radar icon, turning unless the user asked for less motion; still, it shows the frame
// the desktop icon shows. It only ticks while visible.
class RadarIconView : public QWidget {
public:
    RadarIconView(Preferences *preferences, QWidget *parent)
        : QWidget(parent)
        , m_preferences(preferences)
    {
        setObjectName(u"radarIcon"_s);
        setAccessibleName(u"Skyvelle icon"_s);
        setFixedSize(96, 96);
        m_timer.setInterval(33);
        connect(&m_timer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
        connect(m_preferences, &Preferences::reduceMotionChanged, this, [this] {
            updateTimer();
            update();
        });
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        // Starts from the still frame, so turning motion on does not make the sweep jump.
        const double phase = animating()
            ? RadarIcon::stillPhase() + double(m_clock.elapsed() % sweepPeriodMs) / sweepPeriodMs
            : RadarIcon::stillPhase();
        RadarIcon::paint(&painter, rect(), phase);
    }
    void showEvent(QShowEvent *) override { updateTimer(); }
    void hideEvent(QHideEvent *) override { m_timer.stop(); }

private:
    bool animating() const { return m_timer.isActive(); }
    void updateTimer()
    {
        if (isVisible() && !m_preferences->reduceMotion()) {
            if (!m_timer.isActive()) {
                m_clock.start();
                m_timer.start();
            }
        } else {
            m_timer.stop();
        }
    }

    Preferences *m_preferences;
    QTimer m_timer;
    QElapsedTimer m_clock;
};

// The service's own address without a path: what a credit links to.
QUrl siteOf(const QUrl &base)
{
    QUrl site = base;
    site.setPath({});
    site.setQuery(QString());
    site.setFragment(QString());
    return site;
}

// A service's name as people know it: its host without the "api." of its interface.
QString nameOf(const QUrl &base)
{
    QString host = base.host();
    if (host.startsWith(u"api."_s))
        host.remove(0, 4);
    return host.isEmpty() ? base.toString() : host;
}

// A link when @p url is a web address, else the text alone: an address from the settings file
// may be anything, and only web pages are opened.
QWidget *linkOrText(const QString &text, const QUrl &url, QWidget *parent)
{
    if (WebLink::isWeb(url))
        return new LinkButton(text, url, parent);
    return plainLabel(text, parent);
}

QWidget *row(const QList<QWidget *> &items, QWidget *parent)
{
    auto *holder = new QWidget(parent);
    auto *layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    for (QWidget *item : items) {
        item->setParent(holder);
        layout->addWidget(item);
    }
    layout->addStretch();
    return holder;
}

} // namespace

AboutWindow::AboutWindow(const Services &services, Preferences *preferences, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"about"_s);
    setWindowTitle(u"About Skyvelle"_s);

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(28, 24, 28, 20);
    layout->setSpacing(4);

    layout->addWidget(new RadarIconView(preferences, this), 0, Qt::AlignHCenter);
    layout->addSpacing(8);
    QLabel *name = plainLabel(u"Skyvelle"_s, this, u"name"_s);
    name->setFont(TextStyle::relativeFont(font(), 1.8, QFont::Bold));
    layout->addWidget(name, 0, Qt::AlignHCenter);
    QLabel *version =
        plainLabel(u"Version "_s + QString::fromLatin1(SKYVELLE_VERSION), this, u"version"_s);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setTextColor(version, SystemColors::secondaryText(palette()));
    layout->addWidget(version, 0, Qt::AlignHCenter);
    layout->addWidget(plainLabel(u"Live aircraft around home."_s, this), 0, Qt::AlignHCenter);
    layout->addSpacing(16);

    auto heading = [&](const QString &text) {
        QLabel *label = plainLabel(text, this);
        label->setFont(TextStyle::relativeFont(font(), 1.0, QFont::DemiBold));
        layout->addWidget(label);
    };
    auto *sources = new QFormLayout;
    sources->setLabelAlignment(Qt::AlignLeft);
    sources->setHorizontalSpacing(12);
    sources->setVerticalSpacing(2);
    auto source = [&](const QString &role, const QList<QWidget *> &items) {
        QLabel *label = plainLabel(role, this);
        setTextColor(label, SystemColors::secondaryText(palette()));
        sources->addRow(label, row(items, this));
    };
    heading(u"Data sources"_s);
    source(u"Live aircraft"_s,
        { linkOrText(services.feedPrimaryName, siteOf(services.feedPrimary), this),
            plainLabel(u"and"_s, this),
            linkOrText(services.feedSecondaryName, siteOf(services.feedSecondary), this) });
    source(u"Routes"_s, { linkOrText(nameOf(services.routes), siteOf(services.routes), this) });
    source(u"Photos"_s, { linkOrText(nameOf(services.photos), siteOf(services.photos), this) });
    source(u"Addresses"_s,
        { linkOrText(u"Nominatim"_s, siteOf(services.geocoder), this),
            plainLabel(u"by OpenStreetMap"_s, this) });
    // The tile licences ask for these words and a link to the terms.
    source(u"Map"_s,
        { new LinkButton(RadarMapRenderer::attribution(MapStyle::Standard),
            QUrl(u"https://www.openstreetmap.org/copyright"_s), this) });
    source(u"Imagery"_s, { new LinkButton(u"Esri"_s, QUrl(u"https://www.esri.com"_s), this) });
    layout->addLayout(sources);
    QLabel *imagery =
        plainLabel(RadarMapRenderer::attribution(MapStyle::Imagery), this, u"imageryCredit"_s);
    imagery->setWordWrap(true);
    imagery->setFixedWidth(380);
    imagery->setFont(TextStyle::relativeFont(font(), 0.85));
    setTextColor(imagery, SystemColors::tertiaryText(palette()));
    layout->addWidget(imagery);
    layout->addSpacing(12);

    heading(u"Licence"_s);
    layout->addWidget(row({ plainLabel(u"Free software under the"_s, this),
                              new LinkButton(u"GNU GPL, version 3 or later"_s,
                                  QUrl(u"https://www.gnu.org/licenses/gpl-3.0.html"_s), this) },
        this));
    layout->addSpacing(16);

    QUrl releases = services.homepage;
    releases.setFragment(u"releases"_s);
    auto *links = new QHBoxLayout;
    links->setSpacing(16);
    links->addStretch();
    links->addWidget(linkOrText(u"Website"_s, services.homepage, this));
    links->addWidget(linkOrText(u"Release History"_s, releases, this));
    links->addStretch();
    layout->addLayout(links);

    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    adjustSize();
}

void AboutWindow::present(QWidget *near)
{
    presentWindow(this, near);
}
