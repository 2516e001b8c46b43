// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "popover.h"

#include <QList>

class ATCAudio;
class BusyIndicator;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;
class QVBoxLayout;

// The toolbar's "ATC Audio" popover, 320 points wide: the saved streams with play/stop and
// remove, a row to add one, the volume and the player's status. It holds no playback state:
// closing it leaves the stream playing.
class ATCAudioView : public Popover {
    Q_OBJECT
public:
    // The toolbar button's tooltip.
    static constexpr char toolTip[] = "Listen to live air traffic control";

    explicit ATCAudioView(ATCAudio *audio, QWidget *parent = nullptr);

    // The toolbar button's symbol for @p audio's status: filled while a stream plays.
    static QString buttonSymbol(const ATCAudio *audio);

    // Opens it under @p anchor (its toolbar button), kept on that screen.
    void popup(QWidget *anchor) override;

    QLineEdit *nameField() const { return m_name; }
    QLineEdit *linkField() const { return m_link; }
    QPushButton *addButton() const { return m_add; }
    QSlider *volumeSlider() const { return m_volume; }
    QLabel *statusLabel() const { return m_statusText; }
    // One play/stop button per favourite, in list order.
    const QList<QToolButton *> &rowButtons() const { return m_rowButtons; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuildRows();
    void updateRowSymbols();
    void updateStatus();
    void updateAddButton();
    void addStream();

    ATCAudio *m_audio;
    QLabel *m_intro;
    QWidget *m_rows;
    QVBoxLayout *m_rowsLayout;
    QList<QToolButton *> m_rowButtons;
    QLineEdit *m_name;
    QLineEdit *m_link;
    QPushButton *m_add;
    QSlider *m_volume;
    BusyIndicator *m_busy;
    QLabel *m_statusSymbol;
    QLabel *m_statusText;
};
