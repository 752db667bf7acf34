// The window kit's shared pieces: the refusal type, the one helper that shows a refusal and
// moves the focus, and the guards for the busy pointer, the menus and disabled widgets.
#include "core/refusal.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "testsupport.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QAbstractButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtTest>

#include <optional>
#include <stdexcept>

using namespace qh;

namespace {

enum class Box { First, Second };

// A window with two boxes (and so with children of several kinds) that may refuse to close.
class TwoBoxes : public QWidget {
public:
    QLineEdit *first = new QLineEdit(this);
    QLineEdit *second = new QLineEdit(this);
    bool refuseClose = false;

    TwoBoxes()
    {
        auto *lay = new QVBoxLayout(this);
        lay->addWidget(first);
        lay->addWidget(second);
    }

protected:
    void closeEvent(QCloseEvent *e) override
    {
        if (refuseClose)
            e->ignore();
        else
            e->accept();
    }
};

// Counts how often the menus are switched on and off.
struct MenuSwitches {
    int on = 0, off = 0;
    MenuSwitches()
    {
        ui::setMainMenuSwitch([this](bool enabled) { ++(enabled ? on : off); });
    }
    ~MenuSwitches() { ui::setMainMenuSwitch({}); }
};

void activate(QWidget *w)
{
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
}

} // namespace

