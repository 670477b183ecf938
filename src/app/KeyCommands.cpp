#include "app/KeyCommands.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace orvane
{
namespace
{

class EventAction : public QObject
{
  public:
    using Match = bool (*)(const QEvent *);
    EventAction(QWidget *widget, Match match, std::function<void()> action)
        : QObject(widget), match_(match), action_(std::move(action))
    {
        widget->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (!match_(event))
            return false;
        action_();
        return true;
    }

  private:
    Match match_;
    std::function<void()> action_;
};

bool isReturnKey(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool isLeftClick(const QEvent *event)
{
    return event->type() == QEvent::MouseButtonRelease &&
           static_cast<const QMouseEvent *>(event)->button() == Qt::LeftButton;
}

} // namespace

void onReturnKey(QWidget *widget, std::function<void()> action)
{
    new EventAction(widget, isReturnKey, std::move(action));
}

void onClick(QWidget *widget, std::function<void()> action)
{
    new EventAction(widget, isLeftClick, std::move(action));
}

} // namespace orvane
