// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "updateuserdriver.h"

#include <QDialog>
#include <QPointer>

class BusyIndicator;
class QCheckBox;
class QLabel;
class QPushButton;
class QTextBrowser;
class Updater;

// The updater's window ("Software Update"), its user driver: "Checking for updates…" with
// Cancel; "You're up to date" with the running version; a new version with its release notes
// and Download, Remind Me Later and Skip This Version; or the one-line error. It also holds the
// automatic-checks setting. Not modal: the rest of the application stays usable.
class UpdateWindow : public QDialog, public UpdateUserDriver {
    Q_OBJECT
public:
    enum class State { closed, checking, upToDate, updateFound, error };
    Q_ENUM(State)

    // Becomes @p updater's user driver for as long as both exist.
    explicit UpdateWindow(Updater *updater, QWidget *parent = nullptr);
    ~UpdateWindow() override;

    State state() const { return m_state; }

    void showUserInitiatedUpdateCheck(std::function<void()> cancel) override;
    void showUpdateFound(const AppcastItem &item, const QString &currentVersion,
        std::function<void(UpdateChoice)> reply) override;
    void showUpdateReleaseNotes(const QString &notes) override;
    void showUpdateReleaseNotesFailedToDownload(const QString &error) override;
    void showUpdateNotFound(
        const QString &currentVersion, std::function<void()> acknowledgement) override;
    void showUpdaterError(const QString &error, std::function<void()> acknowledgement) override;
    void showUpdateInFocus() override;
    void dismissUpdateInstallation() override;

public Q_SLOTS:
    // Escape and the close button: Cancel, Remind Me Later or OK, as the state offers.
    void reject() override;

private:
    void enter(State state);
    void setNotes(const QString &html);
    void choose(UpdateChoice choice);
    void acknowledge();

    QPointer<Updater> m_updater;
    State m_state = State::closed;
    std::function<void()> m_cancel;
    std::function<void(UpdateChoice)> m_reply;
    std::function<void()> m_acknowledge;

    QLabel *m_title = nullptr;
    QLabel *m_message = nullptr;
    BusyIndicator *m_spinner = nullptr;
    QLabel *m_notesHeading = nullptr;
    QTextBrowser *m_notes = nullptr;
    QCheckBox *m_automatic = nullptr;
    QPushButton *m_skip = nullptr;
    QPushButton *m_remind = nullptr;
    QPushButton *m_download = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_ok = nullptr;
};
