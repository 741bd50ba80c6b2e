#include "VoiceTestSupport.h"

#include "modDialogs.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

using PushButtonsTest = VoiceLogTest;

// The captions said on focus, in order.
QStringList FocusCaptions(const QList<QStringList>& calls)
{
    QStringList captions;
    for (const QStringList& call : calls)
        captions << call.value(1);
    return captions;
}

} // namespace

TEST_F(PushButtonsTest, EnterOnAButtonThatIsNoDefaultPressesThatButton)
{
    // A Storno that never becomes the default, as a form may make it: Enter on it is still
    // Storno, and Enter in the box is still the default OK.
    QDialog form;
    auto* box = new QLineEdit(&form);
    auto* ok = new QPushButton(QStringLiteral("OK"), &form);
    auto* cancel = new QPushButton(QStringLiteral("&Storno"), &form);
    ok->setDefault(true);
    cancel->setAutoDefault(false);
    auto* layout = new QHBoxLayout(&form);
    for (QWidget* control : {static_cast<QWidget*>(box), static_cast<QWidget*>(ok), static_cast<QWidget*>(cancel)})
        layout->addWidget(control);
    QObject::connect(ok, &QPushButton::clicked, &form, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &form, &QDialog::reject);

    QStringList said;
    WhenModal([&](QDialog* dialog) {
        Clear();
        PressInDialog(dialog, Qt::Key_Tab);
        PressInDialog(dialog, Qt::Key_Tab);
        said = FocusCaptions(Calls(QStringLiteral("FocusVoice")));
        PressInDialog(dialog, Qt::Key_Enter, Qt::KeypadModifier);
    });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_EQ(said, QStringList({QStringLiteral("OK"), QStringLiteral("Storno")}));

    WhenModal([](QDialog* dialog) { PressInDialog(dialog, Qt::Key_Return); });
    box->setFocus();
    EXPECT_EQ(form.exec(), QDialog::Accepted);
}

TEST_F(PushButtonsTest, EachButtonOfAMessageBoxIsSaidAndEnterPressesIt)
{
    struct Case {
        qint32 kind;
        QStringList buttons;
        QList<qint32> answers; // by Enter on each button in turn
    } cases[] = {
        {DialogKind::YesNo, {QStringLiteral("Ano"), QStringLiteral("Ne")}, {1, 0}},
        {DialogKind::YesNoCancel, {QStringLiteral("Ano"), QStringLiteral("Ne"), QStringLiteral("Storno")}, {1, 0, -1}},
    };
    for (const Case& c : cases) {
        for (int button = 0; button < c.buttons.size(); ++button) {
            QStringList said;
            WhenModal([&](QDialog* dialog) {
                Clear();
                for (int i = 0; i <= button; ++i)
                    PressInDialog(dialog, Qt::Key_Tab);
                said = FocusCaptions(Calls(QStringLiteral("FocusVoice")));
                PressInDialog(dialog, Qt::Key_Return);
            });
            EXPECT_EQ(ShowAccessibleDialog(c.kind, QStringLiteral("Uložit?|Konec")), c.answers[button])
                << c.kind << ' ' << button;
            EXPECT_EQ(said, c.buttons.mid(0, button + 1)) << c.kind;
        }
    }
}
