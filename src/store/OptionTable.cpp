#include "store/OptionTable.h"

#include "store/Database.h"

namespace orvane
{

namespace
{

using enum OptionType;

const QList<OptionDefinition> kOptions = {
    {Option::CharList, "charlist", "1", Integer, 0},
    {Option::DcServer, "dcserver", "", Text, 0},
    {Option::DcServerPort, "dcserverport", "389", Text, 0},
    {Option::DcBaseDn, "dcbasedn", "", Text, 0},
    {Option::SelectObjBy, "selectobjby", "2", Integer, 0},
    {Option::DisplayObjBy, "displayobjby", "3", Integer, 0},
    {Option::UseCurrentAdCredentials, "usecurrentadcredentials", "1", Integer, 0},
    {Option::AdUserName, "adusername", "", Text, 0},
    {Option::AdPassword, "adpassword", "", Text, 0},
    {Option::MainWindowState, "mainwindowstate", "16777216", Integer, 0},
    {Option::MainWindowHeight, "mainwindowheight", "600", Integer, 0},
    {Option::MainWindowWidth, "mainwindowwidth", "800", Integer, 0},
    {Option::MainWindowSplitterWidth, "mainwindowsplitterwidth", "200", Integer, 0},
    {Option::MultivaluedDelimiter, "multivalueddelimiter", ";", Text, 0},
    {Option::ShowComparison, "showcomparison", "0", Integer, 0},
    {Option::Replacements, "replacements", "2", Integer, 0},
    {Option::TrimmedEnd, "trimmedend", "...", Text, 0},
    {Option::FirstUpperCase, "firstuppercase", "1", Integer, 0},
    // Where the main window was in normal state (-1: centred, as a first start
    // opens it) and its lists' column widths ("ListName=w,w,...;...").
    {Option::MainWindowLeft, "mainwindowleft", "-1", Integer, 2},
    {Option::MainWindowTop, "mainwindowtop", "-1", Integer, 2},
    {Option::MainWindowColumns, "mainwindowcolumns", "", Text, 2},
    // The change threshold of unattended runs (plan/ChangeThreshold.h); 0 turns a limit off.
    {Option::MaxChangedUsers, "maxchangedusers", "500", Integer, 2},
    {Option::MaxChangedPercent, "maxchangedpercent", "10", Integer, 2},
};

} // namespace

const QList<OptionDefinition> &optionTable()
{
    return kOptions;
}

const OptionDefinition &optionDefinition(Option option)
{
    // The table is in enum order; a row out of place is a programming error
    // the option-table test catches.
    return kOptions[qsizetype(option)];
}

const OptionDefinition *findOption(const QString &key)
{
    for (const OptionDefinition &definition : kOptions) {
        if (key == QLatin1String(definition.key))
            return &definition;
    }
    return nullptr;
}

QString optionKey(Option option)
{
    return QString::fromLatin1(optionDefinition(option).key);
}

QString optionText(Database &db, Option option)
{
    return db.optionText(optionKey(option));
}

long long optionLong(Database &db, Option option)
{
    return db.optionLong(optionKey(option));
}

bool setOption(Database &db, Option option, const QString &value)
{
    return db.setOption(optionKey(option), value);
}

bool setOption(Database &db, Option option, long long value)
{
    return db.setOption(optionKey(option), QString::number(value));
}

QString optionValueRefusal(const OptionDefinition &definition, const QString &value)
{
    if (definition.type != Integer)
        return QString();
    bool ok = false;
    value.toLongLong(&ok);
    return ok ? QString()
              : QStringLiteral("%1 takes a whole number, not \"%2\"").arg(QLatin1String(definition.key), value);
}

} // namespace orvane
