#pragma once

#include <QString>

// The program's title: the caption of every plain message and error box.
inline const QString kAppTitle = QStringLiteral("ZURav3");

// Flags of a system box, with the values the program's messages are written in.
namespace BoxFlags {
constexpr unsigned kOk = 0x0;
constexpr unsigned kYesNo = 0x4;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconInformation = 0x40;
constexpr unsigned kDefaultButton2 = 0x100;
constexpr unsigned kButtonsMask = 0xF;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kDefaultMask = 0xF00;
}  // namespace BoxFlags

enum class BoxAnswer { Ok, Yes, No };

// What a file dialog shows and, once confirmed, what was chosen. The same state
// object is kept between uses, so a dialog starts from the name it held last.
struct FileDialogState {
    QString filter;      // "Text(*.ext)|*.ext|..." pairs of description and pattern
    QString initialDir;  // folder shown first
    QString fileName;    // proposed name; after a confirmed run, the full path chosen
};

// Every box and file dialog the program shows goes through this interface, so
// that tests can answer them and read what was shown.
class IDialogs {
public:
    virtual ~IDialogs() = default;

    // A plain message: the text, an OK button, the application's title.
    virtual void ShowMessage(const QString& text) = 0;

    // The error box of the handler guard: the error's text, an OK button, the
    // application's title.
    virtual void ShowError(const QString& text) = 0;

    // A warning question: caption "Warning", buttons Yes and No. True for Yes.
    virtual bool WarningQuestion(const QString& text) = 0;

    // A system box without an owner window, with BoxFlags and its own title.
    virtual BoxAnswer SystemBox(const QString& text, const QString& title, unsigned flags) = 0;

    // An open-style file dialog whose file need not exist but whose folder must.
    // True when the user confirmed; `state.fileName` then holds the full path.
    virtual bool RunFileDialog(FileDialogState& state) = 0;
};
