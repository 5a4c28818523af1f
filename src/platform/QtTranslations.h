#pragma once

class QCoreApplication;

// Installs Qt's own Korean texts (qtbase_ko.qm and the web view's
// qtwebengine_ko.qm from Qt's translations folder), so that standard buttons
// and file dialogs speak the program's language (확인, 예, 아니요, 열기, 취소)
// whatever the user's locale. The translators live as long as `app`. False
// when Qt's base catalogue is not installed; Qt's English texts stay then.
bool InstallQtTranslations(QCoreApplication& app);
