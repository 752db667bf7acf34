// The text question of the message seam: the real box the program shows (its prompt, preset
// text and limit; OK gives the text, Cancel nothing) and the recorder the window tests answer from.
#include "core/messages.h"
#include "core/ui/uikit.h"
#include "testsupport.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

using namespace qh;

class TstTextQuestion : public QObject {
    Q_OBJECT

private slots:
    void realBoxAnswers_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("answer"); // "(none)": cancelled
        QTest::newRow("typed, OK") << true << "桂枝加葛根汤一二三" << "桂枝加葛根汤一二"; // cut at 8
        QTest::newRow("nothing typed, OK") << true << "" << "预设";
        QTest::newRow("cancelled") << false << "桂枝汤" << "(none)";
    }
    void realBoxAnswers()
    {
        QFETCH(bool, accept);
        QFETCH(QString, typed);
        QFETCH(QString, answer);
        ui::installDialogPresenters();
        QString prompt, title;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            prompt = box->labelText();
            auto *line = box->findChild<QLineEdit *>();
            if (!typed.isEmpty()) {
                line->selectAll();
                line->insert(typed); // as an input method commits it
            }
            accept ? box->accept() : box->reject();
        });
        const std::optional<QString> got =
            msg::askText({QStringLiteral("请输入协定方名称："), QStringLiteral("存为协定方"), QStringLiteral("预设"), 8});
        setMessagePresenter(nullptr);
        QCOMPARE(title, QStringLiteral("存为协定方"));
        QCOMPARE(prompt, QStringLiteral("请输入协定方名称："));
        QCOMPARE(got.value_or(QStringLiteral("(none)")), answer);
    }

    void withoutPresenterNothingIsAnswered()
    {
        setMessagePresenter(nullptr);
        QVERIFY(!msg::askText({QStringLiteral("名称："), QString()}));
    }

    void recorderAnswersInTurnThenCancels()
    {
        test::RecordingMessages rec;
        rec.textAnswers = {QStringLiteral("甲"), std::nullopt};
        QCOMPARE(msg::askText({QStringLiteral("一"), QString()}).value_or(QString()), QStringLiteral("甲"));
        QVERIFY(!msg::askText({QStringLiteral("二"), QString()}));
        QVERIFY(!msg::askText({QStringLiteral("三"), QString()}));
        QCOMPARE(rec.asked.size(), size_t(3));
        QCOMPARE(rec.asked.back().text, QStringLiteral("三"));
        QVERIFY(rec.shown.empty()); // a text question is no message
    }
};

QTEST_MAIN(TstTextQuestion)
#include "tst_textquestion.moc"
