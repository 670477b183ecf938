// Command engine benchmark: the cost of one command string, parsed and run
// through the engine's public operations against a trivial in-process server
// whose own work is a few nanoseconds, so what is measured is the engine:
// tokenizing, parsing, the handle check, GetIDsOfNames, Invoke, the result
// conversion and the last-error record. Beside it: parseCommand alone, and
// the server called straight through IDispatch (the floor).
//
// usage: orvane_bench_engine [iterations]   (default 200,000 per command)
// Prints one line per command: best and median ns per command over 5 rounds.

#include "automation/CommandEngine.h"
#include "automation/com/ClassRegistry.h"
#include "automation/com/ComPtr.h"
#include "automation/com/DispatchObject.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace orvane;

namespace
{

enum : DISPID { Fields = 1, RecordCount, MoveNext, Properties, ActiveSheet, Columns, Find, Row };

// One class for every member the commands below name; each member that
// yields an object yields the same child, so the server costs next to nothing.
class BenchServer : public DispatchObject
{
  public:
    BenchServer() : DispatchObject(table()) {}

  protected:
    HRESULT invoke(DispatchCall &call) override
    {
        switch (call.dispid()) {
        case DISPID_VALUE:
            return call.setResultString(QStringLiteral("Alexander"));
        case RecordCount:
            return call.setResultInteger(10000);
        case Row:
            return call.setResultInteger(4711);
        case MoveNext:
            return S_OK;
        case Properties:
            return call.isPropertyPut() ? S_OK : DISP_E_MEMBERNOTFOUND;
        case Fields:
        case ActiveSheet:
        case Columns:
        case Find:
            return call.setResultDispatch(child());
        }
        return DISP_E_MEMBERNOTFOUND;
    }

  private:
    IDispatch *child()
    {
        if (!child_)
            child_ = ComPtr<BenchServer>::attach(new BenchServer);
        return child_.get();
    }
    static const MemberTable &table()
    {
        static const MemberTable t{{"Value", DISPID_VALUE},
                                   {"Fields", Fields},
                                   {"RecordCount", RecordCount},
                                   {"MoveNext", MoveNext},
                                   {"Properties", Properties},
                                   {"ActiveSheet", ActiveSheet},
                                   {"Columns", Columns},
                                   {"Find", Find},
                                   {"Row", Row}};
        return t;
    }
    ComPtr<BenchServer> child_;
};

struct Stats {
    double best = 0, median = 0;
};

// ns per call of `work`, best and median of 5 rounds of `iterations` calls.
Stats measure(int iterations, const std::function<void()> &work)
{
    std::vector<double> ns;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < iterations; ++i)
            work();
        ns.push_back(static_cast<double>(t.nsecsElapsed()) / iterations);
    }
    std::sort(ns.begin(), ns.end());
    return {ns.front(), ns[ns.size() / 2]};
}

void report(const char *what, const Stats &s)
{
    std::printf("%-62s %8.0f ns (median %8.0f)\n", what, s.best, s.median);
}

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "unexpected result of %s: %s\n", what, qPrintable(lastErrorText()));
        std::exit(1);
    }
}

} // namespace

int main(int argc, char **argv)
{
    const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
    const CLSID clsid{0x6f72766e, 0x6265, 0x6e63, {0x68, 0, 0, 0, 0, 0, 0, 1}};
    registerClass(QStringLiteral("Orvane.BenchServer"), clsid, [](REFIID iid, void **out) {
        return ComPtr<BenchServer>::attach(new BenchServer)->QueryInterface(iid, out);
    });
    AutomationObject *obj = createObject(QStringLiteral("Orvane.BenchServer"));
    check(obj != nullptr, "createObject");

    const QString field = QStringLiteral("Fields('givenName')\\Value");
    const QString count = QStringLiteral("RecordCount");
    const QString next = QStringLiteral("MoveNext");
    const QString put = QStringLiteral("Properties('Page Size') = 100");
    const QString find =
        QStringLiteral("ActiveSheet\\Columns(3)\\Find('user0004711', #optional, #optional, 1)\\Row");

    check(getStringProperty(obj, field) == QStringLiteral("Alexander"), "Fields('givenName')\\Value");
    check(getIntegerProperty(obj, count) == 10000, "RecordCount");
    check(invoke(obj, next) == S_OK, "MoveNext");
    check(setProperty(obj, put) == S_OK, "Properties('Page Size') = 100");
    check(getIntegerProperty(obj, find) == 4711, "Find");

    std::printf("%d iterations per round, 5 rounds\n", iterations);
    report("getStringProperty  Fields('givenName')\\Value",
           measure(iterations, [&] { getStringProperty(obj, field); }));
    report("getIntegerProperty RecordCount", measure(iterations, [&] { getIntegerProperty(obj, count); }));
    report("invoke             MoveNext", measure(iterations, [&] { invoke(obj, next); }));
    report("setProperty        Properties('Page Size') = 100",
           measure(iterations, [&] { setProperty(obj, put); }));
    report("getIntegerProperty ActiveSheet\\Columns(3)\\Find(...)\\Row",
           measure(iterations, [&] { getIntegerProperty(obj, find); }));

    for (const QString *command : {&field, &count, &find}) {
        const QByteArray what = "parseCommand alone  " + command->left(40).toUtf8();
        report(what.constData(), measure(iterations, [&] {
                   ParsedCommand *parsed = nullptr;
                   parseCommand(*command, &parsed);
                   freeParsedCommand(parsed);
               }));
    }

    // The floor: the same two calls of Fields('givenName')\Value made straight
    // through IDispatch with the names looked up once.
    IDispatch *dispatch = obj->dispatch;
    OLECHAR fieldsName[] = u"Fields";
    OLECHAR valueName[] = u"Value";
    LPOLESTR names[] = {fieldsName, valueName};
    DISPID fieldsId = 0;
    DISPID valueId = 0;
    bool valueIdKnown = false;
    dispatch->GetIDsOfNames(IID_NULL, &names[0], 1, LOCALE_USER_DEFAULT, &fieldsId);
    VARIANT arg;
    VariantInit(&arg);
    setVariantString(&arg, QStringLiteral("givenName"));
    report("floor: Fields + Value straight through IDispatch", measure(iterations, [&] {
               DISPPARAMS params{&arg, nullptr, 1, 0};
               VARIANT child;
               VariantInit(&child);
               dispatch->Invoke(fieldsId, IID_NULL, LOCALE_USER_DEFAULT,
                                DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &child, nullptr, nullptr);
               if (!valueIdKnown)
                   valueIdKnown = SUCCEEDED(
                       child.pdispVal->GetIDsOfNames(IID_NULL, &names[1], 1, LOCALE_USER_DEFAULT, &valueId));
               DISPPARAMS none{nullptr, nullptr, 0, 0};
               VARIANT value;
               VariantInit(&value);
               child.pdispVal->Invoke(valueId, IID_NULL, LOCALE_USER_DEFAULT,
                                      DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &value, nullptr,
                                      nullptr);
               VariantClear(&value);
               VariantClear(&child);
           }));
    VariantClear(&arg);
    releaseObject(obj);
    return 0;
}
