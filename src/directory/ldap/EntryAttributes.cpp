#include "directory/ldap/EntryAttributes.h"

#include "directory/ldap/LdapConnection.h"

#include <cstddef>
#include <vector>

namespace orvane
{

namespace
{

// Reads the tag and length of the element at `at`, below `end`, and moves
// `at` past it; `contents` and `length` are its contents. False when the
// element does not fit. Tags are not checked, as libldap does not check them.
bool readElement(const unsigned char *&at, const unsigned char *end, const unsigned char **contents,
                 size_t *length)
{
    if (at >= end)
        return false;
    if ((*at++ & 0x1f) == 0x1f) { // a tag number of more than one byte
        while (at < end && (*at & 0x80))
            ++at;
        if (at >= end)
            return false;
        ++at;
    }
    if (at >= end)
        return false;
    size_t n = *at++;
    if (n & 0x80) {
        const size_t bytes = n & 0x7f;
        if (bytes == 0 || bytes > sizeof(ber_len_t) || size_t(end - at) < bytes)
            return false;
        n = 0;
        for (size_t i = 0; i < bytes; ++i)
            n = (n << 8) | *at++;
    }
    if (n > size_t(end - at))
        return false;
    *contents = at;
    *length = n;
    at += n;
    return true;
}

} // namespace

void visitAttributes(BerElement *ber, EntryVisitor &visitor)
{
    // A berval array as ldap_get_attribute_ber gives it, terminated by a null value.
    thread_local std::vector<berval> values;
    berval attribute{0, nullptr};
    while (ber_skip_element(ber, &attribute) != LBER_DEFAULT) {
        // PartialAttribute ::= SEQUENCE { type OCTET STRING, vals SET OF OCTET STRING }
        const auto *at = reinterpret_cast<const unsigned char *>(attribute.bv_val);
        const unsigned char *end = at + attribute.bv_len;
        const unsigned char *name = nullptr, *set = nullptr;
        size_t nameLength = 0, setLength = 0;
        if (!readElement(at, end, &name, &nameLength) || !readElement(at, end, &set, &setLength))
            return;
        values.clear();
        const unsigned char *setEnd = set + setLength;
        for (const unsigned char *v = set; v < setEnd;) {
            const unsigned char *value = nullptr;
            size_t length = 0;
            if (!readElement(v, setEnd, &value, &length))
                return;
            values.push_back({static_cast<ber_len_t>(length), reinterpret_cast<char *>(const_cast<unsigned char *>(value))});
        }
        const int count = static_cast<int>(values.size());
        values.push_back({0, nullptr});
        visitor.attribute(AttributeView(
            QByteArrayView(reinterpret_cast<const char *>(name), static_cast<qsizetype>(nameLength)), values.data(),
            count));
    }
}

} // namespace orvane
