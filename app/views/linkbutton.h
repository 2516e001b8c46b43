// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPushButton>
#include <QUrl>

// A flat button that reads as a link and opens its address in the browser. Its text is shown
// as written (never as markup), so it may come from the settings file. Only http and https
// addresses open: anything else (file:, a custom scheme) would run a local handler instead.
class LinkButton : public QPushButton {
    Q_OBJECT
public:
    LinkButton(const QString &text, const QUrl &url, QWidget *parent = nullptr);

    QUrl url() const { return m_url; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyLinkColor();

    QUrl m_url;
};
