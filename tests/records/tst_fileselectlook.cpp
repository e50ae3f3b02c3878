#include "browser/FileSelectDlg.h"

#include "ProjectTestUtil.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// Long enough to need shortening at every screen size; the Chinese one is
// wider than any that fits, the Latin one longer.
const QStringList kLongNames{
    QStringLiteral("长江大桥北岸引道路基面波勘察第一测线重复激发记录"),
    QStringLiteral("SURVEY_LINE_0001_REPEATED_SHOT_NUMBER_ONE_FORWARD"),
    QStringLiteral("测线2_LINE2_面波_SURFACE_WAVE_二零二四年九月"),
    QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"),
    QStringLiteral("短名"),
};

const int kFrameSlack = 4; // the button's border on both sides

} // namespace

class TstFileSelectLook : public QObject
{
    Q_OBJECT

private slots:
    void fullPageOfLongNames_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QSize>("size");
        for (const QSize &size : {QSize(800, 480), QSize(1024, 600)})
            for (int mode = 0; mode <= 3; ++mode)
                QTest::addRow("mode %d at %dx%d", mode, size.width(), size.height()) << mode << size;
    }

    // Every caption in full or visibly shortened, nothing outside the
    // window, nothing on top of anything else.
    void fullPageOfLongNames()
    {
        QFETCH(int, mode);
        QFETCH(QSize, size);
        TestProgramDir program;
        ParamSet &params = CurrentParams();
        params.LoadSettings();
        params.Header.ProjectName = kLongNames.first();
        for (const QString &name : kLongNames) {
            QVERIFY(QDir().mkpath(params.DataRoot + "/" + name + ".PRO"));
            QVERIFY(WriteBytes(params.DataRoot + "/" + kLongNames.first() + ".PRO/" + name + ".QDW", "r"));
        }

        FileSelectDlg dlg(mode);
        dlg.setFixedSize(size);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTRY_COMPARE(dlg.size(), size);
        QCoreApplication::processEvents();

        const QImage image = dlg.grab().toImage();
        const QString picture = QDir::current().filePath(QStringLiteral("fileselect-mode%1-%2x%3.png")
                                                             .arg(mode)
                                                             .arg(size.width())
                                                             .arg(size.height()));
        QVERIFY(image.save(picture));
        qInfo("picture: %s", qPrintable(picture));

        QList<QWidget *> shown;
        for (QWidget *w : dlg.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            if (w->isVisible() && (qobject_cast<QPushButton *>(w) || qobject_cast<QLabel *>(w) || qobject_cast<QLineEdit *>(w)))
                shown << w;
        for (QWidget *w : shown) {
            QVERIFY2(dlg.rect().contains(w->geometry()), qPrintable(w->objectName()));
            for (QWidget *other : shown)
                QVERIFY2(w == other || !w->geometry().intersects(other->geometry()),
                         qPrintable(w->objectName() + " overlaps " + other->objectName()));
            QString caption;
            int slack = 0;
            if (auto *b = qobject_cast<QPushButton *>(w)) {
                caption = b->text();
                slack = kFrameSlack;
            } else if (auto *l = qobject_cast<QLabel *>(w)) {
                caption = l->text();
            }
            const QFontMetrics metrics(w->font());
            const QStringList lines = caption.split('\n');
            for (const QString &line : lines)
                QVERIFY2(metrics.horizontalAdvance(line) <= w->width() - slack,
                         qPrintable(QStringLiteral("%1: \"%2\" is cut").arg(w->objectName(), line)));
            QVERIFY2(metrics.height() * lines.size() <= w->height(), qPrintable(w->objectName()));
        }

        // Long names are shortened in the middle, short ones shown whole;
        // the pick is always the whole name.
        auto *first = dlg.findChild<QPushButton *>("BTN_NAME1");
        QVERIFY(first->text().contains(QChar(0x2026)));
        QStringList rows;
        for (int r = 1; r <= FileSelectDlg::kRowsPerPage; ++r)
            rows << dlg.findChild<QPushButton *>(QStringLiteral("BTN_NAME%1").arg(r))->text();
        QVERIFY2(rows.contains(QStringLiteral("短名")), qPrintable(rows.join(',')));
        first->click();
        QVERIFY(kLongNames.contains(dlg.SelectedName()));
    }
};

QTEST_MAIN(TstFileSelectLook)
#include "tst_fileselectlook.moc"
