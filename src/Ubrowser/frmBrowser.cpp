#include "frmBrowser.h"

TfrmBrowser* frmBrowser = nullptr;

TfrmBrowser::TfrmBrowser(QWidget* parent) : QWidget(parent) {
    frmBrowser = this;
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("토브 라디오"));
}

TfrmBrowser::~TfrmBrowser() {
    if (frmBrowser == this) {
        frmBrowser = nullptr;
    }
}
