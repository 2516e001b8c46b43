// SPDX-License-Identifier: GPL-3.0-or-later
#include "generalpane.h"

#include "appearancecard.h"
#include "settingscontrols.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace SettingsControls;

GeneralPane::GeneralPane(Preferences *preferences, QWidget *parent)
    : QWidget(parent)
{
    QVBoxLayout *pane = paneLayout(this);

    QVBoxLayout *appearance = addSection(pane, u"Appearance"_s);
    auto *cards = new QHBoxLayout;
    cards->setSpacing(18);
    auto *group = new QButtonGroup(this);
    using Look = AppearanceCard::Look;
    const std::pair<Look, QString> looks[] = { { Look::Automatic, u"Automatic"_s },
        { Look::Light, u"Light"_s }, { Look::Dark, u"Dark"_s } };
    for (const auto &[look, label] : looks) {
        auto *card = new AppearanceCard(look, label, this);
        group->addButton(card, int(look));
        cards->addWidget(card);
    }
    cards->addStretch(1);
    appearance->addLayout(cards);
    // The cards follow the enumerators' order, so a card's id is its choice.
    const auto show = [group, preferences] {
        group->button(int(preferences->appearanceChoice()))->setChecked(true);
    };
    show();
    connect(group, &QButtonGroup::idClicked, preferences, [preferences](int id) {
        preferences->setAppearanceChoice(Preferences::AppearanceChoice(id));
    });
    connect(preferences, &Preferences::appearanceChoiceChanged, group, show);
    appearance->addWidget(caption(u"Automatic follows the system's light or dark setting. Choose "
                                  "Light or Dark to override it for Skyvelle only."_s,
        this));

    QVBoxLayout *distances = addSection(pane, u"Distances"_s);
    using Unit = Preferences::DistanceUnit;
    distances->addWidget(boundSegments<Unit>(
        { { u"Miles"_s, Unit::Miles }, { u"Nautical miles"_s, Unit::NauticalMiles },
            { u"Kilometers"_s, Unit::Kilometers } },
        u"Distances"_s, preferences, &Preferences::distanceUnit, &Preferences::setDistanceUnit,
        &Preferences::distanceUnitChanged, this));
    distances->addWidget(caption(u"Used for aircraft distances in the sidebar, detail card, and "
                                 "widgets. The search radius stays in nautical miles, as "
                                 "aviation does."_s,
        this));
}
