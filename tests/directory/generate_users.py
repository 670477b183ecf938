#!/usr/bin/python3
"""Writes LDIF with realistic directory users for Orvane's test directories.

The same users are written for both kinds of server:
  slapd  -- entries carry the full class chain, objectCategory short names and
            an objectGUID of our own (slapd does not make one);
  samba  -- entries carry objectClass user only; the domain controller adds
            the class chain, objectCategory, objectGUID and the rest.

Layout below the base DN:
  OU=Staff     the bulk of ordinary users (--staff, default 250)
  OU=Fixtures  users with exactly known values, for assertions and writes
  DC=child     a child-domain subtree whose users the program must exclude
  OU=Bulk      optional mass users with every catalogue attribute (--bulk)

The output is deterministic for a given --seed. Names mix English, accented
Latin and Cyrillic; some users are disabled, some have no surname, some (slapd
only: Active Directory always makes one) have no sAMAccountName, many have
several values in the multi-valued phone attributes, some have photos.
"""

import argparse
import base64
import os
import random
import sys
import unicodedata

ENABLED = 544   # NORMAL_ACCOUNT | PASSWD_NOTREQD: users created without a password
DISABLED = 546  # the same plus ACCOUNTDISABLE (bit 0x2)
BIND_PASSWORD = "Bind-User-Pass1"

LATIN_GIVEN = ["James", "Mary", "Robert", "Patricia", "John", "Jennifer", "Michael", "Linda",
               "David", "Elizabeth", "William", "Barbara", "Richard", "Susan", "Joseph", "Jessica",
               "Thomas", "Sarah", "Charles", "Karen", "Anna", "Alice", "Arthur", "Amelia", "Oliver"]
LATIN_SURNAMES = ["Adams", "Allen", "Anderson", "Baker", "Brown", "Clark", "Davis", "Evans",
                  "Fisher", "Garcia", "Harris", "Irving", "Jackson", "King", "Lewis", "Martin",
                  "Nelson", "Owens", "Parker", "Quinn", "Roberts", "Smith", "Taylor", "Underwood",
                  "Vaughn", "Walker", "Young", "Zimmerman"]
A_SURNAMES = ["Abbott", "Ashford", "Atkinson", "Aldridge", "Avery", "Ainsworth"]
ACCENTED_GIVEN = ["Zoë", "Chloé", "Renée", "Agnès", "Jérôme", "François", "Sören", "Jürgen",
                  "Łukasz", "Ágnes", "Mónica", "José", "Añeta", "Émile", "Ørjan", "Çağla"]
ACCENTED_SURNAMES = ["Ångström", "Øvrebø", "Álvarez", "Égert", "Öztürk", "Çelik", "Šimek", "Žák",
                     "Müller", "Núñez", "Dvořák", "Łukasiewicz", "Brontë", "Ibáñez", "Lefèvre"]
CYRILLIC_GIVEN = ["Александр", "Анна", "Борис", "Вера", "Галина", "Дмитрий", "Евгений", "Жанна",
                  "Зоя", "Иван", "Кирилл", "Людмила", "Михаил", "Наталья", "Ольга", "Пётр",
                  "Раиса", "Сергей", "Татьяна", "Ульяна", "Фёдор", "Эдуард", "Юрий", "Яна"]
CYRILLIC_SURNAMES = ["Абрамов", "Аксёнова", "Белова", "Васильев", "Громова", "Давыдов", "Егорова",
                     "Ёлкин", "Жуков", "Зайцева", "Иванов", "Козлова", "Лебедев", "Морозова",
                     "Новиков", "Орлова", "Петров", "Романова", "Смирнов", "Титова", "Успенский",
                     "Фёдорова", "Харитонов", "Цветкова", "Чернов", "Шубина", "Щукин",
                     "Эйдельман", "Юдина", "Яковлев"]
TITLES = ["Engineer", "Senior Engineer", "Accountant", "Sales Manager", "Инженер",
          "Бухгалтер", "Directeur général", "Team Lead", "Analyst", "Intern"]
DEPARTMENTS = ["Engineering", "Finance", "Sales", "Отдел кадров", "Логистика", "Support",
               "Recherche et développement", "Legal"]
