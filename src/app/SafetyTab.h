#pragma once
// The change threshold that Review all and orvane-sync apply keep to (see
// plan/ChangeThreshold.h), shown at the foot of the Options window's "Active
// Directory" tab. Its two fields are saved with the other fields by "OK" and
// "Apply".

#include <QWidget>

class QSpinBox;

namespace orvane
{

struct AppContext;

class SafetyTab : public QWidget
{
    Q_OBJECT
  public:
    /// Builds the tab from the threshold options as they are now.
    explicit SafetyTab(AppContext &ctx, QWidget *parent = nullptr);

    /// Writes the two threshold options; false when a write failed.
    bool save();

  signals:
    /// A field was changed (enables "Apply").
    void changed();

  private:
    AppContext &ctx_;
    QSpinBox *maxUsers_;
    QSpinBox *maxPercent_;
};

} // namespace orvane
