// SPDX-License-Identifier: GPL-3.0-or-later
#include "privacypane.h"

#include "flightstore.h"
#include "settingscontrols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace SettingsControls;

PrivacyPane::PrivacyPane(FlightStore *store, QWidget *parent)
    : QWidget(parent)
{
    QVBoxLayout *pane = paneLayout(this);

    QVBoxLayout *leaves = addSection(pane, u"What leaves this computer"_s);
    leaves->addWidget(caption(
        u"Your home coordinates and search radius go to two public ADS-B aggregator services as "
        "the area to ask about. Selecting an aircraft may send its callsign to a route database "
        "and its ICAO code to an aircraft photo service. ATC audio connects straight to the "
        "stream links you add. Looking up an address sends it to an address-search service.\n\n"
        "There are no accounts and no analytics: your home and settings stay on this "
        "computer."_s,
        this));

    QVBoxLayout *home = addSection(pane, u"Home location"_s);
    home->addWidget(caption(u"Your home is stored locally and shared with Skyvelle's widgets "
                            "through a private file. Forgetting it clears both — the app and "
                            "widgets return to setup."_s,
        this));
    auto *forget = new QPushButton(u"Forget Home Location"_s, this);
    forget->setEnabled(store->home().has_value());
    connect(forget, &QPushButton::clicked, store, [store] { store->setHome(std::nullopt); });
    connect(store, &FlightStore::homeChanged, forget,
        [forget, store] { forget->setEnabled(store->home().has_value()); });
    auto *row = new QHBoxLayout;
    row->addWidget(forget);
    row->addStretch(1);
    home->addLayout(row);
}
