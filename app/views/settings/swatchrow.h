// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class ColorSwatch;

// A row of preset colour swatches and a custom-colour button, for a colour stored as hex
// text. A swatch is current only while the stored text equals its preset exactly.
class SwatchRow : public QWidget {
    Q_OBJECT
public:
    // @p fallbackHex is what the custom button starts from, and stores, when a colour has no
    // hex form.
    SwatchRow(const QStringList &presets, const QString &fallbackHex, QWidget *parent);

    void setCurrent(const QString &hex);

Q_SIGNALS:
    void picked(const QString &hex);

private:
    void pickCustom();

    QStringList m_presets;
    QList<ColorSwatch *> m_swatches;
    ColorSwatch *m_custom = nullptr;
    QString m_fallbackHex;
    QString m_current;
};
