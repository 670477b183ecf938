#!/usr/bin/python3
"""Users of a directory like a real one, for the whole-process benchmarks.

Writes an LDIF file of N users for scripts/test-directories --ldif (slapd
flavour of the test generator: the Active Directory user schema, objectGUID,
userAccountControl) and a tab-separated file of the HR columns of the same
users, from which bench/write_hr_workbook.py makes the HR workbook.

The mix is the one an administrator sees: every catalogue attribute set
(43 read per user with cn, sAMAccountName, objectGUID, distinguishedName),
60 % English, 20 % accented Latin and 20 % Cyrillic names, a fifth of the
surnames beginning with "S" (the letter the plan benchmark lists), a third
of the users with 1-3 otherTelephone values, 3 % with a photo, 5 % disabled,
and 2 % in a child domain (DC=branch), which the program leaves out. Keys
(employeeID, sAMAccountName, cn) are unique by construction, so the output
takes time in proportion to N. Deterministic for a given --seed.

  bench/generate_directory.py --users N --ldif FILE --hr FILE [--base DN]
"""

import argparse
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "directory"))
import generate_users as g  # noqa: E402  (name pools, LDIF writer, value maker)

S_ENGLISH = ["Smith", "Scott", "Stewart", "Sanders", "Sullivan", "Stone", "Spencer", "Simmons"]
S_ACCENTED = ["Sánchez", "Sørensen", "Szabó", "Schröder", "Ståhl", "Sáez"]
HR_COLUMNS = ["employeeID", "sn", "givenName", "title", "department", "telephoneNumber", "mail",
              "otherTelephone", "sAMAccountName"]


def pools_for(i, rng):
    """(given pool, surname pool) by the script mix: 60 / 20 / 20."""
    k = i % 10
    if k < 6:
        return g.LATIN_GIVEN, (S_ENGLISH if rng.random() < 0.25 else g.LATIN_SURNAMES)
    if k < 8:
        return g.ACCENTED_GIVEN, (S_ACCENTED if rng.random() < 0.25 else g.ACCENTED_SURNAMES)
    return g.CYRILLIC_GIVEN, g.CYRILLIC_SURNAMES


def user(w, rng, i, parent, photos, hr):
    given_pool, surname_pool = pools_for(i, rng)
    given = rng.choice(given_pool)
    surname = rng.choice(surname_pool)
    sam = ("%s%s" % (g.ascii_fold(given[:1] + surname)[:12], g.ascii_fold(str(i)))) or "u%d" % i
    values = g.person_values(rng, given, surname, sam, w.domain, [], True)
    values["employeeID"] = "E%07d" % i
    values["otherTelephone"] = values["otherTelephone"][:rng.randrange(1, 4)] if i % 3 == 0 else None
    if photos and rng.random() < 0.03:
        values["thumbnailPhoto"] = rng.choice(photos)
    cn = "%s %s %d" % (given, surname, i)
    values["cn"] = cn
    uac = g.DISABLED if rng.random() < 0.05 else g.ENABLED
    w.user("CN=%s,%s" % (g.escape_rdn(cn), parent), g.catalogue_attrs(sam, values), uac)
    if hr is not None:
        row = [values.get(name) or "" for name in HR_COLUMNS[:-1]] + [sam]
        row[7] = ";".join(values["otherTelephone"] or [])
        # A fifth of the HR rows carry news for the directory: a new title or phone.
        if rng.random() < 0.2:
            row[3] = rng.choice(g.TITLES) + " II"
        if rng.random() < 0.05:
            row[5] = "+41 44 %03d %02d %02d" % (rng.randrange(1000), rng.randrange(100), rng.randrange(100))
        hr.write("\t".join(v.replace("\t", " ") for v in row) + "\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--users", type=int, required=True)
    ap.add_argument("--ldif", required=True)
    ap.add_argument("--hr", required=True, help="tab-separated HR columns of the users, header first")
    ap.add_argument("--base", default="DC=orvane,DC=test")
    ap.add_argument("--domain", default="orvane.test")
    ap.add_argument("--seed", type=int, default=11)
    args = ap.parse_args()

    photos = []
    folder = os.path.join(HERE, "..", "tests", "directory", "fixtures")
    for name in sorted(os.listdir(folder)):
        if name.endswith(".jpg"):
            with open(os.path.join(folder, name), "rb") as f:
                photos.append(f.read())
    rng = random.Random(args.seed)
    with open(args.ldif, "w", encoding="utf-8") as out, open(args.hr, "w", encoding="utf-8") as hr:
        w = g.Writer("slapd", args.base, args.domain, out)
        w.rng = random.Random(args.seed * 7919)
        people = "OU=People," + args.base
        branch = "DC=branch," + args.base
        w.container(people, "organizationalUnit", "People")
        w.container(branch, "domainDNS", "branch")
        branchPeople = "OU=People," + branch
        w.container(branchPeople, "organizationalUnit", "People")
        hr.write("\t".join(HR_COLUMNS) + "\n")
        for i in range(1, args.users + 1):
            if i % 50 == 0:
                user(w, rng, i, branchPeople, photos, None)
            else:
                user(w, rng, i, people, photos, hr)


if __name__ == "__main__":
    main()
