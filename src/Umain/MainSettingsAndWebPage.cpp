#include <QLineEdit>
#include <QUrl>

#include "Ubrowser/frmBrowser.h"
#include "Udlgrss/frmRSS.h"
#include "frmMain.h"

void TfrmMain::btnSettingClick() {
    if (frmRSS == nullptr) {
        return;
    }
    frmRSS->edtRSS()->setText(QString::fromStdString(RssURL));
    // The dialog's OK reloads the catalogue while the dialog is still open.
    frmRSS->exec();
}

void TfrmMain::sbtnTOVClick() {
    if (frmBrowser == nullptr) {
        return;
    }
    // Every click loads the show's page afresh, wherever the user has gone since.
    frmBrowser->Navigate(QUrl(QString::fromLatin1(kShowPageURL)));
    if (frmBrowser->isMinimized()) {
        frmBrowser->setWindowState(frmBrowser->windowState() & ~Qt::WindowMinimized);
    }
    frmBrowser->show();
    frmBrowser->raise();
    frmBrowser->activateWindow();
}
