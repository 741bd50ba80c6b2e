#pragma once
// The About box of the application a definition describes; it shows texts and stores nothing.
#include "cFocusAnnouncer.h"
#include "cStdFont.h"

#include <QDialog>
#include <QList>

#include <memory>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class cSetting;
class cStandardTextBox;

// Four texts about an application, each in a box under its label: name, comment, version
// and copyright.
class fAbout : public QDialog {
    Q_OBJECT
public:
    explicit fAbout(QWidget* parent = nullptr);
    ~fAbout() override;

    void SetFont(const cStdFont& font);
    void SetColor(qint32 foreForm, qint32 backForm, qint32 fore, qint32 back);
    void SetNameApp(const QString& text);
    void SetComment(const QString& text);
    void SetVersion(const QString& text);
    void SetCopyright(const QString& text);

    // Rows 1 to 4; element 0 is unused, as the rows are numbered from 1.
    QList<QGroupBox*> Frame;
    QList<QLabel*> Label;
    QList<QPlainTextEdit*> Text;
    QPushButton* cmdOK = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    cFocusAnnouncer m_focus{this};
    QWidget* m_announced = nullptr;
    class QScrollArea* m_page = nullptr;
    std::vector<std::unique_ptr<cStandardTextBox>> m_wrappers;
};

// Shows the About box of the application the definition describes (caption: the main
// window's), or of this program when setting is null, modally over mainWindow.
void ShowAbout(QWidget* mainWindow, const cSetting* setting);
// True when the definition holds any About text, so that its About box is worth offering.
bool HasAboutTexts(const cSetting& setting);
