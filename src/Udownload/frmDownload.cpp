#include "frmDownload.h"

TfrmDownload* frmDownload = nullptr;

TfrmDownload::TfrmDownload(Services& services, QWidget* parent)
    : QWidget(parent, Qt::Tool), services_(services) {
    frmDownload = this;
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Download"));
}

TfrmDownload::~TfrmDownload() {
    if (frmDownload == this) {
        frmDownload = nullptr;
    }
}
