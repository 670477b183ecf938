#include "app/MainWindow.h"

#include "app/AppContext.h"

namespace orvane {

MainWindow::MainWindow(AppContext &ctx, QWidget *parent) : QMainWindow(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Orvane ") + ctx_.version);
    setWindowIcon(QIcon(ctx_.images.programIcon));
    setMinimumSize(800, 600);
}

bool MainWindow::open()
{
    resize(int(ctx_.window.width > 0 ? ctx_.window.width : 800),
           int(ctx_.window.height > 0 ? ctx_.window.height : 600));
    show();
    return true;
}

}  // namespace orvane
