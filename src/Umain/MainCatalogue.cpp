#include <QToolButton>

#include "feed/RewriteLink.h"
#include "frmMain.h"
#include "platform/OutsideText.h"
#include "ui_frmMain.h"

void TfrmMain::RewriteLink(std::string& link) const {
    ::RewriteLink(link, FindText, ReplaceText);
}

void TfrmMain::UpdateEpisodeHints(int index) {
    const QString title =
        QString::fromStdString(Episodes.at(static_cast<std::size_t>(index)).title);
    ui->btnPlay->setToolTip(PlainToolTip(title + QStringLiteral(" 재생")));
    ui->btnDown->setToolTip(PlainToolTip(title + QStringLiteral(" 다운로드")));
}

void TfrmMain::SelectFirstEpisode() {
    if (Episodes.empty() || ui->cmbItem->count() == 0) {
        return;
    }
    ui->cmbItem->setCurrentIndex(0);
    const int index = ui->cmbItem->currentIndex();
    if (IsEpisodeIndex(Episodes, index)) {
        UpdateEpisodeHints(index);
    }
}
