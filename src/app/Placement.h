#pragma once
// Controls at fixed pixel positions, as the program's windows lay them out.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QString>

namespace orvane
{

/// Places a text label with its text at the top left of `where`.
inline QLabel *placeLabel(QWidget *parent, const QString &text, const QRect &where)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(where);
    return label;
}

/// Places a label at (x, y) in the usual 100 x 20 box, widened when its text
/// needs more (the control beside it is placed later and so stays on top).
inline QLabel *placeLabel(QWidget *parent, const QString &text, int x, int y)
{
    QLabel *label = placeLabel(parent, text, QRect(x, y, 100, 20));
    label->resize(qMax(100, label->sizeHint().width()), 20);
    return label;
}

/// Widens `control` to what its text needs when its box is narrower.
inline void widenToText(QWidget *control)
{
    control->resize(qMax(control->width(), control->sizeHint().width()), control->height());
}

/// Places a push button named `name`.
inline QPushButton *placeButton(QWidget *parent, const QString &text, const QString &name, const QRect &where)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(where);
    button->setAutoDefault(false);
    return button;
}

/// Places a single-line text field named `name`.
inline QLineEdit *placeField(QWidget *parent, const QString &name, const QRect &where)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setGeometry(where);
    return field;
}

/// Places a widget of type T named `name`.
template <typename T> T *placeWidget(QWidget *parent, const QString &name, const QRect &where)
{
    auto *widget = new T(parent);
    widget->setObjectName(name);
    widget->setGeometry(where);
    return widget;
}

} // namespace orvane
