#include "frmDownload.h"

#include <filesystem>

#include <QCloseEvent>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QShowEvent>

#include "Umain/frmMain.h"
#include "platform/HandlerGuard.h"
#include "platform/OutsideText.h"
#include "platform/Services.h"
#include "texts/DownloadTexts.h"
#include "ui_frmDownload.h"

TfrmDownload* frmDownload = nullptr;

// Transfer phases, for whoever switches the category on.
Q_LOGGING_CATEGORY(lcDownload, "zurav3.download", QtWarningMsg)

namespace {

const QString kCompletedText =
    QStringLiteral("다운로드를 완료하였습니다.\n\n다운로드 받은 파일을 재생하시겠습니까?");
const QString kCompletedTitle = QStringLiteral("다운로드 완료");
const QString kCancelledText = QStringLiteral("다운로드가 취소되었습니다.");
const QString kFailedText = QStringLiteral("다운로드 실패!");
const QString kCancelQuestion = QStringLiteral("다운로드가 진행중입니다.\n\n취소하시겠습니까?");
const QString kRetryingText = QStringLiteral("다시 연결하는 중 (%1)");

QString FailureMessage(const std::string& reason) {
    if (reason.empty()) {
        return kFailedText;
    }
    return kFailedText + QStringLiteral("\n\n") + QString::fromStdString(reason);
}

}  // namespace

bool TCallback::OnProgress(std::uint64_t progress, std::uint64_t progressMax, unsigned statusCode,
                           const std::string& statusText) {
    std::string status = BindStatusDescription(statusCode, statusText);
    if (status != Status) {
        qCDebug(lcDownload) << status.c_str();
        Status = std::move(status);
    }
    if (OwnerForm == nullptr) {
        return true;
    }
    if (statusCode == BindStatus::kRetrying) {
        OwnerForm->ShowRetry(progress, progressMax, statusText);
    } else if (progressMax > 0) {
        OwnerForm->UpdateProgress(progress, progressMax);
    }
    return !OwnerForm->CancelRequested;
}

TfrmDownload::TfrmDownload(Services& services, QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      services_(services),
      ui(std::make_unique<Ui::TfrmDownload>()) {
    frmDownload = this;
    ui->setupUi(this);
    setFixedSize(size());
    // A hidden tool window must not keep the program running, nor end it.
    setAttribute(Qt::WA_QuitOnClose, false);
    ui->prgDownload->setRange(0, 100);
}

TfrmDownload::~TfrmDownload() {
    if (frmDownload == this) {
        frmDownload = nullptr;
    }
}

void TfrmDownload::SetDisplayName(const std::string& name) {
    DisplayName = name;
}

void TfrmDownload::SetupDownload(const std::string& url, const std::string& targetFile) {
    DownloadURL = url;
    TargetFile = targetFile;
    Downloading = false;
    CancelRequested = false;
    ui->prgDownload->setRange(0, 100);
    ui->prgDownload->setValue(0);
    // Without a name the captions keep what they show, the last transfer's
    // texts included.
    if (!DisplayName.empty()) {
        ui->lblDownload->setText(QStringLiteral("Downloading...  "));
        setWindowTitle(
            PlainWindowTitle(QStringLiteral("Download ") + QString::fromStdString(DisplayName)));
    }
}

void TfrmDownload::StartDownload() {
    if (DownloadURL.empty() || TargetFile.empty()) {
        return;
    }
    Downloading = true;
    Callback.OwnerForm = this;
    // The window leaves the transfer state and closes however this ends, also
    // when playing the saved file fails; that error then reaches the error box.
    const auto finish = qScopeGuard([this] {
        Downloading = false;
        exiting_ = false;
        close();
    });
    const DownloadResult result = services_.downloader->DownloadToFile(
        DownloadURL, std::filesystem::path(TargetFile), Callback);
    if (!exiting_) {
        ReportOutcome(result);
    }
}

void TfrmDownload::ReportOutcome(const DownloadResult& result) {
    IDialogs& dialogs = *services_.dialogs;
    switch (result.outcome) {
        case DownloadOutcome::Ok:
            if (dialogs.SystemBox(kCompletedText, kCompletedTitle,
                                  BoxFlags::kYesNo | BoxFlags::kIconInformation |
                                      BoxFlags::kDefaultButton2) == BoxAnswer::Yes &&
                frmMain != nullptr) {
                frmMain->PlayFile(TargetFile);
            }
            break;
        case DownloadOutcome::Aborted:
            dialogs.ShowMessage(CancelRequested ? kCancelledText : FailureMessage(result.error));
            break;
        case DownloadOutcome::Failed:
            dialogs.ShowMessage(FailureMessage(result.error));
            break;
    }
}

void TfrmDownload::UpdateProgress(std::uint64_t progress, std::uint64_t progressMax) {
    if (progressMax == 0) {
        return;
    }
    ui->prgDownload->setRange(0, 100);
    ui->prgDownload->setValue(DownloadPercent(progress, progressMax));
    ui->lblDownload->setText(QString::fromStdString(DownloadProgressText(progress, progressMax)));
}

void TfrmDownload::ShowRetry(std::uint64_t progress, std::uint64_t progressMax,
                             const std::string& tryNumber) {
    // The bar shows where the save stands: the next try goes on from there.
    if (progressMax > 0) {
        ui->prgDownload->setValue(DownloadPercent(progress, progressMax));
    }
    ui->lblDownload->setText(kRetryingText.arg(QString::fromStdString(tryNumber)));
}

bool TfrmDownload::FormClose() {
    // Nothing runs, or the program is ending and has cancelled the transfer
    // already: the window may go without a question.
    if (!Downloading || exiting_) {
        return true;
    }
    if (services_.dialogs->WarningQuestion(kCancelQuestion)) {
        CancelRequested = true;
    }
    // A confirmed cancel ends the transfer at its next progress report, which
    // then closes the window itself.
    return false;
}

void TfrmDownload::CancelForExit() {
    if (!Downloading) {
        return;
    }
    exiting_ = true;
    CancelRequested = true;
}

void TfrmDownload::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    RunGuarded(*services_.dialogs, [this, &canClose] { canClose = FormClose(); });
    if (canClose) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TfrmDownload::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (frmMain != nullptr && !event->spontaneous()) {
        QRect frame = frameGeometry();
        frame.moveCenter(frmMain->frameGeometry().center());
        move(frame.topLeft());
    }
}
