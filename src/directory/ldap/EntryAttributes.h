#pragma once
// The attributes of a search entry read straight from its encoding. libldap's
// own reader copies each attribute's list of values into a fresh array (some
// 800 instructions an attribute and a free), which made the decoding of a
// large search cost more than the server's answer; here each value is a view
// into the message, gathered in one array that is reused.

#include <lber.h>

namespace orvane
{

class EntryVisitor;

/// Hands each attribute left in `ber`, which ldap_get_dn_ber has left inside
/// the entry's attribute list, to `visitor` with its values pointing into the
/// message; stops at the first attribute that does not decode, as
/// ldap_get_attribute_ber would.
void visitAttributes(BerElement *ber, EntryVisitor &visitor);

} // namespace orvane
