#include "ModalWatchdog.h"

#include "mLongWork.h"
#include "mNames.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

// What a box shows a reader: its caption, its texts and its buttons.
QString Describe(QWidget* box)
{
    QStringList texts;
    const auto add = [&texts](const QString& text) {
        if (!text.trimmed().isEmpty() && !texts.contains(text))
            texts << text;
    };
    for (QWidget* child : box->findChildren<QWidget*>()) {
        if (!child->isVisible())
            continue;
        if (auto* label = qobject_cast<QLabel*>(child))
            add(label->text());
        else if (auto* plain = qobject_cast<QPlainTextEdit*>(child))
            add(plain->toPlainText());
        else if (auto* rich = qobject_cast<QTextEdit*>(child))
            add(rich->toPlainText());
        else if (auto* line = qobject_cast<QLineEdit*>(child))
            add(line->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(child))
            add(u'[' + button->text() + u']');
    }
    return QStringLiteral("%1 \"%2\" (%3): %4")
        .arg(QString::fromLatin1(box->metaObject()->className()), box->windowTitle(), box->objectName(),
             texts.join(QStringLiteral(" | ")));
}

// The last things said, when the test hears the program through a voice log.
QString LastSpoken()
{
    const QString voice = qEnvironmentVariable("QUARNEL_VOICE");
    if (!voice.startsWith(QLatin1String("log:")))
        return QStringLiteral("(no voice log)");
    QFile file(voice.mid(4));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(nothing said)");
    QStringList said;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
        if (line.startsWith(QLatin1String("Voice\t")))
            said << line.mid(6).replace(u'\t', u' ');
    return said.mid(std::max<qsizetype>(0, said.size() - 5)).join(QStringLiteral(" | "));
}

void Close(QWidget* box)
{
    auto* dialog = qobject_cast<QDialog*>(box);
    if (!dialog) {
        box->close();
        return;
    }
    dialog->reject();
    // A box that keeps itself open against Escape still has to let the test go on.
    if (dialog->isVisible())
        dialog->done(QDialog::Rejected);
}

class EveryTest final : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { m_watchdog = std::make_unique<ModalWatchdog>(); }
    void OnTestEnd(const ::testing::TestInfo&) override { m_watchdog.reset(); }

    std::unique_ptr<ModalWatchdog> m_watchdog;
};

} // namespace

ModalWatchdog::ModalWatchdog(int patienceMs) : m_patienceMs(patienceMs), m_timer(new QTimer(this))
{
    qApp->installEventFilter(this);
    connect(m_timer, &QTimer::timeout, this, &ModalWatchdog::Look);
    m_timer->start(std::clamp(patienceMs / 10, 10, 500));
}

ModalWatchdog::~ModalWatchdog()
{
    qApp->removeEventFilter(this);
}

bool ModalWatchdog::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
        m_since = SteadyMs();
        break;
    default:
        break;
    }
    return false;
}

void ModalWatchdog::Look()
{
    QWidget* box = QApplication::activeModalWidget();
    // Long work keeps the box up while it runs; that is waiting for the work, not the user.
    if (box != m_box || LongWorkRunning()) {
        m_box = box;
        m_since = SteadyMs();
        return;
    }
    if (!box || !box->isVisible() || SteadyMs() - m_since < m_patienceMs)
        return;
    ADD_FAILURE() << "nobody answered the modal box " << Describe(box).toStdString()
                  << "; last spoken: " << LastSpoken().toStdString();
    m_since = SteadyMs();
    Close(box);
}

void WatchEveryTestForUnansweredBoxes()
{
    ::testing::UnitTest::GetInstance()->listeners().Append(new EveryTest);
}
