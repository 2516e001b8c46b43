// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QString>

#include <functional>

// A set of aircraft hex codes, exactly as the feed writes them, held compactly. An ICAO address
// written the usual way (six lower-case hex digits) is a 24-bit number and is kept as one; any
// other text ("~" for addresses that are not ICAO, another case or length) is kept as it is, so
// nothing is lost or merged. The logbook holds every aircraft of the day in one, which in a busy
// area is well over a hundred thousand.
class HexSet {
public:
    // Adds @p hex; whether it was new.
    bool insert(const QString &hex);
    bool contains(const QString &hex) const;
    qsizetype size() const { return m_icao.size() + m_other.size(); }
    bool isEmpty() const { return size() == 0; }
    void clear();
    void reserve(qsizetype size) { m_icao.reserve(size); }
    // Calls @p visit with each hex, in no particular order.
    void forEach(const std::function<void(QStringView)> &visit) const;

    friend bool operator==(const HexSet &, const HexSet &) = default;

private:
    QSet<quint32> m_icao;
    QSet<QString> m_other;
};
