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

// Every box shows its text as plain text: it holds titles, links and reasons
// from outside, which Qt would otherwise read as markup when they look like it
// (an "<img src=...>" in a link drew a local file into the box). The format is
// set before the text, so the text is never taken for markup even briefly.
void SetPlainText(QMessageBox& box, const QString& text) {
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
}

void ShowOk(QMessageBox::Icon icon, const QString& title, const QString& text, QWidget* owner) {
    QMessageBox box(icon, title, QString(), QMessageBox::Ok, owner);
    SetPlainText(box, text);
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
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), QString(),
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    SetPlainText(box, text);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

BoxAnswer QtDialogs::SystemBox(const QString& text, const QString& title, unsigned flags) {
    const bool yesNo = (flags & BoxFlags::kButtonsMask) == BoxFlags::kYesNo;
    // A system box has no owner window: it stands on its own on the desktop.
    QMessageBox box(IconOf(flags), title, QString(),
                    yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, nullptr);
    SetPlainText(box, text);
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
        ShowOk(QMessageBox::Warning, kAppTitle,
               chosen.absolutePath() + QStringLiteral("\n\n") +
                   QStringLiteral("폴더가 존재하지 않습니다."),
               &dialog);
    }
    return false;
}
