#include "support/TestProgramDir.h"
#include "params/ParamSet.h"
#include <QtTest>
class TstParamSet : public QObject { Q_OBJECT
private slots:
    void defaults() { TestProgramDir d; QCOMPARE(CurrentParams().Header.ChannelCount, 12); }
};
QTEST_GUILESS_MAIN(TstParamSet)
#include "tst_paramset.moc"
