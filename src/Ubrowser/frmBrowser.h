#pragma once

#include <QWidget>

// The web page window: the show's page in an embedded browser.
class TfrmBrowser final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmBrowser(QWidget* parent = nullptr);
    ~TfrmBrowser() override;
};

extern TfrmBrowser* frmBrowser;
