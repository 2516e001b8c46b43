// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/updatebanner.h"

#include "symbols.h"
#include "textstyle.h"
#include "updatermodel.h"
#include "views/aircraftlistview.h"

#include <QEvent>

using namespace Qt::StringLiterals;

UpdateBanner::UpdateBanner(UpdaterModel *model, QWidget *parent)
    : QToolButton(parent)
    , m_model(model)
{
    setObjectName(u"updateBanner"_s);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QString::fromUtf8(toolTipText));
    setAccessibleDescription(toolTip());
    setFont(TextStyle::relativeFont(font(), 0.9));
    connect(this, &QToolButton::clicked, m_model, &UpdaterModel::checkForUpdates);
    connect(m_model, &UpdaterModel::availableVersionChanged, this, &UpdateBanner::updateText);
    updateText();
    updateIcon();
}

QString UpdateBanner::textFor(const QString &version)
{
    return version.isEmpty() ? u"Update available"_s : version + u" available"_s;
}

void UpdateBanner::attach(UpdaterModel *model, AircraftListView *list)
{
    const auto show = [model, list] {
        list->setUpdateWidget(model->updateAvailable() ? new UpdateBanner(model) : nullptr);
    };
    connect(model, &UpdaterModel::updateAvailableChanged, list, show);
    show();
}

void UpdateBanner::changeEvent(QEvent *event)
{
    QToolButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateIcon();
}

void UpdateBanner::updateText()
{
    const QString text = textFor(m_model->availableVersion());
    // The version comes from the feed: an "&" in it is a character, not a shortcut mark.
    setText(QString(text).replace(u'&', "&&"_L1));
    setAccessibleName(text);
}

void UpdateBanner::updateIcon()
{
    setIcon(Symbols::icon(u"arrow.down.circle.fill"_s, palette().color(QPalette::Highlight)));
}
