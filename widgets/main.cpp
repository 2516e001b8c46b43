// SPDX-License-Identifier: GPL-3.0-or-later
// skyvelle-widgets: the desktop widgets' host.
//
//   skyvelle-widgets                      shows the widgets placed before
//   skyvelle-widgets --add <kind>[:<size>] adds a widget, to the host already running if any
#include "radaricon.h"
#include "singleinstance.h"
#include "skyvellewidgetbundle.h"
#include "widgethost.h"
#include "widgettray.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Windows that stay below the others exist only on X11: a Wayland client cannot place itself.
// Under XWayland the host runs as an X11 client, unless the user chose a platform.
void preferXWayland()
{
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY")
        && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

int usage()
{
    QString kinds;
    for (const WidgetKind &kind : SkyvelleWidgetBundle::kinds())
        kinds += u"  %1\n"_s.arg(kind.kind.section(u'.', -1));
    std::fprintf(stderr, "usage: skyvelle-widgets [--add <kind>[:small|medium|large]]\nkinds:\n%s",
        qPrintable(kinds));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    preferXWayland();

    QString addition;
    if (argc == 3 && qstrcmp(argv[1], "--add") == 0)
        addition = QString::fromLocal8Bit(argv[2]);
    else if (argc != 1)
        return usage();
    if (!addition.isEmpty() && !WidgetHost::parseAddition(addition))
        return usage();

    const QString socketPath = SingleInstance::defaultSocketPath(u"skyvelle-widgets"_s);
    if (SingleInstance::handOff(socketPath, addition))
        return 0;

    QApplication app(argc, argv);
    app.setApplicationName(u"Skyvelle Widgets"_s);
    app.setOrganizationName(u"Skyvelle"_s);
    app.setApplicationVersion(QStringLiteral(SKYVELLE_VERSION));
    app.setDesktopFileName(u"skyvelle"_s);
    app.setWindowIcon(RadarIcon::icon());
    // The widgets are tool windows and the host lives in the tray: nothing closes it but Quit.
    app.setQuitOnLastWindowClosed(false);

    SingleInstance instance(socketPath);
    if (!instance.listen() && SingleInstance::handOff(socketPath, addition))
        return 0;

    WidgetHost host(WidgetHost::Paths::standard());
    const auto addFrom = [&host](const QString &text) {
        if (const std::optional<PlacedWidget> placed = WidgetHost::parseAddition(text))
            host.add(placed->kind, placed->family);
    };
    QObject::connect(&instance, &SingleInstance::received, &host, addFrom);
    host.restore();
    addFrom(addition);

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        auto *tray = new WidgetTray(&host);
        QObject::connect(tray, &WidgetTray::addRequested, &host,
            [&host](const QString &kind, WidgetFamily family) { host.add(kind, family); });
        QObject::connect(tray, &WidgetTray::removeAllRequested, &host, &WidgetHost::removeAll);
    } else {
        // Without a tray the user has no menu to add the first widget from: show the one that
        // shows the most, and leave once the last is removed, as there is nothing left to show.
        if (host.widgets().isEmpty())
            host.add(u"com.tavrin.skyvelle.skyboard"_s, WidgetFamily::Large);
        QObject::connect(&host, &WidgetHost::emptied, &app, &QCoreApplication::quit);
    }
    return app.exec();
}
