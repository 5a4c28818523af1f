#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QWidget>

#include "platform/UrlDownloader.h"

class QCloseEvent;
class QShowEvent;
class TfrmDownload;
struct Services;

namespace Ui {
class TfrmDownload;
}

// The download window's progress receiver. The transfer runs the user
// interface thread's event loop, so every window stays live, and calls it from
// there at short intervals; it shows the progress and stops the transfer once
// the user has confirmed a cancel.
class TCallback final : public IDownloadProgress {
public:
    // The window that shows the progress; set when a transfer starts.
    TfrmDownload* OwnerForm = nullptr;
    // A description of the last status the transfer reported (not shown).
    std::string Status;

    bool OnProgress(std::uint64_t progress, std::uint64_t progressMax, unsigned statusCode,
                    const std::string& statusText) override;
};

// The download window: copies one URL into one file, with a progress bar and a
// megabyte line, a cancel through the close box, and the outcome reported at
// the end. One instance serves every transfer, one at a time.
//
// Use: SetDisplayName (optional), SetupDownload, show, StartDownload, which
// returns when the outcome has been handled and the window has closed. Events
// are processed during the transfer, so a handler may run inside it, and may
// open a modal box while the transfer goes on: none may start a second
// transfer while Downloading is true.
class TfrmDownload final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmDownload(Services& services, QWidget* parent = nullptr);
    ~TfrmDownload() override;
    TfrmDownload(const TfrmDownload&) = delete;
    TfrmDownload& operator=(const TfrmDownload&) = delete;

    // True from the start of a transfer until its outcome has been handled.
    bool Downloading = false;
    // Set when the user confirms the cancel question; cleared by SetupDownload.
    bool CancelRequested = false;
    std::string DownloadURL;
    std::string TargetFile;
    // Shown in the caption; kept for later transfers that set none.
    std::string DisplayName;
    TCallback Callback;

    void SetDisplayName(const std::string& name);
    void SetupDownload(const std::string& url, const std::string& targetFile);
    void StartDownload();
    void UpdateProgress(std::uint64_t progress, std::uint64_t progressMax);
    // The connection broke off and the transfer tries again ("1/3": the try's
    // number of the most there are): the status line says so.
    void ShowRetry(std::uint64_t progress, std::uint64_t progressMax, const std::string& tryNumber);

    // The close box: during a transfer, asks whether to cancel it and keeps the
    // window open. False when the window must stay. Once the program is ending
    // (CancelForExit) it lets the window go without a question, or the quit
    // would be refused.
    bool FormClose();

    // The program is ending: a running transfer stops at its next progress
    // report, without a question and without reporting its outcome.
    void CancelForExit();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ReportOutcome(const DownloadResult& result);

    Services& services_;
    bool exiting_ = false;
    std::unique_ptr<Ui::TfrmDownload> ui;
};

extern TfrmDownload* frmDownload;
