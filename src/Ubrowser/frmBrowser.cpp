#include "frmBrowser.h"

#include <QCoreApplication>
#include <QUrl>
#include <QVBoxLayout>

#include "WebViewFactory.h"
#include "WebViewModule.h"

#ifndef ZURAV3_SHOW_PAGE_URL
#define ZURAV3_SHOW_PAGE_URL "http://www.tovradio.example/"
#endif

const char* const kShowPageURL = ZURAV3_SHOW_PAGE_URL;

TfrmBrowser* frmBrowser = nullptr;

TfrmBrowser::TfrmBrowser(QWidget* parent, const QStringList& webViewModules)
    : QWidget(parent),
      layout_(new QVBoxLayout(this)),
      webViewModules_(webViewModules.isEmpty()
                          ? WebViewModuleCandidates(QCoreApplication::applicationDirPath())
                          : webViewModules) {
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
        if (factory_ == nullptr) {
            factory_ = &LoadWebViewModule(webViewModules_);
        }
        CppWB_ = factory_->CreateView(this);
        CppWB_->setObjectName(QStringLiteral("CppWB"));
        layout_->addWidget(CppWB_);
    }
    factory_->Load(CppWB_, url);
}
