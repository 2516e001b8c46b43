// SPDX-License-Identifier: GPL-3.0-or-later
#include "updatewindow.h"

#include "radaricon.h"
#include "releasenotes.h"
#include "systemcolors.h"
#include "textstyle.h"
#include "updater.h"
#include "views/busyindicator.h"
#include "views/labels.h"
#include "weblink.h"
#include "windowplacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Release notes come from the network: the view shows the safe HTML it is given and loads
// nothing, not even a local file, whatever a link or an image asks for. Links open in the
// browser when they are web addresses.
class NotesView : public QTextBrowser {
public:
    explicit NotesView(QWidget *parent)
        : QTextBrowser(parent)
    {
        setObjectName(u"releaseNotes"_s);
        setAccessibleName(u"Release notes"_s);
        setOpenLinks(false);
        setOpenExternalLinks(false);
        connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl &url) {
            if (!url.isRelative())
                WebLink::open(url);
        });
    }

    QVariant loadResource(int, const QUrl &) override { return {}; }
};

QPushButton *button(const QString &text, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAccessibleName(QString(text).remove(u'&'));
    b->setAutoDefault(false);
    return b;
}

} // namespace

UpdateWindow::UpdateWindow(Updater *updater, QWidget *parent)
    : QDialog(parent)
    , m_updater(updater)
{
    setObjectName(u"softwareUpdate"_s);
    setWindowTitle(u"Software Update"_s);
    setModal(false);

    auto *icon = new QLabel(this);
    icon->setObjectName(u"icon"_s);
    icon->setPixmap(RadarIcon::icon().pixmap(64, 64));
    icon->setFixedSize(64, 64);
    icon->setAccessibleName(u"Skyvelle icon"_s);

    m_title = plainLabel({}, this, u"title"_s);
    m_title->setFont(TextStyle::relativeFont(font(), 1.25, QFont::Bold));
    m_title->setWordWrap(true);
    // Wide enough that the short states keep one size and the headline one line.
    m_title->setMinimumWidth(360);
    m_message = plainLabel({}, this, u"message"_s);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_spinner = new BusyIndicator(this);
    m_spinner->setObjectName(u"spinner"_s);
    m_notesHeading = plainLabel(u"Release notes:"_s, this, u"notesHeading"_s);
    m_notesHeading->setFont(TextStyle::relativeFont(font(), 1.0, QFont::DemiBold));
    m_notes = new NotesView(this);
    m_notes->setMinimumSize(440, 220);
    m_notesHeading->setBuddy(m_notes);

    m_automatic = new QCheckBox(u"Check for updates automatically"_s, this);
    m_automatic->setObjectName(u"automaticChecks"_s);
    m_automatic->setChecked(m_updater->automaticallyChecksForUpdates());
    connect(m_automatic, &QCheckBox::toggled, m_updater,
        [this](bool on) { m_updater->setAutomaticallyChecksForUpdates(on); });
    connect(m_updater, &Updater::automaticallyChecksForUpdatesChanged, this,
        [this] { m_automatic->setChecked(m_updater->automaticallyChecksForUpdates()); });

    m_skip = button(u"&Skip This Version"_s, u"skip"_s, this);
    m_remind = button(u"&Remind Me Later"_s, u"remindLater"_s, this);
    m_download = button(u"&Download"_s, u"download"_s, this);
    m_cancelButton = button(u"Cancel"_s, u"cancel"_s, this);
    m_ok = button(u"OK"_s, u"ok"_s, this);
    connect(m_skip, &QPushButton::clicked, this, [this] { choose(UpdateChoice::skip); });
    connect(m_remind, &QPushButton::clicked, this, [this] { choose(UpdateChoice::remindLater); });
    connect(m_download, &QPushButton::clicked, this, [this] { choose(UpdateChoice::download); });
    connect(m_cancelButton, &QPushButton::clicked, this, &UpdateWindow::reject);
    connect(m_ok, &QPushButton::clicked, this, &UpdateWindow::acknowledge);

    auto *text = new QVBoxLayout;
    text->setSpacing(8);
    text->addWidget(m_title);
    text->addWidget(m_message);
    text->addWidget(m_spinner, 0, Qt::AlignLeft);
    text->addSpacing(4);
    text->addWidget(m_notesHeading);
    text->addWidget(m_notes, 1);
    text->addWidget(m_automatic);

    auto *top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(text, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_skip);
    buttons->addStretch(1);
    for (QPushButton *b : { m_remind, m_download, m_cancelButton, m_ok })
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    // Each state takes exactly the room its parts need, also after a larger one.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(16);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    m_updater->setUserDriver(this);
}

UpdateWindow::~UpdateWindow()
{
    if (m_updater)
        m_updater->setUserDriver(nullptr);
}

