// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/aircraftlistview.h"

#include "aircraftfilter.h"
#include "flightstore.h"
#include "preferences.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textstyle.h"
#include "textutil.h"
#include "views/aircraftlistmodel.h"
#include "views/aircraftrow.h"
#include "views/busyindicator.h"
#include "views/labels.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStackedWidget>
#include <QStyleOptionMenuItem>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int overlaySymbolPx = 40;
constexpr int dotPx = 7;

QFont captionFont(const QFont &base)
{
    return TextStyle::relativeFont(base, 0.9);
}

QFrame *separator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

// Menu items that carry a symbol get a real check mark at their trailing end when checked:
// the style would otherwise only sink the symbol into a faint box.
class CheckMarkMenuStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
        const QWidget *widget) const override
    {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_MenuItem && marksItem(option))
            result.rwidth() += markWidth(option);
        return result;
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
        const QWidget *widget) const override
    {
        if (element != CE_MenuItem || !marksItem(option)) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionMenuItem item = *qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        const bool checked = item.checked;
        item.checked = false;
        QProxyStyle::drawControl(element, &item, painter, widget);
        if (!checked)
            return;
        const int side = item.fontMetrics.height();
        const QRect mark(item.rect.right() - markWidth(option) + (markWidth(option) - side) / 2,
            item.rect.center().y() - side / 2, side, side);
        const bool selected = item.state & State_Selected;
        Symbols::paint(painter, u"checkmark"_s, QStyle::visualRect(item.direction, item.rect, mark),
            item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    }

private:
    static bool marksItem(const QStyleOption *option)
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        return item && item->checkType == QStyleOptionMenuItem::NonExclusive
            && !item->icon.isNull();
    }
    static int markWidth(const QStyleOption *option) { return option->fontMetrics.height() + 12; }
};

} // namespace

AircraftListView::AircraftListView(FlightStore *store, Preferences *preferences, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_preferences(preferences)
{
    setMinimumWidth(270);

    m_search = new QLineEdit(this);
    m_search->setObjectName(u"searchField"_s);
    m_search->setPlaceholderText(u"Callsign, type, reg"_s);
    enableClearButton(m_search);
    m_search->setAccessibleName(u"Search aircraft"_s);
    // The magnifier only marks the field; named, a screen reader does not call it a bare button.
    m_search->addAction(Symbols::icon(u"magnifyingglass"_s), QLineEdit::LeadingPosition)
        ->setText(u"Search"_s);
    m_search->setText(m_store->searchText());

    m_model = new AircraftListModel(m_preferences, this);
    m_delegate = new AircraftRow(m_preferences, this);
    m_list = new QListView(this);
    m_list->setObjectName(u"aircraftList"_s);
    m_list->setAccessibleName(u"Aircraft"_s);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setUniformItemSizes(true);
    m_list->setMouseTracking(true);
    m_list->setItemDelegate(m_delegate);
    m_list->setModel(m_model);

    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_list);
    m_stack->addWidget(buildOverlay());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(10, 8, 10, 4);
    searchRow->addWidget(m_search);
    layout->addLayout(searchRow);
    layout->addWidget(buildFilterBar());
    layout->addWidget(separator(this));
    layout->addWidget(m_stack, 1);
    layout->addWidget(separator(this));
    layout->addWidget(buildStatusBar());

    connect(m_search, &QLineEdit::textChanged, m_store,
        [this](const QString &text) { m_store->setSearchText(text); });
    connect(m_store, &FlightStore::searchTextChanged, this, [this] {
        if (m_search->text() != m_store->searchText())
            m_search->setText(m_store->searchText());
    });
    m_list->installEventFilter(this);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &AircraftListView::listSelectionChanged);

    connect(m_store, &FlightStore::displayedAircraftChanged, this,
        &AircraftListView::applyDisplayedAircraft);
    connect(
        m_store, &FlightStore::selectedHexChanged, this, [this] { selectStoreSelection(true); });
    connect(m_store, &FlightStore::activeFiltersChanged, this, &AircraftListView::updateFilterBar);
    for (auto signal : { &FlightStore::aircraftChanged, &FlightStore::lastErrorChanged,
             &FlightStore::lastUpdatedChanged, &FlightStore::pausedChanged,
             &FlightStore::radiusNMChanged, &FlightStore::searchTextChanged }) {
        connect(m_store, signal, this, &AircraftListView::updateOverlay);
    }
    for (auto signal : { &FlightStore::pausedChanged, &FlightStore::lastErrorChanged,
             &FlightStore::activeSourceChanged }) {
        connect(m_store, signal, this, &AircraftListView::updateStatus);
    }
    connect(m_preferences, &Preferences::textScaleChanged, this, &AircraftListView::relayoutRows);
    for (auto signal : { &Preferences::planeColorHexChanged, &Preferences::colorByAltitudeChanged,
             &Preferences::distanceUnitChanged }) {
        connect(m_preferences, signal, m_list->viewport(), qOverload<>(&QWidget::update));
    }

    applyDisplayedAircraft();
    updateFonts();
    updateFilterBar();
    updateStatus();
}

