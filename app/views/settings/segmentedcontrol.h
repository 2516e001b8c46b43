// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QWidget>

class QButtonGroup;

// A row of joined buttons of which at most one is on: a choice among a few fixed options.
// None is on while the setting holds a value outside the options (edited by hand).
class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    // One button per label; @p accessibleName names the whole row for screen readers.
    SegmentedControl(const QStringList &labels, const QString &accessibleName, QWidget *parent);

    // -1 when none is on.
    int currentIndex() const;
    // Turns the button at @p index on, or every button off for -1, without emitting picked().
    void setCurrentIndex(int index);

Q_SIGNALS:
    // The user turned on the button at @p index.
    void picked(int index);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyLook();

    QButtonGroup *m_group;
};
