#include "store/AttributeCatalogue.h"

#include "store/Database.h"

namespace orvane
{

const QList<CatalogueAttribute> &seededCatalogue()
{
    static const QList<CatalogueAttribute> rows = {
        {1, QStringLiteral("Given-Name"), QStringLiteral("givenName"), 0, 64, 1},
        {2, QStringLiteral("Surname"), QStringLiteral("sn"), 0, 64, 1},
        {3, QStringLiteral("Display-Name"), QStringLiteral("displayName"), 0, 256, 1},
        {4, QStringLiteral("Description"), QStringLiteral("description"), 1, 1024, 1},
        {5, QStringLiteral("Physical-Delivery-Office-Name"), QStringLiteral("physicalDeliveryOfficeName"), 0,
         128, 1},
        {6, QStringLiteral("Telephone-Number"), QStringLiteral("telephoneNumber"), 0, 64, 1},
        {7, QStringLiteral("E-mail-Addresses"), QStringLiteral("mail"), 0, 256, 1},
        {8, QStringLiteral("WWW-Home-Page"), QStringLiteral("wWWHomePage"), 0, 2048, 1},
        {9, QStringLiteral("Title"), QStringLiteral("title"), 0, 64, 1},
        {10, QStringLiteral("Department"), QStringLiteral("department"), 0, 64, 1},
        {11, QStringLiteral("Company"), QStringLiteral("company"), 0, 64, 1},
        {13, QStringLiteral("SAM-Account-Name"), QStringLiteral("sAMAccountName"), 0, 256, 1},
        {14, QStringLiteral("Phone-Office-Other"), QStringLiteral("otherTelephone"), 1, 64, 100},
        {15, QStringLiteral("Initials"), QStringLiteral("initials"), 0, 6, 1},
        {16, QStringLiteral("Employee-ID"), QStringLiteral("employeeID"), 0, 16, 1},
        {17, QStringLiteral("Comment"), QStringLiteral("info"), 0, 1024, 1},
        {18, QStringLiteral("Address"), QStringLiteral("streetAddress"), 0, 1024, 1},
        {19, QStringLiteral("Street-Address"), QStringLiteral("street"), 0, 1024, 1},
        {20, QStringLiteral("State-Or-Province-Name"), QStringLiteral("st"), 0, 128, 1},
        {22, QStringLiteral("WWW-Page-Other"), QStringLiteral("url"), 1, 2048, 100},
        {23, QStringLiteral("Post-Office-Box"), QStringLiteral("postOfficeBox"), 0, 40, 1},
        {24, QStringLiteral("Locality-Name"), QStringLiteral("l"), 0, 128, 1},
        {25, QStringLiteral("Postal-Code"), QStringLiteral("postalCode"), 0, 40, 1},
        {26, QStringLiteral("User-Principal-Name"), QStringLiteral("userPrincipalName"), 0, 2048, 1},
        {27, QStringLiteral("User-Workstations"), QStringLiteral("userWorkstations"), 0, 1024, 1},
        {28, QStringLiteral("Profile-Path"), QStringLiteral("profilePath"), 0, 2048, 1},
        {29, QStringLiteral("Script-Path"), QStringLiteral("scriptPath"), 0, 2048, 1},
        {30, QStringLiteral("Home-Directory"), QStringLiteral("homeDirectory"), 0, 2048, 1},
        {31, QStringLiteral("Home-Drive"), QStringLiteral("homeDrive"), 0, 2, 1},
        {32, QStringLiteral("Phone-Home-Primary"), QStringLiteral("homePhone"), 0, 64, 1},
        {33, QStringLiteral("Phone-Home-Other"), QStringLiteral("otherHomePhone"), 1, 64, 100},
        {34, QStringLiteral("Phone-Pager-Primary"), QStringLiteral("pager"), 0, 64, 1},
        {35, QStringLiteral("Phone-Pager-Other"), QStringLiteral("otherPager"), 1, 64, 100},
        {36, QStringLiteral("Phone-Mobile-Primary"), QStringLiteral("mobile"), 0, 64, 1},
        {37, QStringLiteral("Phone-Mobile-Other"), QStringLiteral("otherMobile"), 1, 64, 100},
        {38, QStringLiteral("Facsimile-Telephone-Number"), QStringLiteral("facsimileTelephoneNumber"), 0, 64,
         1},
        {39, QStringLiteral("Phone-Fax-Other"), QStringLiteral("otherFacsimileTelephoneNumber"), 1, 64, 100},
        {40, QStringLiteral("Phone-Ip-Primary"), QStringLiteral("ipPhone"), 0, 64, 1},
        {41, QStringLiteral("Phone-Ip-Other"), QStringLiteral("otherIpPhone"), 1, 64, 100}};
    return rows;
}

QList<CatalogueAttribute> loadCatalogue(Database &db)
{
    QList<CatalogueAttribute> rows;
    db.query(QStringLiteral("SELECT id, fld, attribute, multivalued, rangeupper, elements FROM attributes"));
    while (db.next_row() == 1)
        rows.append({db.get_long(0), db.get_text(1), db.get_text(2), int(db.get_long(3)), int(db.get_long(4)),
                     db.get_long(5)});
    return rows;
}

CatalogueAttribute catalogueAttribute(Database &db, long long id)
{
    for (const CatalogueAttribute &a : loadCatalogue(db)) {
        if (a.id == id)
            return a;
    }
    CatalogueAttribute none;
    none.multivalued = -1;
    return none;
}

} // namespace orvane
