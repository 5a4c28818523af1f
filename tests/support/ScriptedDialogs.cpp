#include "ScriptedDialogs.h"

#include <algorithm>

#include "WaitUntil.h"

std::size_t ScriptedDialogs::CountOf(Kind kind) const {
    return static_cast<std::size_t>(std::count_if(
        shown_.begin(), shown_.end(), [kind](const ShownBox& b) { return b.kind == kind; }));
}

void ScriptedDialogs::HoldNextBox(std::chrono::milliseconds atMost,
                                  std::function<bool()> closeWhen) {
    hold_ = Hold{atMost, std::move(closeWhen)};
}

void ScriptedDialogs::Record(const ShownBox& shown) {
    shown_.push_back(shown);
    if (onShow) {
        onShow(shown_.back());
    }
    if (hold_) {
        const Hold hold = std::move(*hold_);
        hold_.reset();
        RunEventLoopUntil(hold.closeWhen, hold.atMost);
    }
}

std::optional<BoxAnswer> ScriptedDialogs::TakeAnswer() {
    if (answers_.empty()) {
        return std::nullopt;
    }
    const BoxAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void ScriptedDialogs::ShowMessage(const QString& text) {
    Record({Kind::Message, kAppTitle, text, 0, {QStringLiteral("OK")}, QStringLiteral("OK"), {}});
    TakeAnswer();
}

void ScriptedDialogs::ShowError(const QString& text) {
    Record({Kind::Error, kAppTitle, text, 0, {QStringLiteral("OK")}, QStringLiteral("OK"), {}});
    TakeAnswer();
}

bool ScriptedDialogs::WarningQuestion(const QString& text) {
    Record({Kind::Warning,
            QStringLiteral("Warning"),
            text,
            0,
            {QStringLiteral("Yes"), QStringLiteral("No")},
            QStringLiteral("Yes"),
            {}});
    return TakeAnswer().value_or(BoxAnswer::No) == BoxAnswer::Yes;
}

BoxAnswer ScriptedDialogs::SystemBox(const QString& text, const QString& title, unsigned flags) {
    const bool yesNo = (flags & BoxFlags::kButtonsMask) == BoxFlags::kYesNo;
    ShownBox shown{Kind::SystemBox, title, text, flags, {}, {}, {}};
    if (yesNo) {
        shown.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
        const bool second = (flags & BoxFlags::kDefaultMask) == BoxFlags::kDefaultButton2;
        shown.defaultButton = second ? QStringLiteral("No") : QStringLiteral("Yes");
    } else {
        shown.buttons = {QStringLiteral("OK")};
        shown.defaultButton = QStringLiteral("OK");
    }
    Record(shown);
    const std::optional<BoxAnswer> answer = TakeAnswer();
    if (answer) {
        return *answer;
    }
    if (!yesNo) {
        return BoxAnswer::Ok;
    }
    return shown.defaultButton == QStringLiteral("No") ? BoxAnswer::No : BoxAnswer::Yes;
}

bool ScriptedDialogs::RunFileDialog(FileDialogState& state) {
    Record({Kind::FileDialog, {}, {}, 0, {}, {}, state});
    if (files_.empty()) {
        return false;
    }
    const std::optional<QString> file = files_.front();
    files_.pop_front();
    if (!file) {
        return false;
    }
    state.fileName = *file;
    return true;
}