CITIES = [("Moscow", "Moscow", "101000"), ("Санкт-Петербург", "Ленинградская область", "190000"),
          ("Zürich", "ZH", "8001"), ("Springfield", "IL", "62701"), ("Kraków", "Małopolska", "30-001"),
          ("Montréal", "QC", "H2X 1Y4")]
STREETS = ["Main Street", "Oak Avenue", "ул. Ленина", "Bahnhofstraße", "Rue de la Paix", "Market Lane"]

TRANSLIT = dict(zip("абвгдеёжзийклмнопрстуфхцчшщъыьэюя",
                    ["a", "b", "v", "g", "d", "e", "e", "zh", "z", "i", "y", "k", "l", "m", "n", "o",
                     "p", "r", "s", "t", "u", "f", "kh", "ts", "ch", "sh", "shch", "", "y", "", "e",
                     "yu", "ya"]))
LATIN_FOLD = {"ø": "o", "ł": "l", "æ": "ae", "ß": "ss", "đ": "d"}

SINGLE = ["givenName", "sn", "displayName", "physicalDeliveryOfficeName", "telephoneNumber",
          "mail", "wWWHomePage", "title", "department", "company", "sAMAccountName", "initials",
          "employeeID", "info", "streetAddress", "street", "st", "postOfficeBox", "l",
          "postalCode", "userPrincipalName", "userWorkstations", "profilePath", "scriptPath",
          "homeDirectory", "homeDrive", "homePhone", "pager", "mobile",
          "facsimileTelephoneNumber", "ipPhone"]
MULTI = ["description", "otherTelephone", "url", "otherHomePhone", "otherPager", "otherMobile",
         "otherFacsimileTelephoneNumber", "otherIpPhone"]


def ascii_fold(text):
    out = []
    for ch in text.lower():
        if ch in TRANSLIT:
            out.append(TRANSLIT[ch])
        elif ch in LATIN_FOLD:
            out.append(LATIN_FOLD[ch])
        else:
            out.append(unicodedata.normalize("NFKD", ch).encode("ascii", "ignore").decode())
    return "".join(c for c in "".join(out) if c.isalnum())


def ldif_value(name, value):
    """One LDIF line; base64 for bytes and for text LDIF cannot carry plainly."""
    if isinstance(value, bytes):
        return "%s:: %s" % (name, base64.b64encode(value).decode())
    safe = value.isascii() and value == value.strip() and not value.startswith((":", "<")) \
        and "\n" not in value and "\r" not in value
    if safe:
        return "%s: %s" % (name, value)
    return "%s:: %s" % (name, base64.b64encode(value.encode("utf-8")).decode())


class Writer:
    def __init__(self, flavour, base, domain, out):
        self.flavour = flavour
        self.base = base
        self.domain = domain
        self.out = out
        self.rng = random.Random(0)

    def entry(self, dn, attrs):
        lines = ["dn: " + dn] if dn.isascii() else [ldif_value("dn", dn)]
        for name, value in attrs:
            if value is None:
                continue
            values = value if isinstance(value, list) else [value]
            lines.extend(ldif_value(name, v) for v in values)
        self.out.write("\n".join(lines) + "\n\n")

    def guid(self):
        raw = bytearray(self.rng.getrandbits(8) for _ in range(16))
        raw[7] = (raw[7] & 0x0F) | 0x40  # version 4 in the little-endian Data3 field
        raw[8] = (raw[8] & 0x3F) | 0x80
        return bytes(raw)

    def container(self, dn, kind, value):
        if self.flavour == "slapd":
            attrs = [("objectClass", ["top", kind]), ({"domainDNS": "dc", "organizationalUnit": "ou",
                                                      "container": "cn"}[kind], value),
                     ("objectGUID", self.guid()), ("objectCategory", kind)]
        else:
            attrs = [("objectClass", kind)]
        self.entry(dn, attrs)

    def user(self, dn, attrs, uac=ENABLED, password=None):
        """attrs: list of (name, value or list); None values are left out."""
        if self.flavour == "slapd":
            head = [("objectClass", ["top", "person", "organizationalPerson", "user"]),
                    ("objectCategory", ["person", "user"]), ("objectGUID", self.guid())]
            if password:
                head.append(("userPassword", password))
        else:
            head = [("objectClass", "user")]
            if password:
                head.append(("unicodePwd", ('"%s"' % password).encode("utf-16-le")))
                uac = 512
        self.entry(dn, head + attrs + [("userAccountControl", str(uac))])


