#include "frmBrowser.h"

#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

#ifndef ZURAV3_SHOW_PAGE_URL
#define ZURAV3_SHOW_PAGE_URL "http://www.tovradio.example/"
#endif

const char* const kShowPageURL = ZURAV3_SHOW_PAGE_URL;

TfrmBrowser* frmBrowser = nullptr;

TfrmBrowser::TfrmBrowser(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
    frmBrowser = this;
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("토브 라디오"));
    layout_->setContentsMargins(0, 0, 0, 0);
    resize(1016, 741);
    move(0, 0);
}

TfrmBrowser::~TfrmBrowser() {
    if (frmBrowser == this) {
        frmBrowser = nullptr;
    }
}

void TfrmBrowser::Navigate(const QUrl& url) {
    if (CppWB_ == nullptr) {
        CppWB_ = new QWebEngineView(this);
        CppWB_->setObjectName(QStringLiteral("CppWB"));
        layout_->addWidget(CppWB_);
    }
    CppWB_->load(url);
}
