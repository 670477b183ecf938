#include "app/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace orvane
{
namespace
{

QMessageBox::Icon toQtIcon(DialogIcon icon)
{
    switch (icon) {
    case DialogIcon::Information:
        return QMessageBox::Information;
    case DialogIcon::Warning:
        return QMessageBox::Warning;
    case DialogIcon::Question:
        return QMessageBox::Question;
    case DialogIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

class QtDialogs : public Dialogs
{
  public:
    void show(QWidget *parent, const QString &title, const QString &text, DialogIcon icon) override
    {
        QMessageBox box(toQtIcon(icon), title, text, QMessageBox::Ok, parent);
        box.exec();
    }

    bool ask(QWidget *parent, const QString &title, const QString &text, DialogIcon icon) override
    {
        QMessageBox box(toQtIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent);
        return box.exec() == QMessageBox::Yes;
    }

    bool askWithDetails(QWidget *parent, const QString &title, const QString &text,
                        const QString &details) override
    {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
        box.setDetailedText(details);
        return box.exec() == QMessageBox::Yes;
    }

    QString openFile(QWidget *parent, const QString &title, const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, title, QString(), filter);
    }

    QString saveFile(QWidget *parent, const QString &title, const QString &filter,
                     const QString &suggestedName) override
    {
        // The callers ask about an existing file themselves, in their own words.
        return QFileDialog::getSaveFileName(parent, title, suggestedName, filter, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    }
};

Dialogs *&installed()
{
    static Dialogs *current = nullptr;
    return current;
}

} // namespace

Dialogs &dialogs()
{
    static QtDialogs qtDialogs;
    return installed() ? *installed() : qtDialogs;
}

void setDialogs(Dialogs *replacement)
{
    installed() = replacement;
}

} // namespace orvane
