// The limit on how many things may happen within a stretch of time: it refuses
// past its count, and admits again once the oldest has left the stretch.
#include "engine/BurstLimit.h"

#include <QtTest>

namespace {
constexpr int kCount = 3;
constexpr int kPeriodMs = 1000;
} // namespace

class TestBurstLimit : public QObject {
    Q_OBJECT

private slots:
    void refusesPastItsCountUntilThePeriodHasPassed()
    {
        CBurstLimit limit(kCount, kPeriodMs);
        for (int i = 0; i < kCount; ++i)
            QVERIFY(limit.Admit());
        QVERIFY(!limit.Admit());
        QVERIFY(!limit.Admit());
        QCOMPARE(limit.refused(), quint64(2));
        QTest::qWait(kPeriodMs + 100);
        for (int i = 0; i < kCount; ++i)
            QVERIFY(limit.Admit());
        QVERIFY(!limit.Admit());
    }
};

QTEST_GUILESS_MAIN(TestBurstLimit)
#include "tst_burst_limit.moc"