class TstUiKit : public QObject {
    Q_OBJECT

private slots:
    // The real message boxes carry the title they are given, exactly: an empty one stays empty
    // (it was a blank, which the window system showed with the program's name after it).
    void messageBoxTitlesAreExact_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("empty") << QString();
        QTest::newRow("given") << QStringLiteral("登录");
    }

    void messageBoxTitlesAreExact()
    {
        QFETCH(QString, title);
        qh::ui::installDialogPresenters();
        QString seen = QStringLiteral("(no box)");
        QTimer::singleShot(0, [&seen] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen = box->windowTitle();
                box->accept();
            }
        });
        qh::msg::info(QStringLiteral("无效的密码，再试一次！"), title);
        QCOMPARE(seen, title);
        qh::setMessagePresenter(nullptr);
    }

    void refusalCarriesWhatTheWindowNeeds()
    {
        Refusal<Box> r = refusal(QStringLiteral("请输入"), Box::Second, Select::head(10));
        QCOMPARE(r.message, QStringLiteral("请输入"));
        QCOMPARE(r.field, Box::Second);
        QCOMPARE(r.select, Select::head(10));
        QCOMPARE(r.icon, MsgIcon::Information);
        QVERIFY(r.title.isEmpty());
        QVERIFY(!r.clearOthers);
        r.withIcon(MsgIcon::None).selecting(Select::end()).clearing();
        QCOMPARE(r.icon, MsgIcon::None);
        QCOMPARE(r.select, Select::end());
        QVERIFY(r.clearOthers);
        QVERIFY(Select::head(3) != Select::head(4));
        QVERIFY(Select::all() != Select::none());
    }

    // The message through the seam (nothing for an empty one), then the focus and the
    // selection as asked, the box's tab page brought forward first.
    void refuseShowsFocusesAndSelects_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("cursor");
        QTest::newRow("all") << "请输入" << int(Select::All) << 0 << "2024-06-15" << 10;
        QTest::newRow("head") << "请输入" << int(Select::Head) << 4 << "2024" << 4;
        QTest::newRow("end, no message") << "" << int(Select::End) << 0 << "" << 10;
        QTest::newRow("none") << "请输入" << int(Select::None) << 0 << "" << 3;
    }

    void refuseShowsFocusesAndSelects()
    {
        QFETCH(QString, message);
        QFETCH(int, kind);
        QFETCH(int, count);
        QFETCH(QString, selected);
        QFETCH(int, cursor);
        test::RecordingMessages rec;
        QTabWidget tabs;
        auto *page = new TwoBoxes;
        tabs.addTab(new QWidget, QStringLiteral("一"));
        tabs.addTab(page, QStringLiteral("二"));
        activate(&tabs);
        page->second->setText(QStringLiteral("2024-06-15"));
        page->second->setCursorPosition(3);
        QCOMPARE(tabs.currentIndex(), 0);

        ui::refuse(refusal(message, Box::Second, Select{Select::Kind(kind), count}).withIcon(MsgIcon::Question),
                   page->second);
        QCOMPARE(rec.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty())
            QCOMPARE(rec.shown[0].icon, MsgIcon::Question);
        QCOMPARE(tabs.currentIndex(), 1);
        QCOMPARE(QApplication::focusWidget(), page->second);
        QCOMPARE(page->second->selectedText(), selected);
        QCOMPARE(page->second->cursorPosition(), cursor);
    }

    // A focus set while another window (a message box) is active arrives only when the window
    // is active again; the selection is applied again then, whatever the box's own focus
    // handling did to it meanwhile, so typed text replaces the preset value.
    void selectionSurvivesAMessageBox()
    {
        TwoBoxes w;
        activate(&w);
        w.first->setFocus();
        w.second->setText(QStringLiteral("72"));
        QWidget box;
        activate(&box); // the message box is up

        ui::focusAndSelect(w.second, Select::all());
        QVERIFY(!w.second->hasFocus());
        w.second->deselect(); // what a box's focus handling may do before the focus arrives
        box.hide();
        activate(&w);
        QCOMPARE(QApplication::focusWidget(), w.second);
        QTRY_COMPARE(w.second->selectedText(), QStringLiteral("72"));
        QTest::keyClicks(w.second, QStringLiteral("80"));
        QCOMPARE(w.second->text(), QStringLiteral("80"));
    }

    void busyPointerNestsAndRestores()
    {
        ui::setMousePointer(ui::PointerArrow);
        {
            ui::BusyPointer outer;
            QCOMPARE(ui::mousePointer(), ui::PointerBusy);
            QVERIFY(QGuiApplication::overrideCursor());
            {
                ui::BusyPointer inner;
                QCOMPARE(ui::mousePointer(), ui::PointerBusy);
            }
            // The inner span gives back the outer one's busy pointer, not the arrow.
            QCOMPARE(ui::mousePointer(), ui::PointerBusy);
            QVERIFY(QGuiApplication::overrideCursor());
            outer.reset();
            QCOMPARE(ui::mousePointer(), ui::PointerArrow);
            QVERIFY(!QGuiApplication::overrideCursor());
            ui::setMousePointer(ui::PointerBusy); // a later change is not undone by the reset guard
        }
        QCOMPARE(ui::mousePointer(), ui::PointerBusy);
        ui::setMousePointer(ui::PointerArrow);
        try {
            ui::BusyPointer busy;
            throw std::runtime_error("failed");
        } catch (const std::runtime_error &) {
        }
        QCOMPARE(ui::mousePointer(), ui::PointerArrow);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void programEndIsKeptPerApplication()
    {
        ui::resetProgramEnded();
        QVERIFY(!ui::programEnded());
        ui::endProgram();
        QVERIFY(ui::programEnded());
        ui::resetProgramEnded();
        QVERIFY(!ui::programEnded());
    }

    // Whatever closes a task window gives the menus back exactly once.
    void menusComeBackExactlyOnce()
    {
        MenuSwitches sw;
        { // the window could not be made: back when the guard goes
            ui::MenusOff menus;
            QCOMPARE(sw.off, 1);
        }
        QCOMPARE(sw.on, 1);

        auto *w = new TwoBoxes;
        {
            ui::MenusOff menus;
            menus.attachTo(w);
        }
        QCOMPARE(sw.on, 1); // the window holds the duty now
        activate(w);
        w->refuseClose = true;
        QVERIFY(!w->close());
        QCOMPARE(sw.on, 1); // a refused close gives nothing back
        QApplication::processEvents();
        w->hide();
        QCOMPARE(sw.on, 1); // nor does a later hide without a close
        w->show();
        w->refuseClose = false;
        QVERIFY(w->close());
        QCOMPARE(sw.on, 2);
        w->show();
        QVERIFY(w->close());
        delete w;
        QCOMPARE(sw.on, 2);
    }

    void menusComeBackWhenTheFrameCloses()
    {
        MenuSwitches sw;
        QMdiArea area;
        activate(&area);
        auto *w = new TwoBoxes;
        ui::MenusOff menus;
        menus.attachTo(w);
        QMdiSubWindow *sub = area.addSubWindow(w);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->show();
        QPointer<TwoBoxes> alive(w);
        sub->close();
        QTRY_VERIFY(alive.isNull());
        QCOMPARE(sw.on, 1);
    }

    void menusStayOffWhenAsked()
    {
        MenuSwitches sw;
        {
            ui::MenusOff menus;
            menus.keepOff();
        }
        auto *w = new TwoBoxes;
        {
            ui::MenusOff menus;
            menus.attachTo(w);
        }
        ui::keepMenusOffAfter(w);
        activate(w);
        w->close();
        delete w;
        QCOMPARE(sw.off, 2);
        QCOMPARE(sw.on, 0);
    }

    // No message box outgrows a 1024 x 768 screen, however long its text, and its buttons stay
    // inside it, with the details opened too; a text that had to be cut is whole in the details.
    void messageBoxesFitTheSmallestScreen_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("details");
        QTest::addColumn<bool>("question");
        QStringList lines;
        for (int i = 1; i <= 102; ++i)
            lines << QStringLiteral("第%1行：病案号码 A%1 的诊断记录已经存在，不能重复保存。").arg(i);
        QStringList worded;
        for (int i = 0; i < 40; ++i)
            worded << QStringLiteral("the quick brown fox jumps over the lazy dog ").repeated(6);
        QTest::newRow("102 lines") << lines.join(QStringLiteral("\r\n")) << QString() << false;
        QTest::newRow("one line of 20000 letters, no break") << QString(20000, u'W') << QString() << false;
        QTest::newRow("one line of 5000 wide characters") << QString(5000, u'芪') << QString() << false;
        QTest::newRow("40 long lines of words") << worded.join(u'\n') << QString() << false;
        QTest::newRow("question with long details") << lines.join(u'\n') << QString(30000, u'x') << true;
        QTest::newRow("emoji without a break") << QString::fromUtf8("\xF0\xA0\x80\x80").repeated(3000) << QString() << false;
    }
    void messageBoxesFitTheSmallestScreen()
    {
        QFETCH(QString, text);
        QFETCH(QString, details);
        QFETCH(bool, question);
        const Message m{text, QStringLiteral("标题"), question ? MsgIcon::Question : MsgIcon::Information,
                        question ? MsgButtons::YesNo : MsgButtons::Ok, details};
        const std::unique_ptr<QDialog> dialog = ui::messageBox(m);
        auto *box = qobject_cast<QMessageBox *>(dialog.get());
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("标题"));
        QAbstractButton *toggle = nullptr;
        for (QAbstractButton *b : box->buttons())
            if (box->buttonRole(b) == QMessageBox::ActionRole)
                toggle = b;
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box));
        for (bool opened : {false, true}) {
            if (opened) {
                if (!toggle)
                    break;
                QTest::mouseClick(toggle, Qt::LeftButton);
                QApplication::processEvents();
            }
            const QSize size = box->frameGeometry().size().expandedTo(box->sizeHint());
            QVERIFY2(size.width() <= 1024 && size.height() <= 768,
                     qPrintable(QStringLiteral("%1 x %2, details %3").arg(size.width()).arg(size.height()).arg(opened)));
            for (QAbstractButton *b : box->buttons()) {
                const QRect r(b->mapTo(box, QPoint(0, 0)), b->size());
                QVERIFY2(box->rect().contains(r), qPrintable(b->text()));
            }
        }
        QVERIFY2(box->detailedText().contains(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))),
                 "the whole text is not in the details");
        if (!details.isEmpty())
            QVERIFY(box->detailedText().contains(details));
        QVERIFY(box->text().endsWith(BoxCutLine));
        QVERIFY2(toggle, "no details to open");
    }

    void disabledWhileTheGuardLives()
    {
        auto *w = new QLineEdit;
        std::optional<ui::DisabledWhile> off;
        off.emplace(w);
        QVERIFY(!w->isEnabled());
        off.reset();
        QVERIFY(w->isEnabled());
        off.emplace(w);
        delete w; // gone before the guard: nothing to enable, no crash
        off.reset();
    }
};

QTEST_MAIN(TstUiKit)
#include "tst_uikit.moc"
