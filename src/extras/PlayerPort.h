#pragma once

#include <string>

#include "feed/Episode.h"

class QAbstractButton;
class QWidget;

// What the player last opened: the name the caption shows, the link or path
// it came from, and for an episode of the feed the show's name. Empty until
// something has been opened.
struct TNowPlaying {
    std::string title;
    std::string location;
    std::string album;
};

// The main window as its extras (the play menu, the speed, the sleep timer,
// the keys and the media controls) see it: what plays, the selected episode,
// and the window's own handlers, which they call as the controls do. The
// window implements it, so nothing of the extras includes the window.
class IPlayerPort {
public:
    virtual ~IPlayerPort() = default;

    virtual const TNowPlaying& NowPlaying() const = 0;
    // The feed link of the episode open; empty for a local file or nothing.
    virtual const std::string& PlayingEpisodeLink() const = 0;
    // The feed and the episodes the window shows.
    virtual const std::string& FeedUrl() const = 0;
    virtual const TEpisodeList& Catalogue() const = 0;
    // The episode of the drop-down's current line; null when there is none.
    virtual const TEpisode* SelectedEpisode() const = 0;

    // The window's handlers: play the selected episode (from `startMs`, after
    // the same link check), play or pause, stop, reload the feed, and bring the
    // bar and the time up to date.
    virtual void PlaySelectedEpisode(int startMs) = 0;
    virtual void btnPlayClick() = 0;
    virtual void sbtnPlayClick() = 0;
    virtual void sbtnStopClick() = 0;
    virtual void btnReloadClick() = 0;
    virtual void TimerTimer() = 0;
    // The play glyph on the play/pause button, as after a pause.
    virtual void ShowPlayGlyph() = 0;

    // The window itself, for what the extras put on it (the menu, shortcuts,
    // the end of the caption) and for raising it; and the play button, where
    // the play menu opens.
    virtual QWidget& Window() = 0;
    virtual QAbstractButton& PlayButton() = 0;
};
