// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/contentview.h"

#include "flightstore.h"
#include "views/aircraftlistview.h"
#include "views/setupview.h"

#include <QListView>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int sidebarWidth = 310;

} // namespace

ContentView::ContentView(FlightStore *store, Preferences *preferences, Geocoder *geocoder,
    LocationOnce *location, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_geocoder(geocoder)
    , m_location(location)
{
    m_list = new AircraftListView(store, preferences, this);
    auto *detail = new QWidget(this);
    detail->setObjectName(u"detail"_s);

    m_split = new QSplitter(Qt::Horizontal, this);
    m_split->setObjectName(u"mainSplit"_s);
    m_split->setChildrenCollapsible(false);
    m_split->addWidget(m_list);
    m_split->addWidget(detail);
    m_split->setCollapsible(0, false);
    m_split->setCollapsible(1, false);
    m_split->setStretchFactor(0, 0);
    m_split->setStretchFactor(1, 1);
    m_split->setSizes({ sidebarWidth, 1180 - sidebarWidth });

    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_split);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);

    connect(m_store, &FlightStore::homeChanged, this, &ContentView::showCurrentState);
    showCurrentState();
}

bool ContentView::isShowingSetup() const
{
    return m_setup && m_stack->currentWidget() == m_setup;
}

SetupView *ContentView::setupView() const
{
    return m_setup;
}

QWidget *ContentView::detailWidget() const
{
    return m_split->widget(1);
}

void ContentView::setDetailWidget(QWidget *widget)
{
    if (!widget || widget == detailWidget())
        return;
    QWidget *old = m_split->replaceWidget(1, widget);
    delete old;
    m_split->setCollapsible(1, false);
}

void ContentView::showCurrentState()
{
    const bool needSetup = !m_store->home().has_value();
    if (needSetup == isShowingSetup())
        return;
    if (needSetup) {
        // A fresh setup each time the home is forgotten, with nothing left from before.
        m_setup = new SetupView(SetupView::Mode::FirstRun, m_store, m_geocoder, m_location, this);
        m_setup->setObjectName(u"firstRunSetup"_s);
        m_stack->addWidget(m_setup);
        m_stack->setCurrentWidget(m_setup);
    } else {
        m_stack->setCurrentWidget(m_split);
        m_stack->removeWidget(m_setup);
        m_setup->deleteLater();
        m_setup = nullptr;
        m_list->listView()->setFocus();
    }
    Q_EMIT showingSetupChanged(needSetup);
}
