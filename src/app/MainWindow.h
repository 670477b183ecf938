#pragma once
// The program's main window.

#include <QMainWindow>

namespace orvane {

struct AppContext;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppContext &ctx, QWidget *parent = nullptr);

    /// Builds and shows the window at its saved size and state; false when it cannot be shown.
    bool open();

private:
    AppContext &ctx_;
};

}  // namespace orvane
