#include "store/AttributeCatalogue.h"

namespace orvane
{

const std::array<CatalogueAttribute, 39> kAttributeCatalogue = {{
    {1, "Given-Name", "givenName", 0, 64, 1},
    {2, "Surname", "sn", 0, 64, 1},
    {3, "Display-Name", "displayName", 0, 256, 1},
    {4, "Description", "description", 1, 1024, 1},
    {5, "Physical-Delivery-Office-Name", "physicalDeliveryOfficeName", 0, 128, 1},
    {6, "Telephone-Number", "telephoneNumber", 0, 64, 1},
    {7, "E-mail-Addresses", "mail", 0, 256, 1},
    {8, "WWW-Home-Page", "wWWHomePage", 0, 2048, 1},
    {9, "Title", "title", 0, 64, 1},
    {10, "Department", "department", 0, 64, 1},
    {11, "Company", "company", 0, 64, 1},
    {13, "SAM-Account-Name", "sAMAccountName", 0, 256, 1},
    {14, "Phone-Office-Other", "otherTelephone", 1, 64, 100},
    {15, "Initials", "initials", 0, 6, 1},
    {16, "Employee-ID", "employeeID", 0, 16, 1},
    {17, "Comment", "info", 0, 1024, 1},
    {18, "Address", "streetAddress", 0, 1024, 1},
    {19, "Street-Address", "street", 0, 1024, 1},
    {20, "State-Or-Province-Name", "st", 0, 128, 1},
    {22, "WWW-Page-Other", "url", 1, 2048, 100},
    {23, "Post-Office-Box", "postOfficeBox", 0, 40, 1},
    {24, "Locality-Name", "l", 0, 128, 1},
    {25, "Postal-Code", "postalCode", 0, 40, 1},
    {26, "User-Principal-Name", "userPrincipalName", 0, 2048, 1},
    {27, "User-Workstations", "userWorkstations", 0, 1024, 1},
    {28, "Profile-Path", "profilePath", 0, 2048, 1},
    {29, "Script-Path", "scriptPath", 0, 2048, 1},
    {30, "Home-Directory", "homeDirectory", 0, 2048, 1},
    {31, "Home-Drive", "homeDrive", 0, 2, 1},
    {32, "Phone-Home-Primary", "homePhone", 0, 64, 1},
    {33, "Phone-Home-Other", "otherHomePhone", 1, 64, 100},
    {34, "Phone-Pager-Primary", "pager", 0, 64, 1},
    {35, "Phone-Pager-Other", "otherPager", 1, 64, 100},
    {36, "Phone-Mobile-Primary", "mobile", 0, 64, 1},
    {37, "Phone-Mobile-Other", "otherMobile", 1, 64, 100},
    {38, "Facsimile-Telephone-Number", "facsimileTelephoneNumber", 0, 64, 1},
    {39, "Phone-Fax-Other", "otherFacsimileTelephoneNumber", 1, 64, 100},
    {40, "Phone-Ip-Primary", "ipPhone", 0, 64, 1},
    {41, "Phone-Ip-Other", "otherIpPhone", 1, 64, 100},
}};

} // namespace orvane
