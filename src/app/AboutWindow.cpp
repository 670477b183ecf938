#include "app/AboutWindow.h"

#include "app/AppContext.h"
#include "app/WindowFont.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace orvane
{
namespace
{

const char *const kAuthor = "Orvane contributors";
const char *const kWebSite = "https://orvane.example.org";
const char *const kIconCredit = "Orvane icon set 1.0 by Orvane contributors";
const char *const kIconSite = "https://orvane.example.org/icons";

constexpr int kWindowWidth = 300;
constexpr int kRightMargin = 8;

QLabel *placeText(QWidget *parent, const QString &text, const QRect &where)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(where);
    return label;
}

// A one-line text is widened to what it needs, as far as the window reaches,
// so that the name, the version and the addresses show whole in any font.
void fitWidth(QLabel *label)
{
    const QRect at = label->geometry();
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 2;
    label->resize(qMax(at.width(), qMin(needed, kWindowWidth - kRightMargin - at.x())), at.height());
}

// A link look without an action: blue, underlined, blue under the mouse too.
QLabel *placeLink(QWidget *parent, const QString &address, const QRect &where)
{
    QLabel *link = placeText(parent, address, where);
    link->setStyleSheet(QStringLiteral("QLabel { color: rgb(0, 0, 255); text-decoration: underline; }"));
    link->setCursor(Qt::PointingHandCursor);
    return link;
}

} // namespace

AboutWindow::AboutWindow(const AppContext &ctx, QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWindowWidth, 200);
    applyWindowFont(this);

    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("ProgramIcon"));
    image->setPixmap(ctx.images.programIcon);
    image->setGeometry(20, 15, 32, 32);

    QLabel *name = placeText(this, QStringLiteral("Orvane ") + ctx.version, QRect(60, 15, 110, 20));
    name->setObjectName(QStringLiteral("ProgramName"));
    name->setFont(QFont(QStringLiteral("Arial"), 9, QFont::Bold));
    placeText(this, QStringLiteral("Author:"), QRect(60, 35, 40, 20));
    placeText(this, QLatin1String(kAuthor), QRect(120, 35, 200, 20))->setObjectName(QStringLiteral("Author"));
    placeText(this, QStringLiteral("Web site:"), QRect(60, 75, 50, 20));
    placeLink(this, QLatin1String(kWebSite), QRect(120, 75, 140, 20))
        ->setObjectName(QStringLiteral("WebSite"));
    placeText(this, QStringLiteral("Icon set:"), QRect(60, 105, 50, 20));
    QLabel *credit = placeText(this, QLatin1String(kIconCredit), QRect(120, 105, 150, 30));
    credit->setObjectName(QStringLiteral("IconCredit"));
    credit->setWordWrap(true);
    placeLink(this, QLatin1String(kIconSite), QRect(120, 132, 160, 20))
        ->setObjectName(QStringLiteral("IconSite"));

    for (const char *name : {"ProgramName", "Author", "WebSite", "IconSite"})
        fitWidth(findChild<QLabel *>(QLatin1String(name)));

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(100, 165, 100, 22);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);

    if (const QScreen *screen = owner ? owner->screen() : nullptr)
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace orvane
