#include "mFitToScreen.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

QScrollArea* NewScrollArea(QDialog* dialog)
{
    auto* scroll = new QScrollArea(dialog);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("picPage"));
    scroll->setWidget(page);
    return scroll;
}

QScrollArea* NewScrollingPage(QDialog* dialog)
{
    QScrollArea* scroll = NewScrollArea(dialog);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    return scroll;
}

void FitToScreen(QDialog* dialog, QScrollArea* page, int width, int height)
{
    dialog->ensurePolished();
    // A page taller than the screen is given only its least height, and a list's least
    // height is less than one entry at a large font: the current entry would show cut.
    for (QAbstractItemView* list : page->findChildren<QAbstractItemView*>()) {
        const int entry = list->window() == dialog ? list->sizeHintForRow(0) : -1;
        if (entry <= 0)
            continue;
        const int bar = list->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff
                            ? 0
                            : dialog->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        list->setMinimumHeight(std::max(list->minimumHeight(), entry + 2 * list->frameWidth() + bar));
    }
    QSize wanted = dialog->sizeHint();
    if (QWidget* content = page->widget()) {
        // The dialog's own hint counts the page at the scroll area's small hint.
        const QSize extra = content->sizeHint() - page->sizeHint();
        const int bar = dialog->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        wanted += QSize(std::max(0, extra.width()) + bar, std::max(0, extra.height()) + bar);
    }
    wanted.setWidth(std::max(wanted.width(), width));
    if (width > 0 && page->widget() && page->widget()->hasHeightForWidth()) {
        // Wrapped texts are less tall at the wider width.
        const int inner = width - (dialog->sizeHint().width() - page->sizeHint().width());
        wanted.setHeight(dialog->sizeHint().height() - page->sizeHint().height()
                         + page->widget()->heightForWidth(std::max(inner, 1)));
    }
    wanted.setHeight(std::max(wanted.height(), height));
    const QScreen* screen = dialog->screen();
    if (screen)
        wanted = wanted.boundedTo(screen->availableGeometry().size() * 0.9);
    dialog->resize(wanted);
}
