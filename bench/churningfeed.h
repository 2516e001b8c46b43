// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "services.h"
#include "testserver.h"

#include <QByteArray>
#include <QList>
#include <QString>

class FlightStore;

// The feed answers of a busy sky for the store benchmarks: a fixed number of aircraft around
// home, every one moving on every poll, some leaving and as many new ones arriving each time.
// Records carry all the fixture's keys, so an answer of 2,000 is the size of a real one.
class ChurningFeed {
public:
    // @p churn aircraft leave and as many arrive on each poll.
    ChurningFeed(const QString &fixturePath, int count, int churn);

    // The answer of the next poll.
    QByteArray next();
    // How many answers were made.
    int polls() const { return m_poll; }

private:
    QByteArray record(qint64 id, int age) const;

    QList<QByteArray> m_tails; // each fixture record's other keys, without braces
    int m_count;
    int m_churn;
    int m_poll = 0;
};

// A local server answering each feed request with the next answer of a ChurningFeed, and the
// services that send a store's polls there (as primary and as secondary source).
class ChurningServer {
public:
    ChurningServer(const QString &fixturePath, int count, int churn);

    Services services() const;
    // Where it listens: "http://127.0.0.1:<port>".
    QUrl baseUrl() const;
    // How many answers were served.
    int polls() const { return m_feed.polls(); }

private:
    ChurningFeed m_feed;
    TestServer m_server;
};

// The services that send a store's polls to a churning server at @p baseUrl, as primary and as
// secondary source.
Services churningServices(const QUrl &baseUrl);

// Ends the benchmark at the first failed poll: figures of failing polls would mean nothing.
void stopOnPollError(FlightStore &store);
