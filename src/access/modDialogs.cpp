#include "modDialogs.h"

#include <QApplication>

#include "frmMsg12.h"
#include "frmMsg3.h"
#include "modCommon.h"
#include "sMain.h"

#include <QPushButton>

#include <memory>

QPointer<QDialog> gDialogForm;
qint32 gDialogResult = 0;

namespace {

FileDialogHandler& FileDialogs()
{
    static FileDialogHandler handler;
    return handler;
}

qint32 FileDialogCode(qint32 kind)
{
    if (kind <= 9)
        return WindowCode::FileOpen;
    if (kind <= 11)
        return WindowCode::FileSave;
    if (kind <= 13)
        return WindowCode::FilePlain;
    return WindowCode::SoundFile;
}

} // namespace

int ExecModal(QDialog& dialog)
{
    // The keyboard comes back to where it was, also without a window manager to give it.
    const QPointer<QWidget> focus = QApplication::focusWidget();
    const QPointer<QWidget> window = QApplication::activeWindow();
    const int result = dialog.exec();
    if (window && window->isVisible()) {
        window->activateWindow();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); // the activation itself
        if (focus && focus->isVisible())
            focus->setFocus();
    }
    return result;
}

qint32 RunAccessibleDialog(std::unique_ptr<QDialog> form)
{
    gDialogForm = form.get();
    VoiceOutput(4, 0, QString()); // the box speaks itself; what was being said is over
    ExecModal(*form);
    const qint32 result = gDialogResult;
    gDialogForm = nullptr;
    form.reset();
    return result;
}

void ShowOkMessage(const QString& text)
{
    SendVoiceMessage(VoiceMessageNumber(kVoiceMessageDialog, DialogKind::Ok), text);
}

QString DialogField(const QString& text, int index)
{
    const QStringList fields = (text + u'|').split(u'|');
    return index >= 1 && index <= fields.size() ? fields.at(index - 1) : QString();
}

void SetFileDialogHandler(FileDialogHandler handler)
{
    FileDialogs() = std::move(handler);
}

qint32 ShowAccessibleDialog(qint32 kind, const QString& text, bool wait, qint32 windowCode)
{
    const qint32 base = windowCode > 0 ? 26 : 8;
    gDialogForm = nullptr;
    if (kind < 0 || kind == 6 || kind == 7 || kind > 15)
        return -1;
    if (kind >= 8) {
        if (!FileDialogs())
            return -1;
        return FileDialogs()(kind, text, FileDialogCode(kind));
    }
    const qint32 ownCode = kind <= 1 ? 6 : (kind <= 3 ? 7 : 8);
    const qint32 code = base * 100 + (windowCode > 0 ? windowCode : ownCode);
    auto* parent = qobject_cast<QWidget*>(gMainWindow);
    const QString message = DialogField(text, 1);
    const QString caption = DialogField(text, 2);
    if (kind >= 4) {
        auto form = std::make_unique<frmMsg3>(parent);
        SetWindowCode(form.get(), code);
        form->SetMessage(message, caption);
        return RunAccessibleDialog(std::move(form));
    }
    auto form = std::make_unique<frmMsg12>(parent);
    SetWindowCode(form.get(), code);
    form->SetMessage(message, caption);
    if (kind <= 1) {
        form->cmdNo->setEnabled(false);
        form->cmdNo->hide();
        form->cmdYes->setText(form->OkCaption());
    }
    if (wait)
        form->VoiceWait();
    return RunAccessibleDialog(std::move(form));
}
