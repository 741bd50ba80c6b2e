#include "ApplicationHarness.h"

#include "cRecordList.h"
#include "fApplication.h"

#include <QApplication>
#include <QLineEdit>

namespace {

class ReadRecordTest : public ApplicationTest {
protected:
    QStringList ReadAloud() const
    {
        Clear();
        Press(Qt::Key_R, Qt::ControlModifier);
        QApplication::processEvents();
        return Spoken();
    }
};

} // namespace

// Ctrl+R says the whole record with its captions, in the grid and in the form, an empty
// value as empty; the fields left out of the view are left out of the reading.
TEST_F(ReadRecordTest, CtrlRReadsTheWholeRecordWithItsCaptions)
{
    ASSERT_TRUE(Open(MakeDatabase(QStringLiteral("lide.mdb"), QString::fromUtf8(kPeopleScript))));
    m_window->list->setFocus();
    Press(Qt::Key_End); // Adam, of no age
    EXPECT_EQ(ReadAloud(), QStringList(QStringLiteral("2 0 Jméno: Adam, Obec: Brno, Věk: prázdné")));
    Press(Qt::Key_F12);
    ASSERT_TRUE(m_window->IsFormView());
    Press(Qt::Key_Tab);
    EXPECT_EQ(ReadAloud(), QStringList(QStringLiteral("2 0 Jméno: Adam, Obec: Brno, Věk: prázdné")));
    EXPECT_EQ(Focus(), static_cast<QWidget*>(m_window->Text[2])) << "reading moves nothing";
}
