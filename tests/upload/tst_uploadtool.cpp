// "zeb-record upload" run as the office runs it, against the test data
// server: the record arrives whole, failures have their own exit codes and
// the program's texts.
#include "NormalUploadServer.h"
#include "UploadTestUtil.h"
#include "support/TestProgramDir.h"

#include "records/RecordFile.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

namespace {

struct Run
{
    int Code = -1;
    QString Out;
    QString Err;
};

// The server lives in this process: the event loop keeps running while the tool works.
Run runTool(const QStringList &args)
{
    QProcess p;
    QSignalSpy finished(&p, &QProcess::finished);
    p.start(QStringLiteral(ZEB_RECORD_TOOL), args);
    Run r;
    if (!finished.wait(ScaledTimeout(30000)))
        return r;
    r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = QString::fromUtf8(p.readAllStandardOutput());
    r.Err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString SavedTestRecord(const TestProgramDir &dir, int channels, int samples)
{
    PutTestRecord(channels, samples);
    const QString path = dir.file(QStringLiteral("K001.QDW"));
    return WriteRecord(CurrentParams(), path) == RecordOk ? path : QString();
}

} // namespace

class TstUploadTool : public QObject
{
    Q_OBJECT

private slots:
    void uploadsARecordFile();
    void failures_data();
    void failures();
};

void TstUploadTool::uploadsARecordFile()
{
    TestProgramDir dir;
    NormalUploadServer server;
    QVERIFY(server.Start());
    const QString file = SavedTestRecord(dir, 12, 1000);
    QVERIFY(!file.isEmpty());
    const QString to = QStringLiteral("127.0.0.1:%1").arg(server.Port());
    const Run r = runTool({QStringLiteral("upload"), file, QStringLiteral("--server"), to,
                           QStringLiteral("--instrument-number"), QStringLiteral("ZEB-24"),
                           QStringLiteral("--serial"), QStringLiteral("SN7"), QStringLiteral("--latitude"),
                           QStringLiteral("31.25")});
    QCOMPARE(r.Code, 0);
    QCOMPARE(r.Out.trimmed(), QStringLiteral("数据完毕: 122 frames to %1").arg(to));
    QVERIFY2(server.Problems().isEmpty(), qPrintable(server.Problems().join('\n')));
    QVERIFY(server.Completed());
    for (int ch = 0; ch < 12; ++ch)
        QVERIFY(IsTestTrace(server.Trace(ch), ch, 1000));
    const QByteArray param = server.ParameterFrame();
    QCOMPARE(param.mid(39, 3), QByteArray("SN7"));
    QCOMPARE(param.mid(63, 3), QByteArray("001")); // the record's profile number unless --profile says otherwise
    QCOMPARE(param.mid(80, 4), QByteArray("K001"));
    float latitude;
    std::memcpy(&latitude, param.constData() + 94, 4);
    QCOMPARE(latitude, 31.25f);
}

void TstUploadTool::failures_data()
{
    QTest::addColumn<QString>("server");      // "refuse", "e04" or a --server value
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    const QStringList identity{QStringLiteral("--instrument-number"), QStringLiteral("I"),
                               QStringLiteral("--serial"), QStringLiteral("S")};
    QTest::newRow("refused") << "refuse" << identity << 69 << "服务器连接失败!";
    QTest::newRow("no such serial number") << "e04" << identity << 76 << "流水号不存在!";
    QTest::newRow("no serial number") << "ok" << QStringList{QStringLiteral("--instrument-number"), QStringLiteral("I")}
                                      << 64 << "测试仪编号与流水号不能为空!";
    QTest::newRow("server not an address") << "unit.local:5005" << identity << 64 << "--server";
    QTest::newRow("no server") << "" << identity << 64 << "usage:";
    QTest::newRow("missing file") << "ok" << (identity + QStringList{QStringLiteral("--missing")}) << 64 << "usage:";
}

void TstUploadTool::failures()
{
    QFETCH(QString, server);
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QFETCH(QString, text);
    TestProgramDir dir;
    NormalUploadServer s;
    QVERIFY(s.Start());
    if (server == "refuse")
        QVERIFY(s.SetRefusing(true));
    if (server == "e04")
        s.SetFault(NormalUploadServer::Fault::ReplyCode, 2, 1, 4);
    const QString file = SavedTestRecord(dir, 2, 300);
    QStringList args{QStringLiteral("upload"), file};
    if (!server.isEmpty())
        args << QStringLiteral("--server")
             << (server.contains(QLatin1Char(':')) ? server : QStringLiteral("127.0.0.1:%1").arg(s.Port()));
    const Run r = runTool(args + extra);
    QCOMPARE(r.Code, code);
    QVERIFY2(r.Err.contains(text), qPrintable(r.Err));
    QVERIFY(!r.Out.contains(QStringLiteral("数据完毕")));
}

QTEST_GUILESS_MAIN(TstUploadTool)
#include "tst_uploadtool.moc"
