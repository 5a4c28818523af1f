#include "PlayerChapters.h"

#include <iostream>

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QWidget>

#include "extras/PlayerPort.h"
#include "listening/PodcastChapters.h"
#include "platform/HandlerGuard.h"
#include "platform/Services.h"
#include "texts/FailureText.h"

TChapters::TChapters(IPlayerPort& window, Services& services, QMenu& playMenu)
    : window_(window), services_(services) {
    menu_ = playMenu.addMenu(QStringLiteral("챕터"));
    menu_->setObjectName(QStringLiteral("chapterMenu"));
    menu_->menuAction()->setVisible(false);
    // Watched on their way through the application: the window gets a key
    // once the control with the focus has left it, and a control out of view
    // (the date list below the window's edge, where the focus starts) does
    // not count.
    QCoreApplication::instance()->installEventFilter(this);
}

void TChapters::KnowChapterLinks(const TEpisodeList& episodes,
                                 const std::vector<std::string>& links) {
    links_.clear();
    for (std::size_t i = 0; i < episodes.size() && i < links.size(); ++i) {
        if (!links[i].empty()) {
            links_[episodes[i].url] = links[i];
        }
    }
}

void TChapters::PlayStarting() {
    fetch_.Cancel();
    list_ = {};
    menu_->menuAction()->setVisible(false);
}

void TChapters::MediumOpened() {
    // A medium's own chapters are capped as a file's are.
    std::vector<MediaChapter> own = services_.media->Chapters();
    if (own.size() > kMaxChapters) {
        own.resize(kMaxChapters);
    }
    list_ = TChapterList(std::move(own));
    menu_->menuAction()->setVisible(Any());
    const std::string episode = window_.PlayingEpisodeLink();
    const auto link = links_.find(episode);
    if (Any() || link == links_.end()) {
        return;
    }
    const std::string file = link->second;
    fetch_.Start(file, [this, episode, file](CurlMemoryFetch::Result r) {
        RunGuarded(*services_.dialogs, [&] { Fetched(episode, file, r); });
    });
}

// A file that cannot be had or read is left out: the episode plays as it
// would without one, and one line tells whoever started the program.
void TChapters::Fetched(const std::string& episode, const std::string& file,
                        const CurlMemoryFetch::Result& result) {
    if (episode != window_.PlayingEpisodeLink() || !services_.media->IsOpen()) {
        return;
    }
    std::string error = result.error;
    if (error.empty()) {
        if (auto chapters = ParsePodcastChapters(result.body, error)) {
            list_ = TChapterList(std::move(*chapters));
            menu_->menuAction()->setVisible(Any());
            return;
        }
    }
    std::cerr << FailureLine(kChaptersFailed, file, error) << std::endl;
}

void TChapters::JumpTo(int positionMs) {
    IMediaDevice& media = *services_.media;
    if (!media.IsOpen()) {
        return;
    }
    // As a press on the bar: what was playing plays on from there.
    const bool playing = media.Mode() == MediaMode::Playing;
    media.Seek(positionMs, true);
    if (playing) {
        media.Play(true);
    }
    window_.TimerTimer();
}

void TChapters::Next() {
    if (const auto to = list_.Next(services_.media->Position())) {
        JumpTo(*to);
    }
}

void TChapters::Previous() {
    if (const auto to = list_.Previous(services_.media->Position())) {
        JumpTo(*to);
    }
}

void TChapters::UpdateMenu() {
    menu_->clear();
    menu_->menuAction()->setVisible(Any());
    const std::optional<std::size_t> current = list_.Current(services_.media->Position());
    for (std::size_t i = 0; i < list_.Size(); ++i) {
        // "&" would mark a key rather than show.
        // The time, a space and at most as much of a title as a file may give.
        QString text = QString::fromStdString(list_.Label(i)).left(9 + kMaxChapterTitleChars);
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = menu_->addAction(text);
        action->setCheckable(true);
        action->setChecked(current == i);
        const int start = list_[i].startMs;
        connect(action, &QAction::triggered, this,
                Guarded(*services_.dialogs, [this, start] { JumpTo(start); }));
    }
}

bool TChapters::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !Any()) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() != Qt::NoModifier ||
        (key->key() != Qt::Key_PageDown && key->key() != Qt::Key_PageUp)) {
        return false;
    }
    const auto* widget = qobject_cast<QWidget*>(watched);
    QWidget& window = window_.Window();
    if (widget == nullptr || widget->window() != &window ||
        (widget != &window && !widget->visibleRegion().isEmpty())) {
        return false;
    }
    const bool next = key->key() == Qt::Key_PageDown;
    RunGuarded(*services_.dialogs, [this, next] { next ? Next() : Previous(); });
    return true;
}
