// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingsview.h"

#include "accessibilitypane.h"
#include "alertspane.h"
#include "flightstore.h"
#include "generalpane.h"
#include "mappane.h"
#include "preferences.h"
#include "privacypane.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textstyle.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyledItemDelegate>

using namespace Qt::StringLiterals;

namespace {

struct PaneInfo {
    QString title;
    QString symbol;
};

const PaneInfo &info(SettingsView::Pane pane)
{
    static const PaneInfo panes[] = { { u"General"_s, u"gearshape"_s }, { u"Map"_s, u"map"_s },
        { u"Alerts"_s, u"bell.badge"_s }, { u"Accessibility"_s, u"accessibility"_s },
        { u"Privacy"_s, u"hand.raised"_s } };
    return panes[int(pane)];
}

// A sidebar row: the symbol in a 20-point frame and the title, on a rounded accent plate
// with white semibold text while chosen.
class PaneRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return QSize(option.rect.width(), QFontMetrics(rowFont(option.font, true)).height() + 16);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override
    {
        const bool chosen = option.state & QStyle::State_Selected;
        const QRectF row = QRectF(option.rect).adjusted(8, 1.5, -8, -1.5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (chosen) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(option.palette.color(QPalette::Highlight));
            painter->drawRoundedRect(row, 8, 8);
        }
        const QColor ink = chosen ? QColor(Qt::white) : option.palette.color(QPalette::WindowText);
        const QRectF symbol(row.left() + 9, row.center().y() - 7, 20, 14);
        Symbols::paint(painter, index.data(Qt::UserRole).toString(), symbol, ink);
        painter->setPen(ink);
        painter->setFont(rowFont(option.font, chosen));
        painter->drawText(row.adjusted(9 + 20 + 8, 0, -9, 0), Qt::AlignVCenter | Qt::AlignLeft,
            index.data(Qt::DisplayRole).toString());
        if (option.state & QStyle::State_HasFocus && !chosen) {
            painter->setPen(
                SystemColors::withAlpha(option.palette.color(QPalette::Highlight), 0.6));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(row, 8, 8);
        }
        painter->restore();
    }

private:
    static QFont rowFont(const QFont &base, bool chosen)
    {
        return TextStyle::pixelFont(base, 13, chosen ? QFont::DemiBold : QFont::Normal);
    }
};

// The sidebar on a faint shade of the text colour over the window, as a source list sits.
class Sidebar : public QListWidget {
public:
    explicit Sidebar(QWidget *parent)
        : QListWidget(parent)
    {
        setViewportMargins(0, 10, 0, 10);
        tint();
    }

protected:
    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange)
            tint();
        QListWidget::changeEvent(event);
    }

private:
    void tint()
    {
        QPalette p = palette();
        const QColor window = p.color(QPalette::Window);
        const QColor text = p.color(QPalette::WindowText);
        const double share = 0.1 * 0.45;
        const QColor shade = QColor::fromRgbF(window.redF() + (text.redF() - window.redF()) * share,
            window.greenF() + (text.greenF() - window.greenF()) * share,
            window.blueF() + (text.blueF() - window.blueF()) * share);
        // Setting it raises another palette change; stop once the shade is there.
        if (p.color(QPalette::Base) == shade)
            return;
        p.setColor(QPalette::Base, shade);
        setPalette(p);
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Base);
    }
};

} // namespace

SettingsView::SettingsView(Preferences *preferences, FlightStore *store, const LoginItem &loginItem,
    NotificationPermission *permission, QWidget *parent)
    : QWidget(parent)
    , m_sidebar(new Sidebar(this))
    , m_panes(new QStackedWidget(this))
{
    m_sidebar->setObjectName(u"settingsPanes"_s);
    m_sidebar->setAccessibleName(u"Settings panes"_s);
    m_sidebar->setFixedWidth(208);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setSpacing(0);
    m_sidebar->setItemDelegate(new PaneRowDelegate(m_sidebar));

    QWidget *const panes[] = { new GeneralPane(preferences, this), new MapPane(preferences, this),
        new AlertsPane(preferences, loginItem, permission, this),
        new AccessibilityPane(preferences, this), new PrivacyPane(store, this) };
    for (int i = 0; i < 5; ++i) {
        const PaneInfo &pane = info(Pane(i));
        auto *item = new QListWidgetItem(pane.title, m_sidebar);
        item->setData(Qt::UserRole, pane.symbol);
        auto *scroll = new QScrollArea(m_panes);
        scroll->setObjectName(pane.title);
        scroll->setWidget(panes[i]);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_panes->addWidget(scroll);
    }
    connect(m_sidebar, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0)
            return;
        m_panes->setCurrentIndex(row);
        Q_EMIT paneChanged(Pane(row));
    });
    m_sidebar->setCurrentRow(0);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedWidth(1);
    divider->setForegroundRole(QPalette::Mid);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_sidebar);
    layout->addWidget(divider);
    layout->addWidget(m_panes, 1);
    setFocusProxy(m_sidebar);

    // The widgets copy these two; the store rewrites their file only when something differs.
    connect(preferences, &Preferences::distanceUnitChanged, store, &FlightStore::shareWithWidgets);
    connect(
        preferences, &Preferences::widgetColorHexChanged, store, &FlightStore::shareWithWidgets);
}

SettingsView::Pane SettingsView::pane() const
{
    return Pane(m_sidebar->currentRow());
}

void SettingsView::setPane(Pane pane)
{
    m_sidebar->setCurrentRow(int(pane));
}

QString SettingsView::title(Pane pane)
{
    return info(pane).title;
}
