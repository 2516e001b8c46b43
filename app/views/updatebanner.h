// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QToolButton>

class AircraftListView;
class UpdaterModel;

// The status bar's update banner: the download symbol in the accent colour and "Update
// available", or "<version> available" when the version is known. A click starts the
// interactive check.
class UpdateBanner : public QToolButton {
    Q_OBJECT
public:
    explicit UpdateBanner(UpdaterModel *model, QWidget *parent = nullptr);

    // "1.2 available", or "Update available" when @p version is empty.
    static QString textFor(const QString &version);
    static constexpr const char *toolTipText =
        "A new version of Skyvelle is ready — click to install";

    // Puts a banner in @p list's status bar while @p model reports an update, and takes it away
    // when the update has been dealt with.
    static void attach(UpdaterModel *model, AircraftListView *list);

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateText();
    void updateIcon();

    UpdaterModel *m_model;
};
