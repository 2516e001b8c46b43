// SPDX-License-Identifier: GPL-3.0-or-later
#include "schemehandler.h"

#include "desktopentry.h"
#include "safefile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString mimeType = u"x-scheme-handler/skyvelle"_s;
const QString entryName = u"skyvelle.desktop"_s;
// xdg-mime is a shell script that may ask a desktop's own tools; one that hangs must not keep
// the check open for the whole session.
constexpr int xdgMimeTimeoutMs = 10000;

} // namespace

SchemeHandler::SchemeHandler(QObject *parent)
    : QObject(parent)
{
}

QByteArray SchemeHandler::desktopEntry(const QString &executablePath)
{
    return u"[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Skyvelle\n"
           "Comment=Live aircraft around home\n"
           "Exec=%1 %u\n"
           "Icon=skyvelle\n"
           "Terminal=false\n"
           "Categories=Utility;Network;\n"
           "MimeType=x-scheme-handler/skyvelle;\n"
           "StartupWMClass=Skyvelle\n"_s.arg(DesktopEntry::execArgument(executablePath))
               .toUtf8();
}

void SchemeHandler::ensureRegistered(const QString &executablePath)
{
    if (m_process)
        return;
    m_executable = executablePath;
    runXdgMime({ u"query"_s, u"default"_s, mimeType },
        [this](const QByteArray &out) { handlerFound(QString::fromUtf8(out).trimmed()); });
}

void SchemeHandler::handlerFound(const QString &handler)
{
    if (!handler.isEmpty()) {
        Q_EMIT finished();
        return;
    }
    QString written;
    const QString installed =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entryName);
    if (installed.isEmpty()) {
        // The path goes into a file that a launcher will run; a line break would let it
        // write keys of its own.
        const bool printable = std::none_of(m_executable.begin(), m_executable.end(),
            [](QChar c) { return c.category() == QChar::Other_Control; });
        if (!QFileInfo(m_executable).isAbsolute() || !printable) {
            fail(u"the program's path is not usable in a desktop entry: "_s + m_executable);
            return;
        }
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
        written = QDir(folder).filePath(entryName);
        QString error;
        if (!QDir().mkpath(folder)
            || !SafeFile::write(written, desktopEntry(m_executable), &error)) {
            fail(u"cannot write "_s + written + (error.isEmpty() ? QString() : u": "_s + error));
            return;
        }
    }
    runXdgMime({ u"default"_s, entryName, mimeType },
        [this, written](const QByteArray &) { handlerSet(written); });
}

void SchemeHandler::handlerSet(const QString &writtenEntry)
{
    QString line = u"registered as the skyvelle:// handler"_s;
    if (!writtenEntry.isEmpty())
        line += u" (wrote "_s + writtenEntry + u')';
    Q_EMIT logLine(line);
    Q_EMIT finished();
}

void SchemeHandler::fail(const QString &why)
{
    Q_EMIT logLine(u"could not register as the skyvelle:// handler: "_s + why);
    Q_EMIT finished();
}

void SchemeHandler::runXdgMime(
    const QStringList &arguments, std::function<void(const QByteArray &)> done)
{
    m_process = new QProcess(this);
    QProcess *process = m_process;
    auto *timeout = new QTimer(process);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, process, [process] { process->kill(); });

    // Every end of the process passes here once: the next step (or the report) runs after
    // m_process is cleared, so that it may start another.
    auto end = [this, process, timeout, done](const QString &failure) {
        timeout->stop();
        const QByteArray out = process->readAllStandardOutput();
        process->deleteLater();
        m_process = nullptr;
        if (failure.isEmpty())
            done(out);
        else
            fail(failure);
    };
    connect(process, &QProcess::errorOccurred, this, [process, end](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end(u"xdg-mime cannot be run (is xdg-utils installed?): "_s + process->errorString());
    });
    connect(process, &QProcess::finished, this,
        [process, timeout, end](int code, QProcess::ExitStatus status) {
            if (status == QProcess::CrashExit) {
                end(timeout->isActive()
                        ? u"xdg-mime crashed"_s
                        : u"xdg-mime did not answer within %1 s"_s.arg(xdgMimeTimeoutMs / 1000));
            } else if (code != 0) {
                const QString said = QString::fromLocal8Bit(process->readAllStandardError())
                                         .trimmed()
                                         .section(u'\n', 0, 0);
                end(u"xdg-mime %1 exited with status %2%3"_s.arg(process->arguments().value(0))
                        .arg(code)
                        .arg(said.isEmpty() ? QString() : u": "_s + said));
            } else {
                end({});
            }
        });
    timeout->start(xdgMimeTimeoutMs);
    process->start(u"xdg-mime"_s, arguments);
}
