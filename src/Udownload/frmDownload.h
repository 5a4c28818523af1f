#pragma once

#include <QWidget>

struct Services;

// The download window: one transfer at a time, with progress and cancel.
class TfrmDownload final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmDownload(Services& services, QWidget* parent = nullptr);
    ~TfrmDownload() override;

    bool Downloading = false;

private:
    Services& services_;
};

extern TfrmDownload* frmDownload;
