#include "dialogs/CDlgMsgBox.h"
#include "dialogs/CDlgMsgQuestion.h"
#include "dialogs/QDlgKeyNum.h"
#include "dialogs/QDlgKeyText.h"

#include "support/TestProgramDir.h"

#include <QDir>
#include <QFontMetrics>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <map>

namespace {
// Keys a finger can hit on the smallest screen the controller comes with.
const int kMinKeyWidth = 80;
const int kMinKeyHeight = 50;
const int kTolerance = 1; // pixels of rounding in the grid layout

/// Shows keypad at size, saves its picture under the build tree and checks
/// that the keys sit in a regular grid, large enough and with their captions in full.
void CheckLayout(QDialog &keypad, const QSize &size, const QString &picture)
{
    keypad.setFixedSize(size);
    keypad.show();
    QVERIFY(QTest::qWaitForWindowExposed(&keypad));
    keypad.layout()->activate();
    QCOMPARE(keypad.size(), size);

    const QImage image = keypad.grab().toImage();
    const QString path = QDir::current().filePath(picture);
    QVERIFY(image.save(path));
    qInfo("picture: %s", qPrintable(path));

    std::map<int, QList<QToolButton *>> rows; // by top edge
    QSize keySize;
    for (QToolButton *key : keypad.findChildren<QToolButton *>()) {
        if (key->isHidden())
            continue;
        const QRect g = key->geometry();
        QVERIFY2(keypad.rect().contains(g), qPrintable(key->objectName()));
        QVERIFY2(g.width() >= kMinKeyWidth && g.height() >= kMinKeyHeight,
                 qPrintable(QStringLiteral("%1 is %2 x %3").arg(key->objectName()).arg(g.width()).arg(g.height())));
        if (!keySize.isValid())
            keySize = g.size();
        QVERIFY2(qAbs(g.width() - keySize.width()) <= kTolerance && qAbs(g.height() - keySize.height()) <= kTolerance,
                 qPrintable(key->objectName()));
        // The caption fits inside the borders.
        const QFontMetrics fm(key->font());
        QVERIFY2(fm.horizontalAdvance(key->text().trimmed()) < g.width() - 4,
                 qPrintable(QStringLiteral("caption of %1 is cut").arg(key->objectName())));
        QVERIFY2(fm.height() <= g.height(), qPrintable(key->objectName()));
        rows[g.top()] << key;
    }
    // Even spacing: the same gap between neighbours along every row and between rows.
    int gap = -1;
    for (auto &[top, keys] : rows) {
        std::sort(keys.begin(), keys.end(), [](QToolButton *a, QToolButton *b) { return a->x() < b->x(); });
        for (int i = 1; i < keys.size(); ++i) {
            const int g = keys[i]->x() - keys[i - 1]->geometry().right();
            if (gap < 0)
                gap = g;
            QVERIFY2(qAbs(g - gap) <= kTolerance, qPrintable(keys[i]->objectName()));
        }
    }
    int previousBottom = -1;
    for (const auto &[top, keys] : rows) {
        if (previousBottom >= 0)
            QVERIFY(qAbs(top - previousBottom - gap) <= kTolerance);
        previousBottom = keys.first()->geometry().bottom();
    }
    // The entry line keeps the typed text legible.
    auto *entry = keypad.findChild<QLineEdit *>(QStringLiteral("editValue"));
    QVERIFY(entry->height() >= QFontMetrics(entry->font()).height());
}
} // namespace

class TestKeypadLook : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<TestProgramDir>(); }
    void cleanup() { m_dir.reset(); }

    void keypads_data();
    void keypads();
    void messageWindows();

private:
    std::unique_ptr<TestProgramDir> m_dir;
};

void TestKeypadLook::keypads_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QSize>("size");
    for (const QSize size : {QSize(800, 480), QSize(1024, 600)}) {
        const QString s = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        QTest::newRow(qPrintable(QStringLiteral("text ") + s)) << 0 << size;
        QTest::newRow(qPrintable(QStringLiteral("number ") + s)) << 1 << size;
        QTest::newRow(qPrintable(QStringLiteral("choice ") + s)) << 2 << size;
    }
}

void TestKeypadLook::keypads()
{
    QFETCH(int, which);
    QFETCH(QSize, size);
    const QString suffix = QStringLiteral("_%1x%2.png").arg(size.width()).arg(size.height());
    if (which == 0) {
        QDlgKeyText k(QStringLiteral("保存文件名:"), QStringLiteral("SHOT01"), 8);
        CheckLayout(k, size, QStringLiteral("keytext") + suffix);
    } else if (which == 1) {
        QDlgKeyNum k(QStringLiteral("偏移距(m):"), 4.0f, 1, 0.0f, 500.0f);
        CheckLayout(k, size, QStringLiteral("keynum") + suffix);
    } else {
        QDlgKeyNum k(QStringLiteral("通道显示数量:"), QStringLiteral("24"));
        k.SetChoices(QStringLiteral("24"), QStringLiteral("12"), QStringLiteral("6"));
        CheckLayout(k, size, QStringLiteral("keychoice") + suffix);
    }
}

void TestKeypadLook::messageWindows()
{
    CDlgMsgBox box(QStringLiteral("输入范围有误,请输入0.0到500.0之间的值(包含0.0和500.0)!"));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY(box.grab().save(QDir::current().filePath(QStringLiteral("msgbox.png"))));
    auto *label = box.findChild<QLabel *>(QStringLiteral("labelMsg"));
    // A wrapped message needs more than one line of height.
    QVERIFY(label->height() >= label->heightForWidth(label->width()) || !label->wordWrap());
    QVERIFY(box.rect().contains(box.findChild<QPushButton *>(QStringLiteral("BtnOK"))->geometry()));

    CDlgMsgQuestion q(QString{});
    q.SetTexts(QStringLiteral("消息"), QStringLiteral("是否进行通道锁道选择？"), QStringLiteral("选择通道"),
               QStringLiteral("直接叠加"), QString());
    q.show();
    QVERIFY(QTest::qWaitForWindowExposed(&q));
    QVERIFY(q.grab().save(QDir::current().filePath(QStringLiteral("question.png"))));
    auto *question = q.findChild<QLabel *>(QStringLiteral("LBShow"));
    QVERIFY(question->width() >= question->sizeHint().width());
}

QTEST_MAIN(TestKeypadLook)
#include "tst_keypadlook.moc"
