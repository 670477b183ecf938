#pragma once
// A small automation server of the tests' own, "Test.Recorder" (and moniker
// "TEST:"), that records every Invoke it receives: member, DISPID, flags,
// argument count, argument types and values (copied, in rgvarg order), and the
// named-argument DISPIDs. Members:
//   Name (r/w text), Count (VT_I4 42), Big (VT_I8 2^40), Flag (VT_BOOL r/w,
//   starts true), Null (VT_NULL), Nothing (a null object), Empty (VT_EMPTY),
//   Fields(name) (an object whose default member Value is "value of <name>";
//   Fields('none') a null object), Properties(name) (r/w map), Self (this
//   object), Echo(x) (returns a copy of x), Take(...) (accepts anything),
//   Fail (exception "Recorder failed on purpose."), FailPlain (exception
//   without description), FailWin32 (returns 0x80070002), Keep (r/w object),
//   Bytes (16 bytes 0..15), Multi (array of "a", "b", 3).

#include "automation/com/DispatchObject.h"

#include <QMap>
#include <memory>
#include <mutex>
#include <vector>

namespace orvane::test
{

struct InvokeRecord {
    QString member; // the name the DISPID belongs to
    DISPID dispid = 0;
    WORD flags = 0;
    UINT argCount = 0;
    std::vector<VARTYPE> types; // rgvarg order (last argument first)
    QStringList values;         // rgvarg order, VARIANT_LOCALBOOL text of each ("" when not convertible)
    std::vector<DISPID> named;
};

/// Thread-safe list of the Invokes of every object of one server tree.
class InvokeLog
{
  public:
    void add(InvokeRecord record);
    std::vector<InvokeRecord> take();
    std::size_t size() const;

  private:
    mutable std::mutex mutex_;
    std::vector<InvokeRecord> records_;
};

class RecordingServer : public DispatchObject
{
  public:
    explicit RecordingServer(std::shared_ptr<InvokeLog> log);
    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS *params, VARIANT *result,
                   EXCEPINFO *excepInfo, UINT *argError) override;
    const std::shared_ptr<InvokeLog> &log() const { return log_; }
    IDispatch *kept() const { return kept_; }

  protected:
    ~RecordingServer() override;
    HRESULT invoke(DispatchCall &call) override;

  private:
    std::shared_ptr<InvokeLog> log_;
    std::mutex mutex_;
    QString name_ = QStringLiteral("recorder");
    bool flag_ = true;
    QMap<QString, QString> properties_;
    IDispatch *kept_ = nullptr;
};

/// Registers "Test.Recorder" and the moniker "TEST:"; every object they make
/// logs into `sharedLog()`. Idempotent.
void registerRecordingServer();
/// The log of objects made through the registry.
std::shared_ptr<InvokeLog> sharedLog();

} // namespace orvane::test
