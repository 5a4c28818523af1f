#include "frmRSS.h"

#include <algorithm>

#include <QScreen>

#include "Umain/frmMain.h"
#include "platform/HandlerGuard.h"
#include "platform/Services.h"
#include "settings/Settings.h"
#include "ui_frmRSS.h"

TfrmRSS* frmRSS = nullptr;

TfrmRSS::TfrmRSS(Services& services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      services_(services),
      ui(std::make_unique<Ui::TfrmRSS>()) {
    frmRSS = this;
    ui->setupUi(this);
    setAttribute(Qt::WA_QuitOnClose, false);
    // The first opening starts in the URL box; later ones give the focus back
    // to where it was when the dialog was hidden.
    ui->edtRSS->setFocus();

    IDialogs& dialogs = *services_.dialogs;
    connect(ui->btnOK, &QPushButton::clicked, this, Guarded(dialogs, [this] { btnOKClick(); }));
    connect(ui->btnDefault, &QPushButton::clicked, this,
            Guarded(dialogs, [this] { btnDefaultClick(); }));
}

TfrmRSS::~TfrmRSS() {
    // A load still on its way would report to a dialog that is gone.
    if (frmMain != nullptr) {
        frmMain->AbandonRssChange();
    }
    if (frmRSS == this) {
        frmRSS = nullptr;
    }
}

QLineEdit* TfrmRSS::edtRSS() const {
    return ui->edtRSS;
}

void TfrmRSS::btnOKClick() {
    // The text goes on as typed. The dialog stays open, its OK disabled, until
    // the load ends: it closes when the load succeeds and stays with the text
    // for correction when it fails. Closing it first abandons the load.
    const std::string url = ui->edtRSS->text().toStdString();
    if (frmMain == nullptr) {
        close();
        return;
    }
    ui->btnOK->setEnabled(false);
    frmMain->ChangeRssURL(url, [this](bool loaded) {
        ui->btnOK->setEnabled(true);
        if (loaded) {
            close();
        }
    });
}

void TfrmRSS::btnDefaultClick() {
    ui->edtRSS->setText(QString::fromUtf8(kDefaultRssURL));
}

void TfrmRSS::setVisible(bool visible) {
    if (visible && !placed_) {
        PlaceOverMainWindow();
        placed_ = true;
    }
    if (!visible && frmMain != nullptr) {
        frmMain->AbandonRssChange();
        ui->btnOK->setEnabled(true);
    }
    QDialog::setVisible(visible);
}

void TfrmRSS::PlaceOverMainWindow() {
    if (frmMain == nullptr) {
        return;
    }
    // Centred on the main window's outer size. The dialog has no frame before
    // it is first shown, so it is taken to get one like the main window's.
    const QRect main = frmMain->frameGeometry();
    const QSize outer = size() + (main.size() - frmMain->size());
    const int left = main.left() + (main.width() - outer.width()) / 2;
    const int top = main.top() + (main.height() - outer.height()) / 2;
    // The main window sits at the top of the screen and is less tall than the
    // dialog, so the centred top edge is held at the desktop's.
    const QRect desktop = frmMain->screen()->virtualGeometry();
    move(std::max(left, desktop.left()), std::max(top, desktop.top()));
}
