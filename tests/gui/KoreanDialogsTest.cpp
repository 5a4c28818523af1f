// Qt's own boxes and file dialog, as the program shows them, read back with
// the translations main() installs.
#include <functional>

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "Controls.h"
#include "platform/QtDialogs.h"
#include "platform/QtTranslations.h"

namespace {

// A button's text without its keyboard mnemonic: "열기(&O)" reads "열기".
QString Plain(QString text) {
    static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)$|&"));
    return text.remove(mnemonic).trimmed();
}

// Runs `show`, which opens a modal box, and gives the texts of the box's
// buttons, in their order on screen; the box is then closed unanswered.
QStringList ButtonsOf(const std::function<void()>& show) {
    QStringList texts;
    const NextModal<QDialog> next([&](QDialog* dialog) {
        for (const QDialogButtonBox* box : dialog->findChildren<QDialogButtonBox*>()) {
            for (QAbstractButton* button : box->buttons()) {
                texts << Plain(button->text());
            }
        }
        dialog->done(QDialog::Rejected);
    });
    show();
    return texts;
}

class KoreanDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { installed_ = InstallQtTranslations(*qApp); }
    static bool installed_;
    QtDialogs dialogs_;
};
bool KoreanDialogs::installed_ = false;

}  // namespace

TEST_F(KoreanDialogs, BoxesAnswerInKorean) {
    ASSERT_TRUE(installed_) << "Qt's Korean catalogue (qt6-translations-l10n) is missing";
    EXPECT_EQ(ButtonsOf([&] { dialogs_.ShowError(QStringLiteral("오류")); }),
              QStringList{QStringLiteral("확인")});
    EXPECT_EQ(ButtonsOf([&] { dialogs_.ShowMessage(QStringLiteral("알림")); }),
              QStringList{QStringLiteral("확인")});

    QStringList question = ButtonsOf([&] { dialogs_.WarningQuestion(QStringLiteral("?")); });
    question.sort();
    EXPECT_EQ(question, (QStringList{QStringLiteral("아니요"), QStringLiteral("예")}));
    QStringList system = ButtonsOf([&] {
        dialogs_.SystemBox(QStringLiteral("?"), QStringLiteral("제목"),
                           BoxFlags::kYesNo | BoxFlags::kIconQuestion);
    });
    system.sort();
    EXPECT_EQ(system, question);
}

TEST_F(KoreanDialogs, FileDialogOpensAndCancelsInKorean) {
    ASSERT_TRUE(installed_);
    QTemporaryDir folder;
    FileDialogState state{QStringLiteral("MP3 Files(*.mp3)|*.mp3|"), folder.path(), {}};
    QStringList buttons = ButtonsOf([&] { EXPECT_FALSE(dialogs_.RunFileDialog(state)); });
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("열기"), QStringLiteral("취소")}));
}