void UpdateWindow::showUserInitiatedUpdateCheck(std::function<void()> cancel)
{
    m_cancel = std::move(cancel);
    m_title->setText(u"Checking for updates…"_s);
    m_message->clear();
    enter(State::checking);
}

void UpdateWindow::showUpdateFound(
    const AppcastItem &item, const QString &currentVersion, std::function<void(UpdateChoice)> reply)
{
    m_reply = std::move(reply);
    m_title->setText(u"A new version of Skyvelle is available"_s);
    QString message = u"Skyvelle %1 is available — you have %2."_s.arg(
        item.displayVersionString(), currentVersion);
    if (item.publishedAt.isValid())
        message += u" Released "_s
            + QLocale().toString(item.publishedAt.toLocalTime().date(), QLocale::LongFormat) + u'.';
    message += u" Download opens its page; your package manager installs it."_s;
    m_message->setText(message);
    if (!item.description.isEmpty())
        setNotes(ReleaseNotes::safeHtml(item.description, item.descriptionIsPlainText));
    else if (!item.releaseNotesUrl.isEmpty())
        setNotes(ReleaseNotes::safeHtml(u"Loading the release notes…"_s, true));
    else
        setNotes({});
    enter(State::updateFound);
}

void UpdateWindow::showUpdateReleaseNotes(const QString &notes)
{
    if (m_state == State::updateFound)
        setNotes(ReleaseNotes::safeHtml(notes));
}

void UpdateWindow::showUpdateReleaseNotesFailedToDownload(const QString &error)
{
    if (m_state == State::updateFound)
        setNotes(ReleaseNotes::safeHtml(u"The release notes couldn't be loaded: "_s + error, true));
}

void UpdateWindow::showUpdateNotFound(
    const QString &currentVersion, std::function<void()> acknowledgement)
{
    m_acknowledge = std::move(acknowledgement);
    m_title->setText(u"You're up to date"_s);
    m_message->setText(u"Skyvelle %1 is the newest version available."_s.arg(currentVersion));
    enter(State::upToDate);
}

void UpdateWindow::showUpdaterError(const QString &error, std::function<void()> acknowledgement)
{
    m_acknowledge = std::move(acknowledgement);
    m_title->setText(u"Update Error"_s);
    m_message->setText(error.simplified());
    enter(State::error);
}

void UpdateWindow::showUpdateInFocus()
{
    if (isVisible())
        presentWindow(this, nullptr);
}

void UpdateWindow::dismissUpdateInstallation()
{
    m_cancel = nullptr;
    m_reply = nullptr;
    m_acknowledge = nullptr;
    m_state = State::closed;
    hide();
}

void UpdateWindow::reject()
{
    switch (m_state) {
    case State::checking:
        if (const auto cancel = std::exchange(m_cancel, nullptr))
            cancel();
        break;
    case State::updateFound:
        choose(UpdateChoice::remindLater);
        break;
    case State::upToDate:
    case State::error:
        acknowledge();
        break;
    case State::closed:
        break;
    }
    // Whatever the updater made of it, a window the user closed goes.
    if (m_state == State::closed || !isVisible())
        QDialog::reject();
}

void UpdateWindow::enter(State state)
{
    m_state = state;
    const bool found = state == State::updateFound;
    m_message->setVisible(!m_message->text().isEmpty());
    m_spinner->setVisible(state == State::checking);
    m_notesHeading->setVisible(found && !m_notes->document()->isEmpty());
    m_notes->setVisible(found && !m_notes->document()->isEmpty());
    m_automatic->setVisible(state != State::checking);
    m_skip->setVisible(found);
    m_remind->setVisible(found);
    m_download->setVisible(found);
    m_cancelButton->setVisible(state == State::checking);
    m_ok->setVisible(state == State::upToDate || state == State::error);
    setTextColor(m_message,
        state == State::error ? SystemColors::red(palette())
                              : palette().color(QPalette::WindowText));

    QPushButton *main = found ? m_download : state == State::checking ? m_cancelButton : m_ok;
    for (QPushButton *b : { m_download, m_cancelButton, m_ok })
        b->setDefault(b == main);
    layout()->activate();
    if (!isVisible())
        presentWindow(this, QApplication::activeWindow());
    main->setFocus(Qt::OtherFocusReason);
}

void UpdateWindow::setNotes(const QString &html)
{
    m_notes->setHtml(html);
    const bool shown = m_state == State::updateFound && !html.isEmpty();
    m_notesHeading->setVisible(shown);
    m_notes->setVisible(shown);
}

void UpdateWindow::choose(UpdateChoice choice)
{
    if (const auto reply = std::exchange(m_reply, nullptr))
        reply(choice);
}

void UpdateWindow::acknowledge()
{
    if (const auto acknowledgement = std::exchange(m_acknowledge, nullptr))
        acknowledgement();
}
