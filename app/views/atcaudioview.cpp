// SPDX-License-Identifier: GPL-3.0-or-later
#include "atcaudioview.h"

#include "atcaudio.h"
#include "busyindicator.h"
#include "labels.h"
#include "symbols.h"
#include "systemcolors.h"
#include "textstyle.h"
#include "textutil.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int sliderSteps = 100;

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

QLabel *symbolLabel(const QString &name, int px, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(Symbols::pixmap(name, px, parent->palette().color(QPalette::WindowText)));
    return label;
}

} // namespace

ATCAudioView::ATCAudioView(ATCAudio *audio, QWidget *parent)
    : Popover(u"ATC Audio"_s, 320, parent)
    , m_audio(audio)
    , m_intro(plainLabel(u"Listen to live air traffic control while you watch the sky. Find "
                         "your airport's feed in the ATC audio directory, copy its stream or "
                         ".pls link, and save it below."_s,
          this, u"atcIntro"_s))
    , m_rows(new QWidget(this))
    , m_rowsLayout(new QVBoxLayout(m_rows))
    , m_name(new QLineEdit(this))
    , m_link(new QLineEdit(this))
    , m_add(new QPushButton(u"Add Stream"_s, this))
    , m_volume(new QSlider(Qt::Horizontal, this))
    , m_busy(new BusyIndicator(this))
    , m_statusSymbol(new QLabel(this))
    , m_statusText(plainLabel({}, this, u"atcStatus"_s))
{
    setObjectName(u"atcAudioView"_s);

    QVBoxLayout *column = titledColumn(10);

    m_intro->setWordWrap(true);
    m_intro->setFont(TextStyle::relativeFont(font(), 0.85));
    setTextColor(m_intro, SystemColors::secondaryText(palette()));
    column->addWidget(m_intro);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(2);
    column->addWidget(m_rows);

    column->addWidget(divider(this));
    m_name->setPlaceholderText(u"Name — e.g. PDX Tower"_s);
    m_name->setAccessibleName(u"Name"_s);
    m_link->setPlaceholderText(u"Stream or .pls URL"_s);
    m_link->setAccessibleName(u"Stream or .pls URL"_s);
    column->addWidget(m_name);
    column->addWidget(m_link);
    column->addWidget(m_add, 0, Qt::AlignRight);
    connect(m_name, &QLineEdit::textChanged, this, &ATCAudioView::updateAddButton);
    connect(m_link, &QLineEdit::textChanged, this, &ATCAudioView::updateAddButton);
    connect(m_name, &QLineEdit::returnPressed, this, &ATCAudioView::addStream);
    connect(m_link, &QLineEdit::returnPressed, this, &ATCAudioView::addStream);
    connect(m_add, &QPushButton::clicked, this, &ATCAudioView::addStream);

    column->addWidget(divider(this));
    auto *volumeRow = new QHBoxLayout;
    volumeRow->addWidget(symbolLabel(u"speaker.fill"_s, 14, this));
    m_volume->setRange(0, sliderSteps);
    m_volume->setAccessibleName(u"Volume"_s);
    volumeRow->addWidget(m_volume, 1);
    volumeRow->addWidget(symbolLabel(u"speaker.wave.3.fill"_s, 14, this));
    column->addLayout(volumeRow);
    connect(m_volume, &QSlider::valueChanged, this,
        [this](int value) { m_audio->setVolume(double(value) / sliderSteps); });

    auto *statusRow = new QHBoxLayout;
    m_busy->setFixedSize(14, 14);
    statusRow->addWidget(m_busy, 0, Qt::AlignTop);
    statusRow->addWidget(m_statusSymbol, 0, Qt::AlignTop);
    m_statusText->setWordWrap(true);
    m_statusText->setFont(TextStyle::relativeFont(font(), 0.85));
    statusRow->addWidget(m_statusText, 1);
    column->addLayout(statusRow);

    connect(m_audio, &ATCAudio::favoritesChanged, this, &ATCAudioView::rebuildRows);
    connect(m_audio, &ATCAudio::playingFavoriteIDChanged, this, &ATCAudioView::updateRowSymbols);
    connect(m_audio, &ATCAudio::statusChanged, this, &ATCAudioView::updateStatus);
    connect(m_audio, &ATCAudio::volumeChanged, this, [this] {
        const QSignalBlocker quiet(m_volume);
        m_volume->setValue(qRound(m_audio->volume() * sliderSteps));
    });
    m_volume->setValue(qRound(m_audio->volume() * sliderSteps));
    rebuildRows();
    updateStatus();
    updateAddButton();
}

QString ATCAudioView::buttonSymbol(const ATCAudio *audio)
{
    return audio->status().state == ATCAudio::State::Playing ? u"headphones.circle.fill"_s
                                                             : u"headphones"_s;
}