def person_values(rng, given, surname, sam, domain, photos, full):
    """Catalogue values for one user. full: every attribute present."""
    city, state, postal = rng.choice(CITIES)
    def phone():
        return "+%d %03d %03d-%02d-%02d" % (rng.choice([1, 7, 41, 48]), rng.randrange(100, 999),
                                            rng.randrange(100, 999), rng.randrange(100), rng.randrange(100))
    def phones(low):
        return [phone() for _ in range(rng.randrange(low, 4))]
    employee = "E%06d" % rng.randrange(1000000)
    values = {
        "givenName": given, "sn": surname,
        "displayName": " ".join(p for p in ([surname, given] if rng.random() < 0.5 else [given, surname]) if p),
        "description": ["Employee %s of the %s office" % (employee, city)],
        "physicalDeliveryOfficeName": "Room %d" % rng.randrange(100, 999),
        "telephoneNumber": phone(), "otherTelephone": phones(1),
        "mail": "%s@%s" % (sam or ascii_fold(given + (surname or "")), domain),
        "wWWHomePage": "https://www.%s/~%s" % (domain, sam or "user"),
        "title": rng.choice(TITLES), "department": rng.choice(DEPARTMENTS),
        "company": rng.choice(["Orvane Test Ltd", "ООО «Орвейн»", "Société Générale d'Essais"]),
        "initials": (given[:1] + "." + surname[:1] + ".") if surname else given[:1] + ".",
        "employeeID": employee,
        "info": "Created by the Orvane test generator; пользователь №%d" % rng.randrange(10000),
        "streetAddress": "%d %s" % (rng.randrange(1, 200), rng.choice(STREETS)),
        "street": "%s %d" % (rng.choice(STREETS), rng.randrange(1, 200)),
        "st": state, "postOfficeBox": "PO Box %d" % rng.randrange(1, 9999), "l": city,
        "postalCode": postal,
        "url": ["https://intranet.%s/people/%s" % (domain, sam or "x")] +
               (["https://blog.example.org/%s" % (sam or "x")] if rng.random() < 0.4 else []),
        "userPrincipalName": "%s@%s" % (sam, domain) if sam else None,
        "userWorkstations": "WS%03d,WS%03d" % (rng.randrange(1000), rng.randrange(1000)),
        "profilePath": "\\\\fs01\\profiles\\%s" % (sam or "x"),
        "scriptPath": "logon.cmd", "homeDirectory": "\\\\fs01\\home\\%s" % (sam or "x"),
        "homeDrive": "H:", "homePhone": phone(), "otherHomePhone": phones(0),
        "pager": phone(), "otherPager": phones(0), "mobile": phone(), "otherMobile": phones(1),
        "facsimileTelephoneNumber": phone(), "otherFacsimileTelephoneNumber": phones(0),
        "ipPhone": "%d" % rng.randrange(1000, 9999), "otherIpPhone": phones(0),
    }
    if not full:
        for name in list(values):
            if name not in ("givenName", "sn", "displayName", "mail") and rng.random() < 0.15:
                values[name] = None
    values = {k: (v if v != [] else None) for k, v in values.items()}
    if photos and (full or rng.random() < 0.12):
        values["thumbnailPhoto"] = rng.choice(photos)
    return values


def catalogue_attrs(sam, values):
    attrs = [("cn", values.pop("cn"))]
    if sam:
        attrs.append(("sAMAccountName", sam))
    for name, value in values.items():
        attrs.append((name, value))
    return attrs


