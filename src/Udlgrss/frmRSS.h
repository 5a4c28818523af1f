#pragma once

#include <memory>

#include <QDialog>

class QLineEdit;
struct Services;

namespace Ui {
class TfrmRSS;
}

// The settings dialog: shows the feed URL, and on OK hands the typed text to the
// main window, which keeps it and reloads the episodes from it. The dialog
// keeps no data of its own; closing it only hides it, and abandons a load
// that its OK started and that has not ended.
class TfrmRSS final : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRSS(Services& services, QWidget* parent = nullptr);
    ~TfrmRSS() override;
    TfrmRSS(const TfrmRSS&) = delete;
    TfrmRSS& operator=(const TfrmRSS&) = delete;

    // The feed URL box, filled by the main window before each opening.
    QLineEdit* edtRSS() const;

    void btnOKClick();
    void btnDefaultClick();

    // The first showing places the dialog over the main window; later ones keep
    // where the user left it.
    void setVisible(bool visible) override;

private:
    void PlaceOverMainWindow();

    Services& services_;
    std::unique_ptr<Ui::TfrmRSS> ui;
    bool placed_ = false;
};

extern TfrmRSS* frmRSS;
