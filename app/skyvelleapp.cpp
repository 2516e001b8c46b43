// SPDX-License-Identifier: GPL-3.0-or-later
#include "skyvelleapp.h"

#include "flightstore.h"
#include "preferences.h"
#include "sharedstate.h"

#include <QNetworkAccessManager>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int signalPipe[2] = { -1, -1 };

void forwardSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; the event loop picks the byte up.
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

SkyvelleApp::SkyvelleApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(u"Skyvelle"_s);
    setApplicationVersion(QStringLiteral(SKYVELLE_VERSION));
    setOrganizationName(u"Skyvelle"_s);
    setDesktopFileName(u"skyvelle"_s);

    quitOnTerminationSignals();

    m_preferences = new Preferences(Preferences::defaultFilePath(), this);
    m_services = Services::withOverrides(m_preferences->serviceOverrides());
    m_network = new QNetworkAccessManager(this);
    m_store = new FlightStore(m_preferences, m_network, m_services, SharedState::directory(), this);
    connect(this, &QCoreApplication::aboutToQuit, m_preferences, &Preferences::sync);
}

SkyvelleApp::~SkyvelleApp() = default;

void SkyvelleApp::quitOnTerminationSignals()
{
    // Logout, shutdown and Ctrl+C end the application the normal way, so that everything
    // that saves on quit gets to save.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [] {
        char byte;
        [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