void ATCAudioView::popup(QWidget *anchor)
{
    adjustSize();
    showUnder(anchor, height());
    (m_rowButtons.isEmpty() ? static_cast<QWidget *>(m_name) : m_rowButtons.constFirst())
        ->setFocus(Qt::PopupFocusReason);
}

bool ATCAudioView::eventFilter(QObject *watched, QEvent *event)
{
    const qsizetype row = m_rowButtons.indexOf(static_cast<QToolButton *>(watched));
    if (row < 0 || event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_rowButtons.at(row)->click();
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        m_audio->remove(m_audio->favorites().at(row));
        return true;
    case Qt::Key_Up:
        m_rowButtons.at(std::max<qsizetype>(0, row - 1))->setFocus(Qt::TabFocusReason);
        return true;
    case Qt::Key_Down:
        m_rowButtons.at(std::min(m_rowButtons.size() - 1, row + 1))->setFocus(Qt::TabFocusReason);
        return true;
    default:
        return QFrame::eventFilter(watched, event);
    }
}

void ATCAudioView::rebuildRows()
{
    // The focused row's index survives a removal, so Delete can be pressed again.
    const qsizetype focused = m_rowButtons.indexOf(qobject_cast<QToolButton *>(focusWidget()));
    // Later, not now: the button that asked for the removal may still be in its own click.
    for (QWidget *old : m_rows->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        old->hide();
        old->deleteLater();
    }
    m_rowButtons.clear();
    const QList<ATCFavorite> &favorites = m_audio->favorites();
    for (const ATCFavorite &favorite : favorites) {
        auto *row = new QWidget(m_rows);
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        auto *play = new QToolButton(row);
        play->setText(favorite.name);
        play->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        play->setAutoRaise(true);
        play->setIconSize(QSize(20, 20));
        play->setFocusPolicy(Qt::StrongFocus);
        play->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        play->installEventFilter(this);
        connect(play, &QToolButton::clicked, this, [this, favorite] { m_audio->toggle(favorite); });
        auto *trash = new QToolButton(row);
        trash->setIcon(Symbols::icon(u"trash"_s));
        trash->setIconSize(QSize(12, 12));
        trash->setAutoRaise(true);
        trash->setToolTip(u"Remove this stream"_s);
        trash->setAccessibleName(u"Remove this stream"_s);
        trash->setFocusPolicy(Qt::StrongFocus);
        connect(
            trash, &QToolButton::clicked, this, [this, favorite] { m_audio->remove(favorite); });
        line->addWidget(play, 1);
        line->addWidget(trash);
        m_rowsLayout->addWidget(row);
        m_rowButtons.append(play);
    }
    m_intro->setVisible(favorites.isEmpty());
    m_rows->setVisible(!favorites.isEmpty());
    updateRowSymbols();
    if (focused >= 0 && !m_rowButtons.isEmpty())
        m_rowButtons.at(std::min(focused, m_rowButtons.size() - 1))->setFocus(Qt::OtherFocusReason);
    if (isVisible())
        adjustSize();
}

void ATCAudioView::updateRowSymbols()
{
    const QList<ATCFavorite> &favorites = m_audio->favorites();
    for (qsizetype i = 0; i < m_rowButtons.size() && i < favorites.size(); ++i) {
        const bool playing = favorites.at(i).id == m_audio->playingFavoriteID();
        QToolButton *button = m_rowButtons.at(i);
        button->setIcon(Symbols::icon(playing ? u"stop.circle.fill"_s : u"play.circle"_s));
        button->setAccessibleName(
            playing ? favorites.at(i).name + u", playing"_s : favorites.at(i).name);
    }
}

void ATCAudioView::updateStatus()
{
    const ATCAudio::Status &status = m_audio->status();
    m_statusText->setText(status.text());
    m_busy->setVisible(status.state == ATCAudio::State::Buffering);
    QColor color = palette().color(QPalette::WindowText);
    QString symbol;
    if (status.state == ATCAudio::State::Playing) {
        color = palette().color(QPalette::Highlight);
        symbol = u"waveform"_s;
    } else if (status.state == ATCAudio::State::Offline) {
        color = SystemColors::orange(palette());
        symbol = u"exclamationmark.triangle"_s;
    }
    setTextColor(m_statusText, color);
    m_statusSymbol->setVisible(!symbol.isEmpty());
    if (!symbol.isEmpty())
        m_statusSymbol->setPixmap(Symbols::pixmap(symbol, 14, color));
    if (isVisible())
        adjustSize();
}

void ATCAudioView::updateAddButton()
{
    m_add->setEnabled(
        !m_name->text().isEmpty() && !TextUtil::trimSpacesAndTabs(m_link->text()).isEmpty());
}

void ATCAudioView::addStream()
{
    if (m_audio->add(m_name->text(), m_link->text())) {
        m_name->clear();
        m_link->clear();
    }
}
