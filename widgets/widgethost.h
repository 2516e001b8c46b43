// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktopwidget.h"
#include "widgetfamily.h"
#include "widgetlist.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QNetworkAccessManager;
class SkyProvider;
class WidgetRefresher;

/// The widget host: owns the desktop widgets, keeps them drawn from one shared entry, remembers
/// where they are, and keeps the autostart entry while there is at least one.
class WidgetHost : public QObject {
    Q_OBJECT
public:
    struct Paths {
        QString settingsFile; ///< the application's settings; its "[services]" group applies
        QString dataDirectory; ///< where the application writes widget-config.json
        QString widgetListFile; ///< the host's own list of widgets
        QString autostartFile; ///< the XDG autostart entry

        /// The user's: "$XDG_CONFIG_HOME/Skyvelle/Skyvelle.conf", SharedState::directory(),
        /// "$XDG_CONFIG_HOME/Skyvelle/widgets.json" and AutostartEntry::standardPath().
        static Paths standard();
    };

    /// A widget to add, as the command line says it: "<kind>[:<family>]", where the kind is
    /// its identifier or its last part ("nearest", "radar", "skyboard") and the family
    /// defaults to the kind's first. Nullopt for an unknown kind or a size it does not come in.
    static std::optional<PlacedWidget> parseAddition(const QString &text);

    explicit WidgetHost(const Paths &paths, QObject *parent = nullptr);
    ~WidgetHost() override;

    /// Opens the widgets' links; QDesktopServices::openUrl unless a test says otherwise.
    void setOpener(DesktopWidget::Opener opener);
    /// Shows the widgets of the list file.
    void restore();
    /// Adds and shows a widget; with no position, it goes to the first free place from the top
    /// right of the primary screen. Nullptr for a kind that does not come in @p family.
    DesktopWidget *add(
        const QString &kind, WidgetFamily family, std::optional<QPoint> position = std::nullopt);
    void remove(DesktopWidget *widget);
    void removeAll();
    QList<DesktopWidget *> widgets() const { return m_widgets; }

Q_SIGNALS:
    /// The last widget went (by Remove or Remove All).
    void emptied();

private:
    DesktopWidget *show(const PlacedWidget &placed);
    QPoint freePosition(WidgetFamily family) const;
    void saveList();
    void syncAutostart();

    Paths m_paths;
    QNetworkAccessManager *m_network;
    SkyProvider *m_provider;
    WidgetRefresher *m_refresher;
    DesktopWidget::Opener m_opener;
    QList<DesktopWidget *> m_widgets;
};
