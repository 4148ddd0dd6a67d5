#pragma once

// The About window: the logo, a caption line and five pages of read-only text, among them
// the program's only user documentation (how to log, the Admin page, adding a map).

#include "app/Controls.h"

#include <QDialog>

#include <string>

class QFrame;
class QPlainTextEdit;
class QTabWidget;

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    // exeName: the program's path; the logo is looked for in "images" beside it.
    TAboutForm(QWidget* owner, const std::string& exeName);

    QFrame* Panel1;
    TImage* LogoImage;
    TLabel* Label1;
    QTabWidget* PageControl1;
    QWidget* TabSheet1; // "Credits"
    QPlainTextEdit* Memo1;
    QWidget* TabSheet2; // "Help with logging"
    QPlainTextEdit* Memo2;
    QWidget* TabSheet3; // "Maps supported"
    QPlainTextEdit* Memo3;
    QWidget* TabSheet4; // "Change log"
    QPlainTextEdit* Memo4;
    QWidget* TabSheet5; // "Clan leden gevraagd"
    QPlainTextEdit* Memo5;

    // Loads the logo: images/logo.bmp, else images/logo.jpg, else none.
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::string FExeName;
};
