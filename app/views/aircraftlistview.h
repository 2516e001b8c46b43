// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class AircraftListModel;
class AircraftRow;
class BusyIndicator;
class FlightStore;
class Preferences;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QStackedWidget;
class QToolButton;

// The sidebar: search field, filter bar, the list of displayed aircraft (or a notice of why
// there is none), and the feed status bar. The list's selection and the store's selectedHex
// follow each other.
class AircraftListView : public QWidget {
    Q_OBJECT
public:
    // What replaces the list when it has nothing to show, in the order the conditions are tried.
    enum class Overlay { none, noData, paused, checking, quietSkies, noMatches };

    AircraftListView(FlightStore *store, Preferences *preferences, QWidget *parent = nullptr);

    static Overlay overlayFor(const FlightStore &store);
    Overlay overlay() const { return m_overlay; }

    QListView *listView() const { return m_list; }
    QLineEdit *searchField() const { return m_search; }
    QToolButton *filterButton() const { return m_filterButton; }
    AircraftListModel *model() const { return m_model; }

    // Shows @p widget (the update notice) at the right end of the status bar; nullptr empties
    // and hides the slot. The view takes ownership.
    void setUpdateWidget(QWidget *widget);

    QSize sizeHint() const override { return { 310, 600 }; }

Q_SIGNALS:
    // Enter on a selected row: the user wants to see that aircraft on the map.
    void showSelectionRequested();

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildFilterBar();
    QWidget *buildOverlay();
    QWidget *buildStatusBar();

    void applyDisplayedAircraft();
    void selectStoreSelection(bool scroll);
    void listSelectionChanged();
    void rebuildFilterMenu();
    void openFilterMenu();
    void updateFilterBar();
    void updateOverlay();
    void updateStatus();
    void updateFonts();
    void relayoutRows();

    FlightStore *m_store;
    Preferences *m_preferences;
    AircraftListModel *m_model = nullptr;
    AircraftRow *m_delegate = nullptr;
    Overlay m_overlay = Overlay::none;
    // Set while the view itself moves the selection, so that the change is not written back.
    bool m_syncing = false;

    QLineEdit *m_search = nullptr;
    QToolButton *m_filterButton = nullptr;
    QMenu *m_filterMenu = nullptr;
    QLabel *m_count = nullptr;
    QStackedWidget *m_stack = nullptr;
    QListView *m_list = nullptr;
    QLabel *m_overlayIcon = nullptr;
    QLabel *m_overlayTitle = nullptr;
    QLabel *m_overlayText = nullptr;
    BusyIndicator *m_spinner = nullptr;
    QPushButton *m_showAll = nullptr;
    QLabel *m_dot = nullptr;
    QLabel *m_statusText = nullptr;
    QWidget *m_updateSlot = nullptr;
    QHBoxLayout *m_updateLayout = nullptr;
};
