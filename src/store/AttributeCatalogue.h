#pragma once
// The directory attributes the program knows, as seeded into the attributes
// table of a new settings file. After seeding, the table is the authority.

#include <array>

namespace orvane
{

struct CatalogueAttribute {
    int id;
    const char *fld;       ///< display name (schema common name)
    const char *attribute; ///< LDAP name
    int multivalued;
    int rangeupper;
    int elements;
};

/// The 39 seeded rows in increasing id order (ids 1..41 without 12 and 21).
extern const std::array<CatalogueAttribute, 39> kAttributeCatalogue;

} // namespace orvane
