// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingswindow.h"

#include "views/settings/settingsview.h"
#include "windowplacement.h"

#include <QVBoxLayout>

using namespace Qt::StringLiterals;

SettingsWindow::SettingsWindow(Preferences *preferences, FlightStore *store, QWidget *parent,
    const LoginItem &loginItem, NotificationPermission *permission)
    : QWidget(parent, Qt::Window)
    , m_view(new SettingsView(preferences, store, loginItem, permission, this))
{
    setObjectName(u"settings"_s);
    const auto retitle = [this](SettingsView::Pane pane) {
        setWindowTitle(u"Settings — "_s + SettingsView::title(pane));
    };
    retitle(m_view->pane());
    connect(m_view, &SettingsView::paneChanged, this, retitle);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
    resize(760, 560);
}

void SettingsWindow::present(QWidget *near)
{
    presentWindow(this, near);
}