def make_users(w, parent, count, rng, photos, used_cn, used_sam, full, allow_no_sam, prefix=""):
    pools = [(LATIN_GIVEN, LATIN_SURNAMES), (ACCENTED_GIVEN, ACCENTED_SURNAMES),
             (CYRILLIC_GIVEN, CYRILLIC_SURNAMES)]
    for i in range(count):
        given_pool, surname_pool = pools[i % 3]
        given = rng.choice(given_pool)
        surname = rng.choice(surname_pool)
        if full and i % 5 == 0:
            # A fifth of the bulk users share a first letter, as the Find
            # benchmark lists: about 2,000 of 10,000 for "A".
            surname = rng.choice(A_SURNAMES)
        if not full and i % 40 == 39:
            surname = None  # some users have no surname at all
        cn = "%s %s" % (given, surname) if surname else given
        n = 2
        base_cn = cn
        while cn.lower() in used_cn:
            cn = "%s %d" % (base_cn, n)
            n += 1
        used_cn.add(cn.lower())
        sam = None
        if not (allow_no_sam and i % 25 == 24):
            stem = prefix + ascii_fold(given[:1] + (surname or given))[:16] or "user"
            sam = stem
            n = 2
            while sam in used_sam:
                sam = "%s%d" % (stem[:20 - len(str(n))], n)
                n += 1
            used_sam.add(sam)
        values = person_values(rng, given, surname, sam, w.domain, photos, full)
        values["cn"] = cn
        uac = DISABLED if i % 7 == 3 else ENABLED
        w.user("CN=%s,%s" % (escape_rdn(cn), parent), catalogue_attrs(sam, values), uac)


def escape_rdn(value):
    out = value
    for ch in "\\,+\"<>;=":
        out = out.replace(ch, "\\" + ch)
    if out.startswith("#") or out.startswith(" "):
        out = "\\" + out
    return out


# Values of the user CN=Fixture Full; the integration tests hold the same table.
FIXTURE_FULL = [
    ("givenName", "Ёлка"), ("sn", "Аксёнова-Núñez"), ("displayName", "Аксёнова-Núñez Ёлка"),
    ("description", ["Fixture user with every attribute"]),
    ("physicalDeliveryOfficeName", "Room 101"), ("telephoneNumber", "+7 495 123-45-67"),
    ("mail", "fixture.full@{domain}"), ("wWWHomePage", "https://www.example.org/~full"),
    ("title", "Главный инженер"), ("department", "Recherche et développement"),
    ("company", "ООО «Орвейн»"), ("otherTelephone", ["111", "222", "333"]), ("initials", "Ё.А."),
    ("employeeID", "E000001"), ("info", "Line one; line two"), ("streetAddress", "1 Main Street"),
    ("street", "Bahnhofstraße 5"), ("st", "ZH"), ("url", ["https://a.example.org", "https://b.example.org"]),
    ("postOfficeBox", "PO Box 42"), ("l", "Zürich"), ("postalCode", "8001"),
    ("userPrincipalName", "fixture.full@{domain}"), ("userWorkstations", "WS001,WS002"),
    ("profilePath", "\\\\fs01\\profiles\\fixture.full"), ("scriptPath", "logon.cmd"),
    ("homeDirectory", "\\\\fs01\\home\\fixture.full"), ("homeDrive", "H:"),
    ("homePhone", "+41 44 000 00 01"), ("otherHomePhone", ["h1", "h2", "h3"]),
    ("pager", "+41 44 000 00 02"), ("otherPager", ["p1", "p2", "p3"]),
    ("mobile", "+41 79 000 00 03"), ("otherMobile", ["m1", "m2", "m3"]),
    ("facsimileTelephoneNumber", "+41 44 000 00 04"), ("otherFacsimileTelephoneNumber", ["f1", "f2", "f3"]),
    ("ipPhone", "4001"), ("otherIpPhone", ["i1", "i2", "i3"]),
]


