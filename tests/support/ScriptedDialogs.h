#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include <QStringList>

#include "platform/Dialogs.h"

// IDialogs for tests: answers come from queues the test fills, and every box or
// dialog shown is recorded. A box with no queued answer gets its default button
// (No for a warning question), a file dialog with no queued file is cancelled.
class ScriptedDialogs final : public IDialogs {
public:
    enum class Kind { Message, Error, Warning, SystemBox, FileDialog };

    struct ShownBox {
        Kind kind = Kind::Message;
        QString title;
        QString text;
        unsigned flags = 0;         // system box only
        QStringList buttons;        // e.g. {"Yes", "No"}
        QString defaultButton;      // the button Enter would press
        FileDialogState fileState;  // file dialog only: the state as shown
    };

    void QueueAnswer(BoxAnswer answer) { answers_.push_back(answer); }
    // Confirms the next file dialog with this full path.
    void QueueFile(const QString& fullPath) { files_.emplace_back(fullPath); }
    void QueueFile(const std::filesystem::path& fullPath) {
        QueueFile(QString::fromStdString(fullPath.string()));
    }
    void QueueFileCancel() { files_.emplace_back(std::nullopt); }

    const std::vector<ShownBox>& Boxes() const { return shown_; }
    const ShownBox& Last() const { return shown_.back(); }
    std::size_t Count() const { return shown_.size(); }
    std::size_t CountOf(Kind kind) const;
    void Clear() { shown_.clear(); }

    // Called with each box as it is shown, before its answer is taken, so a test
    // can act inside a modal moment.
    std::function<void(const ShownBox&)> onShow;

    // Keeps the next box or dialog open, running its own event loop as a modal
    // one does, until `closeWhen` holds or `atMost` has passed; then it takes
    // its answer. Boxes shown meanwhile (nested ones) answer at once.
    void HoldNextBox(std::chrono::milliseconds atMost, std::function<bool()> closeWhen = {});

    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    bool WarningQuestion(const QString& text) override;
    BoxAnswer SystemBox(const QString& text, const QString& title, unsigned flags) override;
    bool RunFileDialog(FileDialogState& state) override;

private:
    void Record(const ShownBox& shown);
    std::optional<BoxAnswer> TakeAnswer();

    std::vector<ShownBox> shown_;
    std::deque<BoxAnswer> answers_;
    std::deque<std::optional<QString>> files_;
    struct Hold {
        std::chrono::milliseconds atMost;
        std::function<bool()> closeWhen;
    };
    std::optional<Hold> hold_;
};
