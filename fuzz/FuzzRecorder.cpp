#include "FuzzRecorder.h"

#include "RecordingServer.h"
#include "automation/com/Bstr.h"
#include "automation/com/ClassRegistry.h"
#include "automation/com/ComPtr.h"
#include "automation/com/Interfaces.h"

#include <mutex>

namespace orvane::fuzz
{

namespace
{

class FuzzRecorder : public test::RecordingServer
{
  public:
    FuzzRecorder() : RecordingServer(test::sharedLog()) {}

    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS *params, VARIANT *result,
                   EXCEPINFO *excepInfo, UINT *argError) override
    {
        if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && id == keepId())
            return DISP_E_MEMBERNOTFOUND;
        return RecordingServer::Invoke(id, iid, lcid, flags, params, result, excepInfo, argError);
    }

  private:
    DISPID keepId()
    {
        static const DISPID id = [this] {
            const QString name = QStringLiteral("Keep");
            LPOLESTR names[] = {const_cast<LPOLESTR>(oleString(name))};
            DISPID found = DISPID_UNKNOWN;
            GetIDsOfNames(IID_NULL, names, 1, 0, &found);
            return found;
        }();
        return id;
    }
};

HRESULT makeRecorder(REFIID iid, void **out)
{
    return ComPtr<FuzzRecorder>::attach(new FuzzRecorder)->QueryInterface(iid, out);
}

} // namespace

void registerFuzzRecorder()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const CLSID clsid{0x0BADF00D, 0x4655, 0x5A5A, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x79}};
        registerClass(QStringLiteral("Fuzz.Recorder"), clsid, makeRecorder);
        registerMoniker(QStringLiteral("FUZZ:"),
                        [](const QString &, REFIID iid, void **out) { return makeRecorder(iid, out); });
    });
}

void clearRecorderLog()
{
    test::sharedLog()->take();
}

} // namespace orvane::fuzz
