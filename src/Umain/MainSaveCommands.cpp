#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>

#include "Udownload/frmDownload.h"
#include "feed/LinkCheck.h"
#include "frmMain.h"
#include "platform/HandlerGuard.h"
#include "texts/FailureText.h"
#include "texts/FileNames.h"
#include "ui_frmMain.h"

namespace {

const QString kTransferRunning = QStringLiteral("다운로드가 진행중 입니다.");

// The download window when it is free for a new transfer; otherwise the user
// is told that one is running, and there is none.
TfrmDownload* FreeDownloadWindow(IDialogs& dialogs) {
    if (frmDownload == nullptr) {
        throw std::runtime_error("The download window has not been created");
    }
    if (frmDownload->Downloading) {
        dialogs.ShowMessage(kTransferRunning);
        return nullptr;
    }
    return frmDownload;
}

void RunTransfer(TfrmDownload& window, const std::string& link, const std::string& target) {
    window.SetupDownload(link, target);
    window.show();
    window.raise();
    window.StartDownload();
}

}  // namespace

void TfrmMain::btnDownClick() {
    if (FreeDownloadWindow(dialogs_) == nullptr) {
        return;
    }
    const int i = ui->cmbItem->currentIndex();
    if (!IsEpisodeIndex(Episodes, i)) {
        return;
    }
    std::string link = Episodes[static_cast<std::size_t>(i)].url;
    RewriteLink(link);
    // The save goes on once the link has answered; a later 저장 replaces it.
    saveCheck_ =
        std::make_unique<TLinkCheck>(IdHTTP, link, [this, link](std::optional<std::string> error) {
            const std::unique_ptr<TLinkCheck> ended = std::move(saveCheck_);
            UpdateBusyCursor();
            RunGuarded(dialogs_, [&] {
                if (error) {
                    dialogs_.ShowMessage(
                        QString::fromStdString(UnreachableLinkMessage(link, *error)));
                    return;
                }
                SaveLinkAnswered(link);
            });
        });
    UpdateBusyCursor();
}

void TfrmMain::SaveLinkAnswered(const std::string& link) {
    // Another save may have begun from the date list in the meantime.
    TfrmDownload* window = FreeDownloadWindow(dialogs_);
    if (window == nullptr) {
        return;
    }

    dlgOpen.fileName = QString::fromStdString(SaveFileName(link));
    dlgOpen.initialDir = QString::fromStdString(LastDown);
    if (!dialogs_.RunFileDialog(dlgOpen)) {
        return;
    }
    const std::string chosen = dlgOpen.fileName.toStdString();
    const std::string name = PathFileName(chosen);
    std::error_code ignored;
    if (std::filesystem::exists(std::filesystem::path(chosen), ignored) &&
        dialogs_.SystemBox(QString::fromStdString(name) +
                               QStringLiteral("가 이미 존재합니다. \n\n덮어 쓰시겠습니까?"),
                           QStringLiteral("파일 중복"),
                           BoxFlags::kYesNo | BoxFlags::kIconQuestion) != BoxAnswer::Yes) {
        return;
    }
    LastDown = PathFolder(chosen);

    window->SetDisplayName(name);
    RunTransfer(*window, link, chosen);
}

void TfrmMain::btnDownloadClick() {
    TfrmDownload* window = FreeDownloadWindow(dialogs_);
    if (window == nullptr) {
        return;
    }
    const int i = ui->cmbDate->currentIndex();
    if (!IsEpisodeIndex(Episodes, i)) {
        return;
    }
    // The panel saves the link as the feed gives it, unchecked.
    const TEpisode& episode = Episodes[static_cast<std::size_t>(i)];
    const std::string link = episode.url;
    dlgOpen.fileName = QString::fromStdString(PanelFileName(episode.date));
    if (!dialogs_.RunFileDialog(dlgOpen)) {
        return;
    }
    RunTransfer(*window, link, dlgOpen.fileName.toStdString());
}

void TfrmMain::btnURLClick() {
    const int i = ui->cmbItem->currentIndex();
    if (!IsEpisodeIndex(Episodes, i)) {
        return;
    }
    std::string link = Episodes[static_cast<std::size_t>(i)].url;
    RewriteLink(link);
    const QString text = QString::fromStdString(link);

    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    // Qt reports no failure of its own; a clipboard that does not hold the link
    // afterwards was not set, and saying it was copied would be wrong.
    if (clipboard->text() != text) {
        throw std::runtime_error(
            FailureText(kCopyFailed, link, "The clipboard does not hold the link afterwards"));
    }
    dialogs_.SystemBox(text + QStringLiteral("\n\nMP3 다운로드 경로를 클립보드에 복사하였습니다."),
                       QStringLiteral("MP3 다운로드 경로"),
                       BoxFlags::kOk | BoxFlags::kIconInformation);
}
