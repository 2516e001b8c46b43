// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgettray.h"

#include "skyvellewidgetbundle.h"
#include "widgetlist.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

namespace {

// "Sky Radar (small)" where a kind comes in several sizes, its plain name where it does not.
QString entryName(const WidgetKind &kind, WidgetFamily family)
{
    if (kind.layouts.size() < 2)
        return kind.displayName;
    return u"%1 (%2)"_s.arg(kind.displayName, familyName(family));
}

} // namespace

WidgetTray::WidgetTray(QObject *parent)
    : QObject(parent)
    , m_menu(new QMenu)
{
    QMenu *add = m_menu->addMenu(u"Add Widget"_s);
    for (const WidgetKind &kind : SkyvelleWidgetBundle::kinds()) {
        for (const WidgetFamily family : kind.families()) {
            QAction *action = add->addAction(entryName(kind, family));
            action->setToolTip(kind.description);
            connect(action, &QAction::triggered, this,
                [this, id = kind.kind, family] { Q_EMIT addRequested(id, family); });
        }
    }
    connect(m_menu->addAction(u"Remove All"_s), &QAction::triggered, this,
        &WidgetTray::removeAllRequested);
    m_menu->addSeparator();
    connect(m_menu->addAction(u"Quit"_s), &QAction::triggered, qApp, &QCoreApplication::quit,
        Qt::QueuedConnection);

    m_icon = new QSystemTrayIcon(QApplication::windowIcon(), this);
    m_icon->setToolTip(u"Skyvelle Widgets"_s);
    m_icon->setContextMenu(m_menu);
    m_icon->show();
}

WidgetTray::~WidgetTray()
{
    delete m_menu;
}
