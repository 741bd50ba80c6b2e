#include "cFieldRows.h"

#include "mAccessibleFactory.h"
#include "mPrepareForm.h"

#include <QAccessibleWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <algorithm>

namespace {

const char* const kDecoration = "quarnelDecoration";

void MarkDecoration(QWidget* control)
{
    control->setProperty(kDecoration, true);
}

class cSurfaceAccessible : public QAccessibleWidget {
public:
    explicit cSurfaceAccessible(QWidget* surface) : QAccessibleWidget(surface) {}

    int childCount() const override { return int(Readable().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> readable = Readable();
        return index >= 0 && index < readable.size() ? QAccessible::queryAccessibleInterface(readable.at(index)) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? int(Readable().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
    }

private:
    QList<QWidget*> Readable() const
    {
        QList<QWidget*> readable;
        for (QObject* object : widget()->children())
            if (auto* control = qobject_cast<QWidget*>(object);
                control && !control->isWindow() && !control->property(kDecoration).toBool())
                readable.append(control);
        return readable;
    }
};

} // namespace

cFieldSurface::cFieldSurface(QWidget* parent) : QWidget(parent)
{
    InstallAccessibleFactory<cFieldSurface, cSurfaceAccessible>();
}

void cFieldRows::CreateTemplates(QWidget* surface, QLineEdit* box)
{
    auto* label = new QLabel(QStringLiteral("Label"), surface);
    label->setObjectName(QStringLiteral("Label0"));
    label->hide();
    auto* frame = new QGroupBox(QStringLiteral("Frame"), surface);
    frame->setObjectName(QStringLiteral("Frame0"));
    frame->hide();
    box->setObjectName(QStringLiteral("Text0"));
    box->setAccessibleName(QStringLiteral("Pole"));
    box->hide();
    for (QWidget* control : {static_cast<QWidget*>(label), static_cast<QWidget*>(frame), static_cast<QWidget*>(box)})
        MarkDecoration(control);
    Label = {label};
    Frame = {frame};
    Text = {box};
}

void cFieldRows::AddRow(QWidget* surface, const QString& caption, QLineEdit* box, const QFont& font)
{
    const int i = int(Text.size());
    auto* label = new QLabel(caption, surface);
    label->setObjectName(QStringLiteral("Label%1").arg(i));
    auto* frame = new QGroupBox(caption, surface);
    frame->setObjectName(QStringLiteral("Frame%1").arg(i));
    MarkDecoration(frame);
    box->setObjectName(QStringLiteral("Text%1").arg(i));
    box->setAccessibleName(caption);
    label->setBuddy(box);
    for (QWidget* control : {static_cast<QWidget*>(label), static_cast<QWidget*>(frame), static_cast<QWidget*>(box)}) {
        control->setFont(font);
        control->hide();
    }
    frame->setPalette(Frame[0]->palette());
    label->setPalette(Label[0]->palette());
    box->setPalette(Text[0]->palette());
    box->setAutoFillBackground(true);
    frame->adjustSize();
    frame->move(-frame->width(), -frame->height());
    if (i > 1)
        QWidget::setTabOrder(Text.last(), box);
    Label.append(label);
    Frame.append(frame);
    Text.append(box);
}

void cFieldRows::Clear()
{
    while (Text.size() > 1) {
        delete Text.takeLast();
        delete Label.takeLast();
        delete Frame.takeLast();
    }
}

QSize cFieldRows::Layout(int width) const
{
    const int n = Count();
    const int margin = TwipsToPixels(Text[0], 75);
    const int h = std::max(Label[0]->sizeHint().height(), Text[0]->sizeHint().height());
    int w = 0;
    for (int i = 1; i <= n; ++i)
        w = std::max(w, Label[i]->sizeHint().width());
    const int x = w + 2 * margin;
    const int boxWidth = width - x - margin;
    for (int i = 1; i <= n; ++i) {
        const int top = margin * i + (i - 1) * h;
        const int labelHeight = Label[i]->sizeHint().height();
        Label[i]->setGeometry(margin, top + (h - labelHeight) / 2, Label[i]->sizeHint().width(), labelHeight);
        Frame[i]->move(-Frame[i]->width(), -Frame[i]->height());
        const int textHeight = Text[i]->sizeHint().height();
        if (boxWidth > 0)
            Text[i]->setGeometry(x, top + (h - textHeight) / 2, boxWidth, textHeight);
        Text[i]->raise();
        Frame[i]->raise();
        Label[i]->raise();
    }
    return {x + std::max(boxWidth, 0) + margin, n > 0 ? margin * (n + 1) + n * h : 0};
}
