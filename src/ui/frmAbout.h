#pragma once
// This program's own About dialog and version texts; it shows and says them, stores nothing.
#include "cFocusAnnouncer.h"

#include <QDialog>
#include <QIcon>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class cStandardTextBox;

// "%^" becomes a line break (CR LF); then the first "%1" becomes a1, the first "%2" a2, and
// so on, each once.
QString FormatTemplate(const QString& pattern, const QString& a1 = QString(), const QString& a2 = QString(),
                       const QString& a3 = QString(), const QString& a4 = QString());

// This program's own texts, as its version information gives them.
struct cProgramInfo {
    QString Title;
    QString Comments;
    int Major = 0;
    int Minor = 0;
    int Revision = 0;
    QString LegalCopyright;
};
const cProgramInfo& ProgramInfo();

// What this program is: title, comments, version and legal notice, all said at once when
// the dialog opens; the legal notice can be read again in a text box.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;

    // The main window's icon, shown beside the texts.
    void SetIcon(const QIcon& icon);
    // What is said on opening.
    QString SpokenText() const;

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblMotto = nullptr;
    QLabel* lblCommets = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCopyright = nullptr;
    QPlainTextEdit* txtCopyright = nullptr;
    QPushButton* cmdOK = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    cFocusAnnouncer m_focus{this};
    std::unique_ptr<cStandardTextBox> m_copyrightWrapper;
    bool m_spoken = false;
};
