#pragma once
// The small window of Help -> "About": program name and version, author,
// web site and the credit for the icon set. Not modal; "OK" or the close box
// closes it.

#include <QDialog>

namespace orvane
{

struct AppContext;

class AboutWindow : public QDialog
{
    Q_OBJECT
  public:
    /// Builds the window, owned by `owner`, for the program of `ctx`.
    AboutWindow(const AppContext &ctx, QWidget *owner);
};

} // namespace orvane
