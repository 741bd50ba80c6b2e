#include "VoiceTestSupport.h"

#include "frmMsg12.h"
#include "frmMsg3.h"
#include "mPrepareForm.h"
#include "sMain.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TEST(ColourTest, NumbersAndSystemColours)
{
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    palette.setColor(QPalette::ButtonText, QColor(4, 5, 6));
    palette.setColor(QPalette::Base, QColor(7, 8, 9));
    palette.setColor(QPalette::Text, QColor(10, 11, 12));
    struct Case {
        quint32 number;
        QColor expected;
    } cases[] = {
        {0x000000FF, QColor(255, 0, 0)},   {0x0000FF00, QColor(0, 255, 0)}, {0x00FF0000, QColor(0, 0, 255)},
        {0x0000FFFF, QColor(255, 255, 0)}, {0x8000000F, QColor(1, 2, 3)},   {0x80000012, QColor(4, 5, 6)},
        {0x80000005, QColor(7, 8, 9)},     {0x80000008, QColor(10, 11, 12)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColourFromNumber(qint32(c.number), palette), c.expected) << std::hex << c.number;
}

namespace {

struct Form {
    QWidget window;
    QLabel* label;
    QGroupBox* frame;
    QLineEdit* text;
    QListWidget* list;
    QPushButton* button;
    QWidget* picture;

    Form()
    {
        window.setObjectName(QStringLiteral("frmTest"));
        auto* layout = new QVBoxLayout(&window);
        label = new QLabel(QStringLiteral("&Jméno"), &window);
        label->setObjectName(QStringLiteral("lblName"));
        frame = new QGroupBox(&window);
        frame->setObjectName(QStringLiteral("Frame1"));
        auto* inner = new QVBoxLayout(frame);
        text = new QLineEdit(frame);
        text->setObjectName(QStringLiteral("txtName"));
        inner->addWidget(text);
        list = new QListWidget(&window);
        list->setObjectName(QStringLiteral("lstField"));
        button = new QPushButton(QStringLiteral("OK"), &window);
        button->setObjectName(QStringLiteral("cmdOK"));
        picture = new QWidget(&window);
        picture->setObjectName(QStringLiteral("picUp"));
        for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(frame), static_cast<QWidget*>(list),
                           static_cast<QWidget*>(button), picture})
            layout->addWidget(w);
    }
};

} // namespace

TEST(PrepareFormTest, LabelsFramesAndPicturesTakeTheFormColours)
{
    Form form;
    const qint32 red = 0x0000FF, white = 0xFFFFFF;
    ApplyColoursToForm(&form.window, qint32(0x80000012), qint32(0x8000000F), red, white);
    const QPalette app = QApplication::palette();
    const QColor formFore = app.color(QPalette::ButtonText), formBack = app.color(QPalette::Button);
    EXPECT_EQ(form.window.palette().color(QPalette::Window), formBack);
    for (QWidget* surface : {static_cast<QWidget*>(form.label), static_cast<QWidget*>(form.frame), form.picture}) {
        EXPECT_EQ(surface->palette().color(QPalette::WindowText), formFore) << surface->objectName().toStdString();
        EXPECT_EQ(surface->palette().color(QPalette::Window), formBack) << surface->objectName().toStdString();
    }
    for (QWidget* control : {static_cast<QWidget*>(form.text), static_cast<QWidget*>(form.list),
                             static_cast<QWidget*>(form.button)}) {
        EXPECT_EQ(control->palette().color(QPalette::Text), QColor(Qt::red)) << control->objectName().toStdString();
        EXPECT_EQ(control->palette().color(QPalette::Base), QColor(Qt::white)) << control->objectName().toStdString();
        EXPECT_EQ(control->palette().color(QPalette::ButtonText), QColor(Qt::red));
    }
    // The list's inner parts follow the list.
    EXPECT_EQ(form.list->viewport()->palette().color(QPalette::Base), QColor(Qt::white));
}

TEST(PrepareFormTest, EveryControlTakesTheFont)
{
    Form form;
    QFont zoomed = form.text->font();
    zoomed.setPointSize(60);
    form.text->setFont(zoomed);
    cStdFont font;
    font.Name = QStringLiteral("DejaVu Sans");
    font.Size = 18;
    font.Bold = true;
    ApplyFontToForm(&form.window, font);
    for (QWidget* widget : {&form.window, static_cast<QWidget*>(form.label), static_cast<QWidget*>(form.text),
                            static_cast<QWidget*>(form.list), static_cast<QWidget*>(form.button)}) {
        EXPECT_EQ(widget->font().family(), QStringLiteral("DejaVu Sans"));
        EXPECT_EQ(widget->font().pointSizeF(), 18);
        EXPECT_TRUE(widget->font().bold());
    }
}

TEST(MessageColoursTest, MessageTakesTheControlColoursButNeverVanishes)
{
    const qint32 savedFore = gForeColor, savedBack = gBackColor;
    gForeColor = 0x00FFFF; // yellow
    gBackColor = 0;
    {
        frmMsg12 box;
        EXPECT_EQ(box.txtMessage->palette().color(QPalette::Text), QColor(Qt::yellow));
        EXPECT_EQ(box.txtMessage->palette().color(QPalette::Base), QColor(Qt::black));
        EXPECT_EQ(box.palette().color(QPalette::Window), QColor(Qt::black));
    }
    gForeColor = gBackColor = 0; // before the preferences are read
    {
        frmMsg3 box;
        EXPECT_NE(box.txtMessage->palette().color(QPalette::Text), box.txtMessage->palette().color(QPalette::Base));
    }
    gForeColor = savedFore;
    gBackColor = savedBack;
}
