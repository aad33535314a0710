#include "casing/BackgroundStep.h"

#include <QTest>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

class BackgroundStepTest : public QObject {
    Q_OBJECT

private slots:
    // Steps run one after another, off the caller's thread; a step's failure
    // comes out of the next wait once, and the steps after it still run.
    void stepsRunInTurnAndFailuresComeBackOnce()
    {
        BackgroundStep background;
        QList<int> order;
        std::thread::id stepThread;
        background.start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            stepThread = std::this_thread::get_id();
            order << 1;
        });
        background.wait();
        QVERIFY(stepThread != std::this_thread::get_id());
        background.start([&] { throw std::runtime_error("the server went away"); });
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, background.wait());
        background.wait(); // reported once
        background.start([&] { order << 2; });
        background.wait();
        QCOMPARE(order, (QList<int> { 1, 2 }));
        QVERIFY(background.idle());
    }

    // What a step uses may go once its owner does: the owner waits for it.
    void endingWaitsForTheStepUnderWay()
    {
        std::atomic<bool> done = false;
        {
            BackgroundStep background;
            background.start([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                done = true;
            });
        }
        QVERIFY(done);
    }
};

QTEST_GUILESS_MAIN(BackgroundStepTest)
#include "BackgroundStepTest.moc"
