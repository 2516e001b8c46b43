// SPDX-License-Identifier: GPL-3.0-or-later
#include "alertspane.h"

#include "notificationpermission.h"
#include "settingscontrols.h"
#include "systemcolors.h"
#include "textstyle.h"
#include "views/labels.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace SettingsControls;

AlertsPane::AlertsPane(Preferences *preferences, const LoginItem &loginItem,
    NotificationPermission *permission, QWidget *parent)
    : QWidget(parent)
    , m_loginItem(loginItem)
{
    QVBoxLayout *pane = paneLayout(this);
    pane->setSpacing(26);

    QVBoxLayout *notifications = addSection(pane, u"Notifications"_s);
    notifications->addWidget(
        boundToggle(u"Enable alerts"_s, preferences, &Preferences::alertsEnabled,
            &Preferences::setAlertsEnabled, &Preferences::alertsEnabledChanged, this));
    notifications->addWidget(
        caption(u"Skyvelle checks every data refresh (5 seconds) against the rules below and "
                "posts a notification. Each aircraft triggers a given rule at most once every 30 "
                "minutes. Alerts fire while Skyvelle is running."_s,
            this));
    connect(preferences, &Preferences::alertsEnabledChanged, this, [preferences, permission] {
        if (preferences->alertsEnabled() && permission)
            permission->request();
    });

    // The rules live in one widget so that the master switch can grey them out together.
    auto *rules = new QWidget(this);
    auto *rulesLayout = new QVBoxLayout(rules);
    rulesLayout->setContentsMargins(0, 0, 0, 0);
    rulesLayout->setSpacing(10);
    addSection(pane, u"Rules"_s)->addWidget(rules);
    rulesLayout->addWidget(
        boundSegments<double>({ { u"2 mi"_s, 2.0 }, { u"5 mi"_s, 5.0 }, { u"10 mi"_s, 10.0 },
                                  { u"25 mi"_s, 25.0 }, { u"Any distance"_s, 0.0 } },
            u"Alert range"_s, preferences, &Preferences::alertRangeMiles,
            &Preferences::setAlertRangeMiles, &Preferences::alertRangeMilesChanged, rules));
    rulesLayout->addWidget(caption(u"How close an aircraft must be to home before the rules "
                                   "below alert. \u201CAny distance\u201D means anywhere in the "
                                   "search radius."_s,
        rules));
    rulesLayout->addWidget(boundToggle(u"Emergency squawks (7500 / 7600 / 7700)"_s, preferences,
        &Preferences::alertEmergency, &Preferences::setAlertEmergency,
        &Preferences::alertEmergencyChanged, rules));
    rulesLayout->addWidget(
        boundToggle(u"Military aircraft"_s, preferences, &Preferences::alertMilitary,
            &Preferences::setAlertMilitary, &Preferences::alertMilitaryChanged, rules));
    rulesLayout->addWidget(
        boundToggle(u"Helicopters"_s, preferences, &Preferences::alertHelicopters,
            &Preferences::setAlertHelicopters, &Preferences::alertHelicoptersChanged, rules));
    rulesLayout->addWidget(
        boundToggle(u"Low altitude (below 2,000 ft)"_s, preferences, &Preferences::alertLowAltitude,
            &Preferences::setAlertLowAltitude, &Preferences::alertLowAltitudeChanged, rules));
    rulesLayout->addSpacing(8);
    rulesLayout->addWidget(
        boundToggle(u"Aircraft about to pass overhead"_s, preferences, &Preferences::alertFlyover,
            &Preferences::setAlertFlyover, &Preferences::alertFlyoverChanged, rules));
    SegmentedControl *closeness = boundSegments<double>(
        { { u"½ mi"_s, 0.5 }, { u"¾ mi"_s, 0.75 }, { u"1 mi"_s, 1.0 }, { u"2 mi"_s, 2.0 } },
        u"Fly-over closeness"_s, preferences, &Preferences::flyoverMissMiles,
        &Preferences::setFlyoverMissMiles, &Preferences::flyoverMissMilesChanged, rules);
    rulesLayout->addWidget(closeness);
    rulesLayout->addWidget(caption(u"Predicts each aircraft's closest approach and warns up to two "
                                   "minutes ahead, with which way to look. Closeness sets how "
                                   "directly overhead the pass must be."_s,
        rules));
    const auto enableRules = [preferences, rules, closeness] {
        rules->setEnabled(preferences->alertsEnabled());
        closeness->setEnabled(preferences->alertFlyover());
    };
    enableRules();
    connect(preferences, &Preferences::alertsEnabledChanged, this, enableRules);
    connect(preferences, &Preferences::alertFlyoverChanged, this, enableRules);

    QVBoxLayout *watchlist = addSection(pane, u"Watchlist"_s);
    auto *field = new QLineEdit(preferences->alertWatchlist(), this);
    field->setAccessibleName(u"Watchlist"_s);
    field->setPlaceholderText(u"N516AS, ASA512, a499c3"_s);
    field->setMaximumWidth(380);
    enableClearButton(field);
    connect(field, &QLineEdit::textChanged, preferences, &Preferences::setAlertWatchlist);
    connect(preferences, &Preferences::alertWatchlistChanged, field, [field, preferences] {
        // Only a change from elsewhere: rewriting the text would move the cursor as one types.
        if (field->text() != preferences->alertWatchlist())
            field->setText(preferences->alertWatchlist());
    });
    watchlist->addWidget(field);
    watchlist->addWidget(caption(u"Comma-separated callsigns, registrations, or ICAO hex codes — "
                                 "get notified whenever one enters your radius."_s,
        this));

    QVBoxLayout *startup = addSection(pane, u"Startup"_s);
    // Made here rather than up front, so that Tab reaches it after the watchlist.
    m_launchAtLogin = new QCheckBox(u"Launch Skyvelle at login"_s, this);
    m_launchAtLogin->setChecked(m_loginItem.isEnabled());
    connect(m_launchAtLogin, &QCheckBox::toggled, this, &AlertsPane::setLaunchAtLogin);
    startup->addWidget(m_launchAtLogin);
    startup->addWidget(
        caption(u"Keeps the sky watched (and alerts live) from the moment you log in."_s, this));
    m_loginItemError = plainLabel({}, this, u"loginItemError"_s);
    m_loginItemError->setWordWrap(true);
    m_loginItemError->setFont(TextStyle::relativeFont(font(), 0.85));
    setTextColor(m_loginItemError, SystemColors::red(palette()));
    m_loginItemError->hide();
    startup->addWidget(m_loginItemError);
}

void AlertsPane::setLaunchAtLogin(bool enabled)
{
    QString error;
    if (m_loginItem.setEnabled(enabled, &error)) {
        m_loginItemError->clear();
        m_loginItemError->hide();
        return;
    }
    m_loginItemError->setText(u"Couldn't update the login item: "_s + error);
    m_loginItemError->show();
    // Show the real state again; the toggle's own signal must not try a second time.
    const QSignalBlocker blocker(m_launchAtLogin);
    m_launchAtLogin->setChecked(m_loginItem.isEnabled());
}
