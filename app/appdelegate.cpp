// SPDX-License-Identifier: GPL-3.0-or-later
#include "appdelegate.h"

#include "flightstore.h"
#include "safefile.h"
#include "widgetrender.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// No aircraft address comes near this; a longer "hex" is a hostile link, not an aircraft.
constexpr qsizetype maxHexChars = 32;

bool isMainWindow(const QWidget *widget)
{
    if (!widget->isWindow() || widget->windowType() != Qt::Window
        || widget->windowFlags().testFlag(Qt::FramelessWindowHint))
        return false;
    if (!widget->isVisible() && !widget->isMinimized())
        return false;
    const QString title = widget->windowTitle();
    return title != u"About Skyvelle"_s && title != u"Skyvelle Help"_s
        && !title.startsWith(u"Settings"_s);
}

// The application's windows, oldest first (QApplication's own list has no order).
QList<QWidget *> windowsInOrder()
{
    QList<QWidget *> widgets = QApplication::topLevelWidgets();
    widgets.removeIf([](const QWidget *w) {
        return !w->isWindow() || w->windowType() == Qt::Desktop || w->windowType() == Qt::Popup
            || w->windowType() == Qt::ToolTip;
    });
    const QWindowList order = QGuiApplication::allWindows();
    std::stable_sort(widgets.begin(), widgets.end(), [&order](QWidget *a, QWidget *b) {
        const auto rank = [&order](QWidget *w) {
            const qsizetype at = order.indexOf(w->windowHandle());
            return at < 0 ? order.size() : at;
        };
        return rank(a) < rank(b);
    });
    return widgets;
}

// What a selection takes from the last path component: "" for none.
QString hexFrom(const QUrl &url)
{
    QString path = url.path(QUrl::FullyDecoded);
    while (path.endsWith(u'/'))
        path.chop(1);
    const QString last = path.mid(path.lastIndexOf(u'/') + 1);
    if (last.size() > maxHexChars)
        return {};
    for (const QChar c : last) {
        if (!c.isPrint())
            return {};
    }
    return last;
}

} // namespace

AppDelegate::AppDelegate(FlightStore *store, const DebugLog &log, const Shots &shots,
    const Timing &timing, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_log(log)
    , m_shots(shots)
    , m_timing(timing)
{
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive)
            didBecomeActive();
    });
}

AppDelegate::AppDelegate(
    FlightStore *store, const DebugLog &log, const Shots &shots, QObject *parent)
    : AppDelegate(store, log, shots, Timing(), parent)
{
}

AppDelegate::~AppDelegate()
{
    delete m_fallbackWindow;
}

void AppDelegate::setOpenMainWindow(std::function<void()> open)
{
    m_openMainWindow = std::move(open);
}

void AppDelegate::setFallbackFactory(std::function<QWidget *()> make)
{
    m_makeFallback = std::move(make);
}

void AppDelegate::didFinishLaunching()
{
    m_finishedLaunching = true;
    m_log.write(u"launched; GetURL handler registered"_s);
    QTimer::singleShot(m_timing.launchCheckMs, this, [this] {
        if (!mainWindows().isEmpty())
            return;
        m_log.write(u"launched windowless — presenting a window"_s);
        restoreMainWindow();
    });
}

void AppDelegate::didBecomeActive()
{
    if (!m_finishedLaunching)
        return;
    QTimer::singleShot(m_timing.activationCheckMs, this, [this] {
        if (!mainWindows().isEmpty())
            return;
        m_log.write(u"became active with no window — restoring"_s);
        restoreMainWindow();
    });
}

void AppDelegate::handleGetURL(const QString &text)
{
    m_log.write(u"GetURL: "_s + text);
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != u"skyvelle"_s)
        return;
    openLink(url);
}

void AppDelegate::openLink(const QUrl &url)
{
    logWindows(u"before"_s);
    activate();
    const QString host = url.host();
    if (host == u"aircraft"_s) {
        restoreMainWindow();
        if (const QString hex = hexFrom(url); !hex.isEmpty())
            m_store->setSelectedHex(hex);
    } else if (host == u"shot"_s) {
        writeShot();
    } else if (host == u"widgetshots"_s) {
        writeWidgetShots();
    } else if (host == u"closewindow"_s) {
        closeMainWindows();
        logWindows(u"after closewindow"_s);
    } else {
        restoreMainWindow();
    }
}

void AppDelegate::notificationClicked(const QString &hex)
{
    QUrl url;
    url.setScheme(u"skyvelle"_s);
    url.setHost(u"aircraft"_s);
    url.setPath(u'/' + hex);
    // Posted, as a click arrives in the middle of the bus's own dispatch.
    QTimer::singleShot(0, this, [this, url] { openLink(url); });
}

