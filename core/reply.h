// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "requestoptions.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

/// One outside request in flight, whatever the service: it reports once through finished(),
/// then holds its typed result (in the subclass) or an error text.
///
/// A reply is a child of the object that waits for it and owns its network reply. It starts on
/// the next turn of the event loop, so that the caller can connect first; the time-out and the
/// size cap of its RequestOptions bound every request it sends.
class Reply : public QObject {
    Q_OBJECT
public:
    ~Reply() override;

    /// Whether finished() was emitted.
    bool isFinished() const { return m_finished; }
    /// Whether cancel() was called before the reply finished.
    bool isCancelled() const { return m_cancelled; }
    /// Empty on success; otherwise one human-readable line saying what went wrong.
    const QString &errorText() const { return m_errorText; }

    /// Aborts the request in flight; finished() is not emitted afterwards.
    void cancel();

Q_SIGNALS:
    /// Emitted exactly once, unless the reply is cancelled or destroyed first.
    void finished();

protected:
    /// Why a request ended before its answer did, by our own doing.
    enum class Abort { None, TimedOut, TooLarge };

    Reply(QNetworkAccessManager *network, RequestOptions options, QObject *parent);

    const RequestOptions &options() const { return m_options; }

    /// Called once on the next turn of the event loop, unless cancelled by then.
    virtual void start() = 0;
    /// The request sent last has ended; @p abort says whether we ended it. The network reply
    /// is deleted later.
    virtual void handleAnswer(QNetworkReply *reply, Abort abort) = 0;

    /// Sends a GET with the User-Agent and the time-out of options(); one at a time.
    void send(QNetworkRequest request);
    /// Reports the outcome: success when @p errorText is empty. Later calls are ignored.
    void finish(const QString &errorText = {});

    /// Why @p reply gave no usable answer, in one line; empty when it succeeded with a 2xx
    /// status.
    static QString failureText(const QNetworkReply *reply, Abort abort);

private:
    void abortRequest(Abort reason);
    void checkSize(qint64 bytes);
    void requestEnded();

    QNetworkAccessManager *m_network;
    RequestOptions m_options;
    QPointer<QNetworkReply> m_reply;
    // The whole-answer deadline: the transfer time-out alone only notices silence, and a source
    // that trickles a byte a second would hold the request for ever.
    QTimer m_deadline;
    Abort m_abort = Abort::None;
    QString m_errorText;
    bool m_cancelled = false;
    bool m_finished = false;
};
