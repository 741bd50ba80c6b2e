#pragma once
// The accessible open, save and folder dialog; cFileDialogModel reads its folders off the window's thread.
#include "cFileDialogModel.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QStringListModel;
class QPushButton;
class cStandardComboBox;
class cStandardTextBox;

// The accessible file dialog: open, save, choose a folder. Every folder, volume and file
// the focus passes is spoken. Keys in the list: Enter opens the entry (enters a folder or
// volume, confirms a file), Backspace goes one level up (from "/" to the volumes), Space
// repeats the entry (spelled for a volume), F5 reads the folder again.
class fFileOpen : public QDialog {
    Q_OBJECT
public:
    explicit fFileOpen(QWidget* parent = nullptr);
    ~fFileOpen() override;

    // Fills the form for a dialog kind (8 to 15) from the request text ("|"-separated).
    void Prepare(qint32 kind, const QString& text, qint32 windowCode);
    // Makes path the current folder; the dialog stays where it was when that fails.
    cFileDialogModel::Result SetPath(const QString& path);
    cFileDialogModel* Model() const { return m_model; }
    bool FolderChoice() const { return m_folderChoice; }

    QComboBox* cbSearch = nullptr;
    QPushButton* Picture2 = nullptr;
    QListView* ListView1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QComboBox* cbFilter = nullptr;
    QStringListModel* lstMask = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* frmSearch = nullptr;
    QLabel* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblCriteria = nullptr;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // The layout row below the type list, for controls a variant adds.
    class QGridLayout* ExtraRow() const { return m_grid; }
    // Selects mask in the type list, adding it when absent.
    void ChooseMask(const QString& mask);

private:
    void Command1_Click();
    void Command2_Click();
    void OpenEntry(int row);
    void GoUp();
    void GoLookIn(int index);
    void EnterFolder(const QByteArray& folder);
    void Finish(const QByteArray& path);
    void SpeakFolder();
    void FillLookIn();
    void ListingFinished();
    void CurrentEntryChanged();
    void AnnounceFocus(QWidget* control);
    void AnnounceList();
    void SetDefaultFolder();
    int CurrentRow() const;
    QString EmptyListText() const;
    // "Složka: …" for the current folder; empty in drive mode.
    QString FolderNameText() const;
    void TellFolderOnce(bool alreadyNamed);

    cFileDialogModel* m_model = nullptr;
    std::unique_ptr<cStandardTextBox> m_text1Wrapper;
    std::unique_ptr<cStandardComboBox> m_filterWrapper;
    std::unique_ptr<cStandardComboBox> m_searchWrapper;
    class QGridLayout* m_grid = nullptr;
    QWidget* m_announced = nullptr;
    bool m_folderChoice = false;
    bool m_openMode = true;
    bool m_quiet = false;             // programmatic changes of the lists are not spoken
    bool m_speakAfterListing = false; // the user moved: say what the new list holds
    bool m_listFocusPending = false;  // the list got the focus while still being read
    bool m_folderTold = false;        // the folder was named after the dialog showed
};

// Makes the accessible dialog driver show these dialogs for kinds 8 to 15.
void InstallFileDialogs();
