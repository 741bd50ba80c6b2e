#pragma once
// The fonts and colours dialog and its colour table; nothing changes before OK.
#include "cFocusAnnouncer.h"
#include "cStdFont.h"

#include <QDialog>
#include <QList>

#include <memory>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QToolButton;
class cStandardTextBox;

// One entry of the colour table: a name from the string table and its colour number.
struct cColourEntry {
    int NameId;
    qint32 Colour;
};
// The eight colours the user can pick from, in the order of their names (strings 904–911).
const QList<cColourEntry>& ColourTable();

// The fonts and colours dialog: a font, its size, bold and italic, and the text or the
// background colour of the controls, shown together in a sample. OK makes them the
// program's (gFont, gForeColor, gBackColor) and applies them to the main window; Cancel
// changes nothing.
class frmFonts : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2614;
    static constexpr int kMinSize = 1;
    static constexpr int kMaxSize = 100;
    enum : int { ResultOk = 1, ResultCancel = 2 };

    // The main window takes the choice on OK (null: only the preferences change).
    explicit frmFonts(QWidget* mainWindow, QWidget* parent = nullptr);
    ~frmFonts() override;

    int Result() const { return m_result; }
    int SampleSize() const { return m_size; }
    // The choice as it stands: the sample's font and colours.
    cStdFont SampleFont() const;
    qint32 SampleFore() const { return m_fore; }
    qint32 SampleBack() const { return m_back; }

    QLabel* lblFont = nullptr;
    QListWidget* FontList = nullptr;
    QLabel* lblSize = nullptr;
    QLineEdit* txtSize = nullptr;
    QToolButton* picUp = nullptr;
    QToolButton* picDown = nullptr;
    QCheckBox* chkBold = nullptr;
    QCheckBox* chkItalic = nullptr;
    QGroupBox* Frame1 = nullptr;
    QList<QRadioButton*> optColor; // 0 text colour, 1 background colour
    QLabel* lblColors = nullptr;
    QListWidget* lstColors = nullptr;
    QLabel* lblTest = nullptr;
    QPlainTextEdit* txtSample = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void picUp_Click();
    void picDown_Click();

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cmdOK_Click();
    // Moves the size by step within the limits and says the new size (or the limit).
    void ChangeSize(int step);
    void SetSize(int size, bool speak);
    // The size typed in the box; nullopt when it is no whole number within the limits.
    std::optional<int> TypedSize() const;
    // Why a typed size was refused.
    static QString SizeRule();
    void ShowColourOfOption();
    void UpdateSample();

    QWidget* m_mainWindow;
    cFocusAnnouncer m_focus{this};
    std::unique_ptr<cStandardTextBox> m_sizeWrapper;
    cStdFont m_font;
    int m_size = 0;
    qint32 m_fore = 0;
    qint32 m_back = 0;
    int m_result = ResultCancel;
    bool m_filling = false;
};