def fixtures(w, parent, photos):
    full = [(k, v.replace("{domain}", w.domain) if isinstance(v, str) else v) for k, v in FIXTURE_FULL]
    attrs = [("cn", "Fixture Full"), ("sAMAccountName", "fixture.full")] + full
    if photos:
        attrs.append(("thumbnailPhoto", photos[0]))
    w.user("CN=Fixture Full," + parent, attrs)
    w.user("CN=Fixture Sparse," + parent, [("cn", "Fixture Sparse"), ("sn", "Sparse"),
                                           ("sAMAccountName", "fixture.sparse")])
    w.user("CN=Fixture Disabled," + parent, [("cn", "Fixture Disabled"), ("sn", "Disabled"),
                                             ("sAMAccountName", "fixture.disabled")], DISABLED)
    if w.flavour == "slapd":
        w.user("CN=Fixture NoSam," + parent, [("cn", "Fixture NoSam"), ("sn", "NoSam")])
    w.user("CN=Bind User," + parent, [("cn", "Bind User"), ("sn", "User"), ("sAMAccountName", "bind.user"),
                                      ("userPrincipalName", "bind.user@" + w.domain)],
           password=BIND_PASSWORD)
    for i in range(1, 11):
        w.user("CN=Writer %02d,%s" % (i, parent),
               [("cn", "Writer %02d" % i), ("sn", "Writer"), ("givenName", "W%02d" % i),
                ("sAMAccountName", "writer%02d" % i), ("title", "Initial title"),
                ("otherTelephone", ["100", "200"])])
    # Surnames that begin with a filter or command-string special character.
    for cn, sn, sam in [("Fixture Paren", "(Paren", "fixture.paren"), ("Fixture Star", "*Star", "fixture.star"),
                        ("Fixture Quote", "'Quote", "fixture.quote"),
                        ("Fixture Backslash", "\\Backslash", "fixture.backslash")]:
        w.user("CN=%s,%s" % (cn, parent), [("cn", cn), ("sn", sn), ("sAMAccountName", sam)])
    # Users the directory-operation tests write (search, write, account, photo).
    for i in range(1, 9):
        attrs = [("cn", "Editor %02d" % i), ("sn", "Editor"), ("givenName", "E%02d" % i),
                 ("sAMAccountName", "editor%02d" % i), ("title", "Initial title"),
                 ("otherTelephone", ["100", "200"])]
        if photos and i >= 7:
            attrs.append(("thumbnailPhoto", photos[1 % len(photos)]))
        w.user("CN=Editor %02d,%s" % (i, parent), attrs)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--flavour", choices=["slapd", "samba"], required=True)
    ap.add_argument("--base", required=True, help="base DN, e.g. DC=orvane,DC=test")
    ap.add_argument("--domain", default="orvane.test", help="DNS domain for mail and UPN values")
    ap.add_argument("--staff", type=int, default=250)
    ap.add_argument("--child", type=int, default=6)
    ap.add_argument("--bulk", type=int, default=0)
    ap.add_argument("--no-fixtures", action="store_true")
    ap.add_argument("--with-base", action="store_true", help="also write the base entry (slapd)")
    ap.add_argument("--photos", help="folder of *.jpg files to use as photos")
    ap.add_argument("--seed", type=int, default=5)
    args = ap.parse_args()

    photos = []
    if args.photos:
        for name in sorted(os.listdir(args.photos)):
            if name.endswith(".jpg"):
                with open(os.path.join(args.photos, name), "rb") as f:
                    photos.append(f.read())

    out = sys.stdout
    w = Writer(args.flavour, args.base, args.domain, out)
    w.rng = random.Random(args.seed * 7919)
    rng = random.Random(args.seed)
    if args.with_base:
        w.container(args.base, "domainDNS", args.base.split(",")[0].split("=", 1)[1])
    staff = "OU=Staff," + args.base
    w.container(staff, "organizationalUnit", "Staff")
    used_cn, used_sam = set(), set()
    make_users(w, staff, args.staff, rng, photos, used_cn, used_sam, False, args.flavour == "slapd")
    if not args.no_fixtures:
        parent = "OU=Fixtures," + args.base
        w.container(parent, "organizationalUnit", "Fixtures")
        fixtures(w, parent, photos)
    if args.child:
        child = "DC=child," + args.base
        w.container(child, "domainDNS", "child")
        make_users(w, child, args.child, rng, photos, set(), used_sam, False, False, "c")
    if args.bulk:
        bulk = "OU=Bulk," + args.base
        w.container(bulk, "organizationalUnit", "Bulk")
        make_users(w, bulk, args.bulk, rng, photos, set(), used_sam, True, False, "b")


if __name__ == "__main__":
    main()
