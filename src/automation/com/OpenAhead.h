#pragma once
// IOpenAhead: an optional interface of a directory namespace object, found by
// QueryInterface like IPathRead. A server without it is used as before.

#include "automation/com/Interfaces.h"

namespace orvane
{

/// Offered by a directory namespace that can start reading an object before
/// it is opened: a caller that opens objects one after another names the next
/// one while it works on the current one, so that the read travels beside
/// the current object's requests instead of after them.
inline constexpr IID IID_IOpenAhead{0x9c41e7b2, 0x5d08, 0x4f6a, {0xb3, 0x7e, 0x12, 0xd9, 0x6a, 0x0c, 0x84, 0xf5}};
struct IOpenAhead : IUnknown {
    /// Lets the server start reading the object at `path` for an open of it
    /// with `user` and `password` (as OpenDSObject takes them; both null: the
    /// current user) that follows on the calling thread. `attributes`, when
    /// not null, names (comma-separated) the attributes the caller will read
    /// and write through it; the server may read only those first and the
    /// rest when anything else is asked. Never reports: the open reads as it
    /// would have, and a read no open takes is dropped.
    virtual void OpenAhead(LPCOLESTR path, LPCOLESTR user, LPCOLESTR password, LPCOLESTR attributes) = 0;
};

} // namespace orvane
