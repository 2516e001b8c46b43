// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkbutton.h"

#include "weblink.h"

#include <QEvent>

using namespace Qt::StringLiterals;

LinkButton::LinkButton(const QString &text, const QUrl &url, QWidget *parent)
    : QPushButton(parent)
    , m_url(url)
{
    // A lone "&" would otherwise turn the next letter into a mnemonic and vanish.
    setText(QString(text).replace(u'&', u"&&"_s));
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setToolTip(url.toString());
    setAccessibleDescription(url.toString());
    setStyleSheet(u"QPushButton { border: none; padding: 0; text-align: left; }"_s);
    applyLinkColor();
    connect(this, &QPushButton::clicked, this, [this] { WebLink::open(m_url); });
}

void LinkButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyLinkColor();
    QPushButton::changeEvent(event);
}

void LinkButton::applyLinkColor()
{
    QPalette p = palette();
    const QColor link = p.color(QPalette::Link);
    if (p.color(QPalette::ButtonText) == link)
        return;
    p.setColor(QPalette::ButtonText, link);
    setPalette(p);
}
