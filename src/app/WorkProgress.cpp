#include "app/WorkProgress.h"

#include <QCoreApplication>
#include <QProgressBar>

namespace orvane
{

WorkProgress::WorkProgress(QWidget *parent) : bar_(new QProgressBar(parent)) {}

void WorkProgress::setBusy(bool busy)
{
    busy_ = busy;
    cancel_ = false;
}

void WorkProgress::report(int done, int total)
{
    bar_->setMaximum(total);
    bar_->setValue(done);
    QCoreApplication::processEvents();
}

bool WorkProgress::stopInsteadOfClosing()
{
    if (busy_)
        cancel_ = true;
    return busy_;
}

} // namespace orvane
