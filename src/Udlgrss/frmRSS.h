#pragma once

#include <QDialog>

struct Services;

// The settings dialog: the feed URL.
class TfrmRSS final : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRSS(Services& services, QWidget* parent = nullptr);
    ~TfrmRSS() override;

private:
    Services& services_;
};

extern TfrmRSS* frmRSS;
