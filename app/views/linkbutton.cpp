// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkbutton.h"

#include <QDesktopServices>
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
    connect(this, &QPushButton::clicked, this, [this] {
        if (isWebAddress(m_url))
            QDesktopServices::openUrl(m_url);
    });
}

bool LinkButton::isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"https"_s || scheme == u"http"_s);
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
