#include "QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "FileFilter.h"

namespace {

QMessageBox::Icon IconOf(unsigned flags) {
    switch (flags & BoxFlags::kIconMask) {
        case BoxFlags::kIconQuestion:
            return QMessageBox::Question;
        case BoxFlags::kIconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

void ShowOk(QMessageBox::Icon icon, const QString& title, const QString& text, QWidget* owner) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, owner);
    box.exec();
}

}  // namespace

void QtDialogs::ShowMessage(const QString& text) {
    ShowOk(QMessageBox::NoIcon, kAppTitle, text, QApplication::activeWindow());
}

void QtDialogs::ShowError(const QString& text) {
    ShowOk(QMessageBox::Critical, kAppTitle, text, QApplication::activeWindow());
}

bool QtDialogs::WarningQuestion(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text,
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

BoxAnswer QtDialogs::SystemBox(const QString& text, const QString& title, unsigned flags) {
    const bool yesNo = (flags & BoxFlags::kButtonsMask) == BoxFlags::kYesNo;
    // A system box has no owner window: it stands on its own on the desktop.
    QMessageBox box(IconOf(flags), title, text,
                    yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, nullptr);
    if (yesNo) {
        const bool second = (flags & BoxFlags::kDefaultMask) == BoxFlags::kDefaultButton2;
        box.setDefaultButton(second ? QMessageBox::No : QMessageBox::Yes);
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return BoxAnswer::Yes;
        case QMessageBox::No:
            return BoxAnswer::No;
        default:
            return yesNo ? BoxAnswer::No : BoxAnswer::Ok;
    }
}

bool QtDialogs::RunFileDialog(FileDialogState& state) {
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The chosen file need not exist (a new name for a save), but its folder must.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(ToQtNameFilters(state.filter));
    dialog.setDirectory(state.initialDir);
    dialog.selectFile(state.fileName);
    while (dialog.exec() == QDialog::Accepted) {
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty()) {
            return false;
        }
        const QFileInfo chosen(files.first());
        if (chosen.absoluteDir().exists()) {
            state.fileName = QDir::toNativeSeparators(chosen.absoluteFilePath());
            return true;
        }
        QMessageBox::warning(&dialog, kAppTitle,
                             chosen.absolutePath() + QStringLiteral("\n\n") +
                                 QStringLiteral("폴더가 존재하지 않습니다."));
    }
    return false;
}
