// SPDX-License-Identifier: GPL-3.0-or-later
#include "trayicon.h"

#include "flightstore.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

bool TrayIcon::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

TrayIcon::TrayIcon(FlightStore *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_menu(new QMenu)
{
    QAction *show = m_menu->addAction(u"Show Skyvelle"_s);
    connect(show, &QAction::triggered, this, &TrayIcon::showRequested);
    m_pause = m_menu->addAction(QString());
    connect(m_pause, &QAction::triggered, m_store,
        [this] { m_store->setPaused(!m_store->isPaused()); });
    connect(m_store, &FlightStore::pausedChanged, this, &TrayIcon::updatePauseAction);
    updatePauseAction();
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(u"Quit"_s);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);

    m_icon = new QSystemTrayIcon(QApplication::windowIcon(), this);
    m_icon->setToolTip(u"Skyvelle"_s);
    m_icon->setContextMenu(m_menu);
    connect(
        m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
            if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick)
                Q_EMIT showRequested();
        });
    m_icon->show();
}

TrayIcon::~TrayIcon()
{
    delete m_menu;
}

void TrayIcon::updatePauseAction()
{
    m_pause->setText(m_store->isPaused() ? u"Resume"_s : u"Pause"_s);
}
