#include "app/OptionsWindow.h"

#include "app/AppContext.h"
#include "app/ColourMarkersTab.h"
#include "app/Dialogs.h"
#include "app/DirectoryTab.h"
#include "app/ExcelFilesTab.h"
#include "app/MainWindow.h"
#include "app/ObjectSelectionTab.h"
#include "app/Placement.h"
#include "app/ReplacementsTab.h"
#include "app/SafetyTab.h"
#include "app/WindowFont.h"
#include "app/WriteCheck.h"
#include "store/CatalogueQueries.h"
#include "store/OptionTable.h"
#include "store/PasswordStore.h"
#include "store/SettingsStore.h"

#include <QFrame>
#include <QTabWidget>

namespace orvane
{
namespace
{

// Every tab carries a frame along its border.
template <typename Tab> Tab *framed(Tab *tab)
{
    auto *frame = new QFrame(tab);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(3, 0, 479, 258);
    frame->lower();
    return tab;
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

OptionsWindow::OptionsWindow(AppContext &ctx, MainWindow &main) : QDialog(&main), ctx_(ctx), main_(main)
{
    setObjectName(QStringLiteral("OptionsWindow"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(500, 350);
    applyWindowFont(this);

    tabs_ = placeWidget<QTabWidget>(this, QStringLiteral("OptionsTabs"), QRect(5, 5, 490, 290));
    objectSelection_ = framed(new ObjectSelectionTab(ctx_));
    directory_ = framed(new DirectoryTab(ctx_));
    excelFiles_ = framed(new ExcelFilesTab(ctx_));
    colourMarkers_ = framed(new ColourMarkersTab(ctx_));
    replacements_ = framed(new ReplacementsTab(ctx_));
    // The change threshold sits below the directory fields: a sixth tab would not fit the tab bar.
    safety_ = new SafetyTab(ctx_, directory_);
    safety_->setGeometry(0, 194, 482, 62);
    tabs_->addTab(objectSelection_, QStringLiteral("Object selection"));
    tabs_->addTab(directory_, QStringLiteral("Active Directory"));
    tabs_->addTab(excelFiles_, QStringLiteral("Excel files"));
    tabs_->addTab(colourMarkers_, QStringLiteral("Color markers"));
    tabs_->addTab(replacements_, QStringLiteral("Replacements"));

    auto *ok = placeButton(this, QStringLiteral("OK"), QStringLiteral("OkButton"), QRect(200, 310, 80, 25));
    apply_ =
        placeButton(this, QStringLiteral("Apply"), QStringLiteral("ApplyButton"), QRect(300, 310, 80, 25));
    auto *cancel =
        placeButton(this, QStringLiteral("Cancel"), QStringLiteral("CancelButton"), QRect(400, 310, 80, 25));
    apply_->setEnabled(false);
    cancel->setDefault(true);

    connect(ok, &QPushButton::clicked, this, &OptionsWindow::accept);
    connect(apply_, &QPushButton::clicked, this, &OptionsWindow::save);
    connect(cancel, &QPushButton::clicked, this, &OptionsWindow::reject);
    connect(objectSelection_, &ObjectSelectionTab::changed, this, &OptionsWindow::enableApply);
    connect(objectSelection_, &ObjectSelectionTab::currentListReplaced, &main_,
            &MainWindow::refillLetterCombo);
    connect(directory_, &DirectoryTab::changed, this, &OptionsWindow::enableApply);
    connect(replacements_, &ReplacementsTab::changed, this, &OptionsWindow::enableApply);
    connect(safety_, &SafetyTab::changed, this, &OptionsWindow::enableApply);
    connect(colourMarkers_, &ColourMarkersTab::markersChanged, &main_, &MainWindow::refillMarkerCombo);

    move(main.geometry().center() - rect().center());
}

void OptionsWindow::enableApply()
{
    apply_->setEnabled(true);
}

bool OptionsWindow::save()
{
    const DirectoryValues v = directory_->values();
    const QString refusal = v.useCurrentCredentials ? QString() : passwordRefusal(v.password);
    if (!refusal.isEmpty()) {
        dialogs().warn(this, QStringLiteral("Options"), refusal);
        return false;
    }
    const WriteCheck check(ctx_.db);
    saveDirectory(v);
    main_.resetObjectView();
    excelFiles_->storeShowTags();
    setOption(ctx_.db, Option::CharList, QString::number(objectSelection_->selectedListId()));
    main_.refillLetterCombo();
    main_.setObjectListTitle(attributeFld(ctx_.db, v.displayBy));
    main_.refillMarkerCombo();
    ctx_.settings.replacementRules = loadReplacementRules(ctx_.db);
    saveReplacements();
    safety_->save();
    if (check.report(this, QStringLiteral("Options")))
        return false;
    apply_->setEnabled(false);
    return true;
}

void OptionsWindow::saveDirectory(const DirectoryValues &v)
{
    Database &db = ctx_.db;
    Settings &settings = ctx_.settings;
    const PasswordOwner previous = storedPasswordOwner(db);
    settings.showComparison = v.showComparison;
    setOption(db, Option::DcServer, v.server);
    setOption(db, Option::DcServerPort, v.port);
    settings.serverAddress = v.server + QLatin1Char(':') + v.port;
    settings.baseDn = v.baseDn;
    setOption(db, Option::DcBaseDn, v.baseDn);
    setOption(db, Option::SelectObjBy, QString::number(v.selectBy));
    setOption(db, Option::DisplayObjBy, QString::number(v.displayBy));
    setOption(db, Option::ShowComparison, QString::number(v.showComparison));
    setOption(db, Option::UseCurrentAdCredentials, flag(v.useCurrentCredentials));
    settings.useCurrentCredentials = v.useCurrentCredentials ? 1 : 0;
    settings.userName = v.userName;
    setOption(db, Option::AdUserName, v.userName);
    settings.password = v.password;
    const StoredPassword stored = storePassword(db, ctx_.keyring, {v.server, v.userName}, v.password,
                                                v.useCurrentCredentials, previous);
    if (stored.place != PasswordPlace::Nowhere)
        directory_->showPasswordPlace(stored.place);
    settings.multivaluedDelimiter = v.delimiter;
    setOption(db, Option::MultivaluedDelimiter, v.delimiter);
}

void OptionsWindow::saveReplacements()
{
    Database &db = ctx_.db;
    Settings &settings = ctx_.settings;
    const ReplacementValues v = replacements_->values();
    if (v.mode != 0) {
        setOption(db, Option::Replacements, QString::number(v.mode));
        settings.replacementMode = v.mode;
    }
    setOption(db, Option::FirstUpperCase, flag(v.firstUpperCase));
    settings.firstUpperCase = v.firstUpperCase ? 1 : 0;
    settings.trimmedEnd = v.trimmedEnd;
    setOption(db, Option::TrimmedEnd, v.trimmedEnd);
}

void OptionsWindow::accept()
{
    // A refused or failed save keeps the window open, so that nothing typed is lost.
    if (save())
        QDialog::accept();
}

} // namespace orvane
