// The progress bar and stop request that the Review and History windows share:
// what work reports shows on the bar, a Cancel pressed while work runs is seen,
// and closing while busy only asks the work to stop.

#include "app/WorkProgress.h"

#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

using namespace orvane;

TEST(WorkProgress, ReportsCancelsAndHoldsTheWindowOpenWhileBusy)
{
    QWidget window;
    WorkProgress work(&window);
    ASSERT_EQ(work.bar()->parentWidget(), &window);
    EXPECT_FALSE(work.stopInsteadOfClosing()) << "idle: the window may close";
    EXPECT_FALSE(work.cancelFlag()->load());

    work.setBusy(true);
    QPushButton cancel;
    QObject::connect(&cancel, &QPushButton::clicked, [&] { work.cancel(); });
    QMetaObject::invokeMethod(&cancel, &QPushButton::click, Qt::QueuedConnection);
    work.report(3, 10);
    EXPECT_EQ(work.bar()->value(), 3);
    EXPECT_EQ(work.bar()->maximum(), 10);
    EXPECT_TRUE(work.cancelFlag()->load()) << "the click waiting in the queue was served by report()";

    work.setBusy(true);
    EXPECT_FALSE(work.cancelFlag()->load()) << "new work starts without the old request";
    EXPECT_TRUE(work.stopInsteadOfClosing());
    EXPECT_TRUE(work.cancelFlag()->load());
    EXPECT_TRUE(work.busy());

    work.setBusy(false);
    EXPECT_FALSE(work.busy());
    EXPECT_FALSE(work.stopInsteadOfClosing());
    EXPECT_FALSE(work.cancelFlag()->load());
}