void AppDelegate::restoreMainWindow()
{
    if (const QList<QWidget *> windows = mainWindows(); !windows.isEmpty()) {
        QWidget *first = windows.first();
        m_log.write(u"raising existing window '"_s + first->windowTitle() + u'\'');
        if (first->isMinimized())
            first->setWindowState(first->windowState() & ~Qt::WindowMinimized);
        first->show();
        first->raise();
        first->activateWindow();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_lastRestore
        && now - *m_lastRestore <= std::chrono::milliseconds(m_timing.restoreThrottleMs)) {
        m_log.write(u"restore throttled (already in progress)"_s);
        return;
    }
    m_lastRestore = now;
    if (!m_openMainWindow) {
        m_log.write(u"no main window and no captured openWindow action"_s);
    } else {
        m_log.write(u"no main window — calling captured openWindow(id: main)"_s);
        m_openMainWindow();
        activate();
    }
    QTimer::singleShot(m_timing.postReopenMs, this, &AppDelegate::afterReopen);
}

void AppDelegate::afterReopen()
{
    logWindows(u"post-reopen"_s);
    if (!mainWindows().isEmpty())
        return;
    m_log.write(u"openWindow produced nothing — using fallback window"_s);
    if (!m_fallbackWindow && m_makeFallback) {
        m_fallbackWindow = m_makeFallback();
        m_fallbackWindow->setWindowTitle(u"Skyvelle"_s);
        m_fallbackWindow->resize(1180, 740);
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            m_fallbackWindow->move(
                screen->availableGeometry().center() - m_fallbackWindow->rect().center());
    }
    if (!m_fallbackWindow)
        return;
    m_fallbackWindow->showNormal();
    m_fallbackWindow->raise();
    m_fallbackWindow->activateWindow();
}

QList<QWidget *> AppDelegate::mainWindows() const
{
    QList<QWidget *> windows = windowsInOrder();
    windows.removeIf([](const QWidget *w) { return !isMainWindow(w); });
    return windows;
}

void AppDelegate::logWindows(const QString &tag) const
{
    QStringList lines { u"windows "_s + tag + u':' };
    const QList<QWidget *> windows = windowsInOrder();
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const QWidget *w = windows.at(i);
        const QString id = w->objectName().isEmpty() ? u"-"_s : w->objectName();
        lines << u"  [%1] '%2' id=%3 class=%4 visible=%5 mini=%6"_s.arg(i).arg(w->windowTitle(), id,
            QString::fromLatin1(w->metaObject()->className()),
            w->isVisible() ? u"true"_s : u"false"_s, w->isMinimized() ? u"true"_s : u"false"_s);
    }
    m_log.write(lines);
}

void AppDelegate::activate()
{
    // Nothing on screen to come forward: the check that follows activation brings one back.
    const QList<QWidget *> windows = mainWindows();
    if (windows.isEmpty()) {
        didBecomeActive();
        return;
    }
    windows.first()->raise();
    windows.first()->activateWindow();
}

void AppDelegate::writeShot()
{
    const QList<QWidget *> windows = mainWindows();
    if (windows.isEmpty())
        return;
    const QImage image = windows.first()->grab().toImage();
    if (image.isNull()) {
        m_log.write(u"QWidget::grab returned nothing"_s);
        return;
    }
    if (writePrivately(m_shots.window, image))
        m_log.write(u"wrote shot via QWidget::grab %1x%2"_s.arg(image.width()).arg(image.height()));
}

void AppDelegate::writeWidgetShots()
{
    const SkyEntry sample = sampleEntry(u"#73FF99"_s);
    const std::pair<WidgetLayout, QString> shots[] = {
        { WidgetLayout::NearestSmall, u"widget-small.png"_s },
        { WidgetLayout::RadarMedium, u"widget-medium.png"_s },
        { WidgetLayout::SkyBoardLarge, u"widget-large.png"_s },
    };
    for (const auto &[layout, name] : shots) {
        const QImage image = WidgetRender::render(layout, sample, 2.0);
        if (!image.isNull() && writePrivately(m_shots.widgetFolder + u'/' + name, image))
            m_log.write(u"wrote "_s + name);
    }
}

bool AppDelegate::writePrivately(const QString &path, const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return false;
    // The files go to a folder every user shares: whatever someone else planted at the name
    // stays untouched, a link is never written through, and a new file is the user's alone
    // (the pictures show where they live).
    QString error;
    if (!SafeFile::isOwnOrAbsent(path))
        error = path + u" is a link or another user's file"_s;
    else
        SafeFile::write(path, png, &error);
    if (!error.isEmpty())
        m_log.write(u"not written: "_s + error);
    return error.isEmpty();
}

void AppDelegate::closeMainWindows()
{
    for (QWidget *window : mainWindows())
        window->close();
}
