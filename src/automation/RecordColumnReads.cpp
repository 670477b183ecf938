#include "automation/RecordColumnReads.h"

#include "automation/CommandParseCache.h"
#include "automation/Invocation.h"

namespace orvane
{

RecordColumnReads::RecordColumnReads(AutomationObject *recordSet)
{
    if (!recordSet || !recordSet->dispatch || !wholePathReadsEnabled())
        return;
    void *columns = nullptr;
    if (SUCCEEDED(recordSet->dispatch->QueryInterface(IID_IRecordColumns, &columns)))
        columns_ = static_cast<IRecordColumns *>(columns);
}

RecordColumnReads::~RecordColumnReads()
{
    if (columns_)
        columns_->Release();
}

int RecordColumnReads::column(const QString &command) const
{
    if (!columns_)
        return -1;
    CommandParse parse;
    if (FAILED(parse.parse(command)))
        return -1;
    ParsedCommand &parsed = parse.command();
    // The members as a whole-path read lays them out; a field read has no
    // put value and at most two members.
    if (parsed.memberCount < 1 || parsed.memberCount > 2)
        return -1;
    PathMember path[2];
    for (int i = 0; i < parsed.memberCount; ++i) {
        ParsedMember &member = parsed.members[i];
        path[i].name = member.name;
        path[i].params.rgvarg = member.argumentCount > 0 ? member.firstArgument() : nullptr;
        path[i].params.cArgs = static_cast<UINT>(member.argumentCount);
    }
    int column = -1;
    return columns_->ColumnOfPath(path, static_cast<UINT>(parsed.memberCount), &column) == S_OK ? column : -1;
}

bool RecordColumnReads::text(int column, QString *text) const
{
    if (!columns_ || column < 0)
        return false;
    if (columns_->ColumnText(column, text) == S_OK)
        return true;
    if (columns_->ColumnIsNull(column) != S_OK)
        return false;
    text->resize(0);
    return true;
}

bool RecordColumnReads::joined(int column, QStringView delimiter, QString *joined) const
{
    return columns_ && column >= 0 && columns_->ColumnJoined(column, delimiter, joined) == S_OK;
}

} // namespace orvane
