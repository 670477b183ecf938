#include "automation/PassedAddress.h"

#include <algorithm>
#include <vector>

namespace orvane
{

namespace
{

enum Kind { kVariant, kDispatch, kUnknown, kVariable };

struct Entry {
    quintptr address;
    int kind;
    VARTYPE type;
};

std::mutex registryMutex;
// A handful of entries at a time (one command's arguments per thread), so a
// vector searched from the back beats any map.
std::vector<Entry> &registry()
{
    static std::vector<Entry> entries;
    return entries;
}

bool serves(const Entry &e, PassedUse use, VARTYPE byrefType)
{
    switch (use) {
    case PassedUse::Variant:
        return e.kind == kVariant;
    case PassedUse::Dispatch:
        return e.kind == kDispatch;
    case PassedUse::Unknown:
        return e.kind == kDispatch || e.kind == kUnknown;
    case PassedUse::ByRef:
        return (e.kind == kVariable && e.type == byrefType) ||
               (e.kind == kVariant && byrefType == VT_VARIANT);
    }
    return false;
}

} // namespace

PassedAddress::PassedAddress(const VARIANT *value)
    : address_(reinterpret_cast<quintptr>(value)), kind_(kVariant), type_(VT_VARIANT)
{
    enter();
}

PassedAddress::PassedAddress(IDispatch *object)
    : address_(reinterpret_cast<quintptr>(object)), kind_(kDispatch), type_(VT_DISPATCH)
{
    enter();
}

PassedAddress::PassedAddress(IUnknown *object)
    : address_(reinterpret_cast<quintptr>(object)), kind_(kUnknown), type_(VT_UNKNOWN)
{
    enter();
}

PassedAddress::PassedAddress(void *variable, VARTYPE type)
    : address_(reinterpret_cast<quintptr>(variable)), kind_(kVariable), type_(type)
{
    enter();
}

void PassedAddress::enter()
{
    if (!address_)
        return; // a null pointer is never accepted, so there is nothing to register
    std::lock_guard<std::mutex> lock(registryMutex);
    registry().push_back({address_, kind_, type_});
}

PassedAddress::~PassedAddress()
{
    if (!address_)
        return;
    std::lock_guard<std::mutex> lock(registryMutex);
    std::vector<Entry> &entries = registry();
    // The same address may be registered twice (nested scopes, two threads): withdraw one.
    auto it = std::find_if(entries.rbegin(), entries.rend(), [this](const Entry &e) {
        return e.address == address_ && e.kind == kind_ && e.type == type_;
    });
    if (it != entries.rend())
        entries.erase(std::next(it).base());
}

QString PassedAddress::text() const
{
    return QString::number(address_);
}

std::unique_lock<std::mutex> lockPassedAddresses()
{
    return std::unique_lock<std::mutex>(registryMutex);
}

bool isPassedAddressLocked(quintptr address, PassedUse use, VARTYPE byrefType)
{
    const std::vector<Entry> &entries = registry();
    return std::any_of(entries.rbegin(), entries.rend(),
                       [&](const Entry &e) { return e.address == address && serves(e, use, byrefType); });
}

} // namespace orvane
