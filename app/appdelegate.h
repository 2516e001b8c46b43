// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "debuglog.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class FlightStore;
class QWidget;

/// Keeps a main window within the user's reach and answers skyvelle:// links.
///
/// A main window is any titled window that is shown or minimised and is not About, Help or
/// Settings: the logbook counts. Whenever the application is launched, activated or sent a
/// link, a main window comes back, by the captured open action or, when that yields nothing,
/// by one fallback window kept for the whole run. Every step is written to the diagnostic log.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    /// The delays of the window checks; tests shorten them.
    struct Timing {
        int launchCheckMs = 1000;
        int activationCheckMs = 350;
        int postReopenMs = 500;
        int restoreThrottleMs = 1000;
    };

    /// Where the diagnostic links write their pictures.
    struct Shots {
        QString window = QStringLiteral("/tmp/skyvelle-shot.png"); ///< skyvelle://shot
        QString widgetFolder = QStringLiteral("/tmp"); ///< skyvelle://widgetshots
    };

    AppDelegate(FlightStore *store, const DebugLog &log, const Shots &shots, const Timing &timing,
        QObject *parent = nullptr);
    AppDelegate(
        FlightStore *store, const DebugLog &log, const Shots &shots, QObject *parent = nullptr);
    ~AppDelegate() override;

    /// The action that opens a new main window; unset until a main window has appeared once.
    void setOpenMainWindow(std::function<void()> open);
    /// Builds the fallback window (shown and kept by the delegate) when opening produced nothing.
    void setFallbackFactory(std::function<QWidget *()> make);

    /// The end of start-up: from now on activations are checked; one second later a missing
    /// main window is brought back.
    void didFinishLaunching();
    /// The application came to the front: shortly after, a missing main window is brought back.
    void didBecomeActive();
    /// A link as text, from the command line or another launch: logged, then opened when it
    /// is a skyvelle:// link; anything else is ignored.
    void handleGetURL(const QString &text);
    /// Every way in (launch, hand-over, notification click) ends here.
    void openLink(const QUrl &url);
    /// A notification was clicked: a window comes forward with that aircraft selected.
    void notificationClicked(const QString &hex);

    /// Raises the first main window, or opens one (at most once a second while none exists).
    void restoreMainWindow();
    /// The main windows, oldest first.
    QList<QWidget *> mainWindows() const;
    /// Logs every window of the application under @p tag.
    void logWindows(const QString &tag) const;

    bool finishedLaunching() const { return m_finishedLaunching; }
    QWidget *fallbackWindow() const { return m_fallbackWindow; }
    const DebugLog &log() const { return m_log; }

private:
    void activate();
    void afterReopen();
    void writeShot();
    void writeWidgetShots();
    bool writePrivately(const QString &path, const QImage &image);
    void closeMainWindows();

    FlightStore *m_store;
    DebugLog m_log;
    Shots m_shots;
    Timing m_timing;
    bool m_finishedLaunching = false;
    std::optional<std::chrono::steady_clock::time_point> m_lastRestore;
    std::function<void()> m_openMainWindow;
    std::function<QWidget *()> m_makeFallback;
    QPointer<QWidget> m_fallbackWindow;
};
