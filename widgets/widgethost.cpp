// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgethost.h"

#include "autostartentry.h"
#include "requestoptions.h"
#include "services.h"
#include "sharedstate.h"
#include "skyprovider.h"
#include "skyvellewidgetbundle.h"
#include "widgetrefresher.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QScreen>
#include <QStandardPaths>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Space kept between widgets and from the screen's edge.
constexpr int gap = 16;

QScreen *screenNamed(const QString &name)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens) {
        if (screen->name() == name)
            return screen;
    }
    return QGuiApplication::primaryScreen();
}

} // namespace

WidgetHost::Paths WidgetHost::Paths::standard()
{
    const QString config =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/Skyvelle/"_s;
    return { config + u"Skyvelle.conf"_s, SharedState::directory(), config + u"widgets.json"_s,
        AutostartEntry::standardPath() };
}

std::optional<PlacedWidget> WidgetHost::parseAddition(const QString &text)
{
    const QString name = text.section(u':', 0, 0);
    const QString size = text.section(u':', 1);
    for (const WidgetKind &kind : SkyvelleWidgetBundle::kinds()) {
        if (name != kind.kind && name != kind.kind.section(u'.', -1))
            continue;
        const std::optional<WidgetFamily> family =
            size.isEmpty() ? kind.families().value(0) : familyNamed(size);
        if (!family || !kind.families().contains(*family))
            return std::nullopt;
        return PlacedWidget { kind.kind, *family, {}, {} };
    }
    return std::nullopt;
}

WidgetHost::WidgetHost(const Paths &paths, QObject *parent)
    : QObject(parent)
    , m_paths(paths)
    , m_network(new QNetworkAccessManager(this))
    , m_opener([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    const Services services = Services::withOverrides(Services::overridesIn(paths.settingsFile));
    m_provider = new SkyProvider(
        m_network, services, paths.dataDirectory, RequestOptions { services.userAgent() }, this);
    m_refresher = new WidgetRefresher(m_provider, paths.dataDirectory, this);
    connect(m_refresher, &WidgetRefresher::entryChanged, this, [this](const SkyEntry &entry) {
        for (DesktopWidget *widget : std::as_const(m_widgets))
            widget->setEntry(entry);
    });
}

WidgetHost::~WidgetHost()
{
    qDeleteAll(m_widgets);
}

void WidgetHost::setOpener(DesktopWidget::Opener opener)
{
    m_opener = std::move(opener);
}

void WidgetHost::restore()
{
    for (const PlacedWidget &placed : WidgetList::load(m_paths.widgetListFile))
        show(placed);
    // The entry may name an executable that has moved since.
    syncAutostart();
    m_refresher->setActive(!m_widgets.isEmpty());
}

DesktopWidget *WidgetHost::add(
    const QString &kind, WidgetFamily family, std::optional<QPoint> position)
{
    if (!SkyvelleWidgetBundle::layout(kind, family))
        return nullptr;
    const QPoint at = position.value_or(freePosition(family));
    DesktopWidget *widget = show({ kind, family, screenNamed({})->name(), at });
    saveList();
    m_refresher->setActive(true);
    return widget;
}

void WidgetHost::remove(DesktopWidget *widget)
{
    if (!m_widgets.removeOne(widget))
        return;
    widget->deleteLater();
    saveList();
    if (m_widgets.isEmpty()) {
        m_refresher->setActive(false);
        Q_EMIT emptied();
    }
}

void WidgetHost::removeAll()
{
    const QList<DesktopWidget *> all = m_widgets;
    for (DesktopWidget *widget : all)
        remove(widget);
}

DesktopWidget *WidgetHost::show(const PlacedWidget &placed)
{
    const WidgetLayout layout = *SkyvelleWidgetBundle::layout(placed.kind, placed.family);
    auto *widget =
        new DesktopWidget(placed.kind, layout, [this](const QUrl &url) { return m_opener(url); });
    // A widget whose screen is gone, or that would lie off it, comes back inside the primary.
    const QRect screen = screenNamed(placed.screen)->availableGeometry();
    const QRect frame(placed.position, widget->size());
    QPoint position = placed.position;
    if (!screen.contains(frame)) {
        position.setX(qBound(screen.left(), position.x(), screen.right() - frame.width() + 1));
        position.setY(qBound(screen.top(), position.y(), screen.bottom() - frame.height() + 1));
    }
    widget->move(position);
    widget->setEntry(m_refresher->entry());
    connect(widget, &DesktopWidget::moved, this, &WidgetHost::saveList);
    connect(widget, &DesktopWidget::refreshRequested, m_refresher, &WidgetRefresher::refresh);
    connect(widget, &DesktopWidget::removeRequested, this, [this, widget] { remove(widget); });
    m_widgets << widget;
    widget->show();
    return widget;
}

QPoint WidgetHost::freePosition(WidgetFamily family) const
{
    const QRect screen =
        QGuiApplication::primaryScreen()->availableGeometry().adjusted(gap, gap, -gap, -gap);
    const QSize size = frameSize(family).toSize();
    // Beside or below the widgets already there, filling columns from the right: where
    // desktop widgets usually live, and clear of icons on the left.
    const QRect topRight(QPoint(screen.right() + 1 - size.width(), screen.top()), size);
    QList<QRect> candidates { topRight };
    for (const DesktopWidget *widget : m_widgets) {
        const QRect taken = widget->geometry();
        candidates << QRect(QPoint(taken.left() - gap - size.width(), taken.top()), size)
                   << QRect(
                          QPoint(taken.right() + 1 - size.width(), taken.bottom() + 1 + gap), size);
    }
    std::sort(candidates.begin(), candidates.end(), [](const QRect &a, const QRect &b) {
        return std::pair(-a.right(), a.top()) < std::pair(-b.right(), b.top());
    });
    for (const QRect &candidate : std::as_const(candidates)) {
        const bool free = std::none_of(m_widgets.begin(), m_widgets.end(),
            [&](const DesktopWidget *widget) { return widget->geometry().intersects(candidate); });
        if (free && screen.contains(candidate))
            return candidate.topLeft();
    }
    // A full screen: overlap, but stay visible.
    return topRight.topLeft();
}

void WidgetHost::saveList()
{
    QList<PlacedWidget> list;
    for (const DesktopWidget *widget : std::as_const(m_widgets)) {
        list << PlacedWidget { widget->kind(), WidgetRender::family(widget->layout()),
            widget->screen()->name(), widget->pos() };
    }
    WidgetList::save(m_paths.widgetListFile, list);
    syncAutostart();
}

void WidgetHost::syncAutostart()
{
    if (m_widgets.isEmpty())
        AutostartEntry::remove(m_paths.autostartFile);
    else
        AutostartEntry::install(m_paths.autostartFile, QCoreApplication::applicationFilePath());
}