QWidget *AircraftListView::buildFilterBar()
{
    auto *bar = new QWidget(this);
    bar->setObjectName(u"filterBar"_s);
    m_filterButton = new QToolButton(bar);
    m_filterButton->setObjectName(u"filterButton"_s);
    m_filterButton->setAutoRaise(true);
    m_filterButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_filterButton->setFocusPolicy(Qt::StrongFocus);
    m_filterMenu = new QMenu(m_filterButton);
    m_filterMenu->setObjectName(u"filterMenu"_s);
    auto *menuStyle = new CheckMarkMenuStyle(QApplication::style()->name());
    menuStyle->setParent(m_filterMenu);
    m_filterMenu->setStyle(menuStyle);
    // Opened by hand rather than through setMenu(), whose arrow the style draws over the text.
    connect(m_filterButton, &QToolButton::clicked, this, &AircraftListView::openFilterMenu);
    rebuildFilterMenu();

    m_count = plainLabel({}, bar, u"filterCount"_s);

    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->addWidget(m_filterButton);
    layout->addStretch(1);
    layout->addWidget(m_count);
    return bar;
}

QWidget *AircraftListView::buildOverlay()
{
    auto *overlay = new QWidget(this);
    overlay->setObjectName(u"overlay"_s);
    overlay->setBackgroundRole(QPalette::Base);
    overlay->setAutoFillBackground(true);

    m_overlayIcon = new QLabel(overlay);
    m_overlayIcon->setObjectName(u"overlayIcon"_s);
    m_overlayIcon->setAlignment(Qt::AlignCenter);
    m_spinner = new BusyIndicator(overlay);
    m_spinner->setObjectName(u"overlaySpinner"_s);
    m_overlayTitle = plainLabel({}, overlay, u"overlayTitle"_s);
    m_overlayTitle->setAlignment(Qt::AlignCenter);
    m_overlayText = plainLabel({}, overlay, u"overlayText"_s);
    m_overlayText->setAlignment(Qt::AlignCenter);
    m_overlayText->setWordWrap(true);
    m_showAll = new QPushButton(u"Show All Aircraft"_s, overlay);
    m_showAll->setObjectName(u"overlayButton"_s);
    connect(m_showAll, &QPushButton::clicked, m_store, [this] {
        m_store->setActiveFilters({});
        m_store->setSearchText({});
    });

    auto *layout = new QVBoxLayout(overlay);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(8);
    layout->addStretch(1);
    layout->addWidget(m_overlayIcon, 0, Qt::AlignHCenter);
    layout->addWidget(m_spinner, 0, Qt::AlignHCenter);
    layout->addWidget(m_overlayTitle);
    layout->addWidget(m_overlayText);
    layout->addSpacing(4);
    layout->addWidget(m_showAll, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return overlay;
}

QWidget *AircraftListView::buildStatusBar()
{
    auto *bar = new QWidget(this);
    bar->setObjectName(u"statusBar"_s);
    m_dot = new QLabel(bar);
    m_dot->setObjectName(u"statusDot"_s);
    m_dot->setFixedSize(dotPx, dotPx);
    m_statusText = plainLabel({}, bar, u"statusText"_s);
    m_statusText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    m_updateSlot = new QWidget(bar);
    m_updateSlot->setObjectName(u"updateSlot"_s);
    m_updateLayout = new QHBoxLayout(m_updateSlot);
    m_updateLayout->setContentsMargins(0, 0, 0, 0);
    m_updateSlot->hide();

    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(6);
    layout->addWidget(m_dot);
    layout->addWidget(m_statusText, 1);
    layout->addWidget(m_updateSlot);
    return bar;
}

AircraftListView::Overlay AircraftListView::overlayFor(const FlightStore &store)
{
    if (store.aircraft().isEmpty()) {
        if (!store.lastError().isEmpty())
            return Overlay::noData;
        if (!store.lastUpdated().isValid())
            return store.isPaused() ? Overlay::paused : Overlay::checking;
        return Overlay::quietSkies;
    }
    return store.displayedAircraft().isEmpty() ? Overlay::noMatches : Overlay::none;
}

void AircraftListView::setUpdateWidget(QWidget *widget)
{
    while (QLayoutItem *item = m_updateLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (widget) {
        m_updateLayout->addWidget(widget);
        // Tab reaches it where the eye does: below the list, before the toolbar.
        setTabOrder(m_list, widget);
    }
    m_updateSlot->setVisible(widget != nullptr);
}

void AircraftListView::applyDisplayedAircraft()
{
    {
        // Rows that leave take their selection along; the store's selection is not the
        // list's to clear (a search may hide the selected aircraft for a moment).
        const QScopedValueRollback guard(m_syncing, true);
        m_model->setAircraft(m_store->displayedAircraft());
    }
    selectStoreSelection(false);
    updateFilterBar();
    updateOverlay();
}

void AircraftListView::selectStoreSelection(bool scroll)
{
    const QScopedValueRollback guard(m_syncing, true);
    QItemSelectionModel *selection = m_list->selectionModel();
    const int row = m_store->selectedHex().isEmpty() ? -1 : m_model->rowOf(m_store->selectedHex());
    if (row < 0) {
        if (selection->hasSelection())
            selection->clearSelection();
        return;
    }
    const QModelIndex index = m_model->index(row);
    if (!selection->isSelected(index))
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    if (scroll)
        m_list->scrollTo(index);
}

void AircraftListView::listSelectionChanged()
{
    if (m_syncing)
        return;
    const QModelIndexList rows = m_list->selectionModel()->selectedIndexes();
    m_store->setSelectedHex(
        rows.isEmpty() ? QString() : rows.first().data(AircraftListModel::HexRole).toString());
}

void AircraftListView::rebuildFilterMenu()
{
    m_filterMenu->clear();
    const QSet<AircraftFilter> active = m_store->activeFilters();
    QAction *all = m_filterMenu->addAction(u"All Aircraft"_s);
    all->setObjectName(u"filterAll"_s);
    // The check mark stands where the filters show their symbols.
    all->setIcon(active.isEmpty() ? Symbols::icon(u"checkmark"_s) : QIcon());
    connect(all, &QAction::triggered, m_store, [this] { m_store->setActiveFilters({}); });
    m_filterMenu->addSeparator();
    for (const AircraftFilter filter : AircraftFilters::all()) {
        QAction *toggle = m_filterMenu->addAction(
            Symbols::icon(AircraftFilters::symbolName(filter)), AircraftFilters::title(filter));
        toggle->setObjectName(u"filter-"_s + AircraftFilters::rawValue(filter));
        toggle->setCheckable(true);
        toggle->setChecked(active.contains(filter));
        connect(toggle, &QAction::toggled, m_store, [this, filter](bool on) {
            QSet<AircraftFilter> filters = m_store->activeFilters();
            if (on)
                filters.insert(filter);
            else
                filters.remove(filter);
            m_store->setActiveFilters(filters);
        });
    }
}

void AircraftListView::openFilterMenu()
{
    rebuildFilterMenu();
    // The keyboard starts on what is in force: the first active filter, else "All Aircraft".
    const QList<QAction *> actions = m_filterMenu->actions();
    const auto current = std::find_if(
        actions.cbegin(), actions.cend(), [](const QAction *a) { return a->isChecked(); });
    m_filterMenu->setActiveAction(current != actions.cend() ? *current : actions.constFirst());
    m_filterMenu->popup(m_filterButton->mapToGlobal(QPoint(0, m_filterButton->height())));
}

void AircraftListView::updateFilterBar()
{
    const bool filtering = !m_store->activeFilters().isEmpty();
    m_filterButton->setText(m_store->filterLabel());
    m_filterButton->setAccessibleName(u"Filter: "_s + m_store->filterLabel());
    m_filterButton->setIcon(filtering ? Symbols::icon(u"line.3.horizontal.decrease.circle.fill"_s,
                                palette().color(QPalette::Highlight))
                                      : Symbols::icon(u"line.3.horizontal.decrease.circle"_s));
    m_count->setVisible(filtering);
    if (filtering)
        m_count->setText(u"%1 of %2"_s.arg(m_model->rowCount()).arg(m_store->aircraft().size()));
    // Keeps the menu's checks right should it be open while the filters change elsewhere.
    if (m_filterMenu->isVisible())
        rebuildFilterMenu();
}

void AircraftListView::updateOverlay()
{
    m_overlay = overlayFor(*m_store);
    const QColor secondary = SystemColors::secondaryText(palette());
    QString symbol;
    QString title;
    QString text;
    switch (m_overlay) {
    case Overlay::none:
        break;
    case Overlay::noData:
        symbol = u"wifi.exclamationmark"_s;
        title = u"No Data"_s;
        text = m_store->lastError();
        break;
    case Overlay::paused:
        symbol = u"pause.circle"_s;
        title = u"Paused"_s;
        text = u"Resume updates to check for aircraft."_s;
        break;
    case Overlay::checking:
        text = u"Checking for aircraft…"_s;
        break;
    case Overlay::quietSkies:
        symbol = u"airplane.departure"_s;
        title = u"Quiet Skies"_s;
        text = u"No aircraft within %1 nm right now."_s.arg(
            TextUtil::formatNumber(m_store->radiusNM()));
        break;
    case Overlay::noMatches:
        symbol = u"line.3.horizontal.decrease.circle"_s;
        title = u"No Matches"_s;
        text = m_store->searchText().isEmpty()
            ? u"Nothing in range matches the selected filters."_s
            : u"Nothing matches the current filters and search."_s;
        break;
    }
    if (!symbol.isEmpty())
        m_overlayIcon->setPixmap(Symbols::pixmap(symbol, overlaySymbolPx, secondary));
    m_overlayIcon->setVisible(!symbol.isEmpty());
    m_overlayTitle->setText(title);
    m_overlayTitle->setVisible(!title.isEmpty());
    m_overlayText->setText(text);
    m_spinner->setVisible(m_overlay == Overlay::checking);
    m_showAll->setVisible(m_overlay == Overlay::noMatches);
    m_stack->setCurrentIndex(m_overlay == Overlay::none ? 0 : 1);
}

void AircraftListView::updateStatus()
{
    const QPalette p = palette();
    const bool attention = !m_store->lastError().isEmpty() || m_store->isPaused();
    const QColor dotColor = attention ? SystemColors::orange(p) : SystemColors::green(p);
    const qreal ratio = devicePixelRatioF();
    QPixmap dot(QSize(dotPx, dotPx) * ratio);
    dot.setDevicePixelRatio(ratio);
    dot.fill(Qt::transparent);
    {
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(dotColor);
        painter.drawEllipse(QRectF(0, 0, dotPx, dotPx));
    }
    m_dot->setPixmap(dot);

    QString text;
    QColor color = SystemColors::secondaryText(p);
    if (m_store->isPaused()) {
        text = u"Paused"_s;
    } else if (!m_store->lastError().isEmpty()) {
        text = m_store->lastError();
        color = SystemColors::red(p);
    } else if (!m_store->activeSource().isEmpty()) {
        text = u"Live via "_s + m_store->activeSource();
    } else {
        text = u"Connecting…"_s;
    }
    m_statusText->setText(text);
    m_statusText->setToolTip(TextUtil::plainToolTip(text));
    setTextColor(m_statusText, color);
}

void AircraftListView::updateFonts()
{
    const QFont caption = captionFont(font());
    m_count->setFont(caption);
    m_statusText->setFont(caption);
    m_overlayTitle->setFont(TextStyle::relativeFont(font(), 1.35, QFont::Bold));
    setTextColor(m_count, SystemColors::secondaryText(palette()));
    setTextColor(m_overlayText, SystemColors::secondaryText(palette()));
}

void AircraftListView::relayoutRows()
{
    // Uniform rows cache their height; a new text size asks for a fresh layout.
    m_list->doItemsLayout();
    m_list->viewport()->update();
}

bool AircraftListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!m_store->selectedHex().isEmpty()) {
                Q_EMIT showSelectionRequested();
                return true;
            }
            break;
        case Qt::Key_Escape:
            // Closes the card; with nothing selected Escape goes on to the window.
            if (!m_store->selectedHex().isEmpty()) {
                m_store->setSelectedHex({});
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AircraftListView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        // Colours picked from the palette (icons, dot, secondary text) follow a theme switch.
        updateFonts();
        updateFilterBar();
        updateOverlay();
        updateStatus();
    }
}
