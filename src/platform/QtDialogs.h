#pragma once

#include "Dialogs.h"

// IDialogs over Qt's message boxes and file dialog.
class QtDialogs final : public IDialogs {
public:
    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    bool WarningQuestion(const QString& text) override;
    BoxAnswer SystemBox(const QString& text, const QString& title, unsigned flags) override;
    bool RunFileDialog(FileDialogState& state) override;
};
