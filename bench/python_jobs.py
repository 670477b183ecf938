#!/usr/bin/python3
"""The jobs of orvane-sync done by a plain script (python3-ldap, python3-openpyxl),
the yardstick of the whole-process benchmarks: what an administrator would
write instead of the program.

  plan --letter X --workbook HR.xlsx   the users whose surname begins with X,
      with the 43 attributes the program reads, each compared with the row of
      its employeeID in the HR workbook (columns: employeeID, sn, givenName,
      title, department, telephoneNumber, mail, otherTelephone joined with ";",
      sAMAccountName); prints one line per differing value and the count
  export --workbook OUT.xlsx   every user, the nine HR attributes, one row each
      below a header, written with openpyxl and saved

The directory comes from ORVANE_SLAPD_* (scripts/test-directories' env file),
over StartTLS with the CA in LDAPTLS_CACERT, paged by 1,000 like the program.
"""

import argparse
import os
import sys

import ldap
from ldap.controls import SimplePagedResultsControl
from openpyxl import Workbook, load_workbook

CATALOGUE = ["givenName", "sn", "displayName", "description", "physicalDeliveryOfficeName",
             "telephoneNumber", "mail", "wWWHomePage", "title", "department", "company",
             "otherTelephone", "initials", "employeeID", "info", "streetAddress", "street", "st", "url",
             "postOfficeBox", "l", "postalCode", "userPrincipalName", "userWorkstations", "profilePath",
             "scriptPath", "homeDirectory", "homeDrive", "homePhone", "otherHomePhone", "pager",
             "otherPager", "mobile", "otherMobile", "facsimileTelephoneNumber",
             "otherFacsimileTelephoneNumber", "ipPhone", "otherIpPhone", "thumbnailPhoto"]
READ = CATALOGUE + ["cn", "sAMAccountName", "objectGUID", "distinguishedName"]
HR = ["employeeID", "sn", "givenName", "title", "department", "telephoneNumber", "mail", "otherTelephone",
      "sAMAccountName"]
MULTI = {"otherTelephone"}


def connect():
    conn = ldap.initialize("ldap://%s:%s" % (os.environ["ORVANE_SLAPD_HOST"], os.environ["ORVANE_SLAPD_PORT"]))
    conn.set_option(ldap.OPT_PROTOCOL_VERSION, 3)
    conn.set_option(ldap.OPT_REFERRALS, 0)
    conn.set_option(ldap.OPT_X_TLS_CACERTFILE, os.environ["LDAPTLS_CACERT"])
    conn.set_option(ldap.OPT_X_TLS_NEWCTX, 0)
    conn.start_tls_s()
    conn.simple_bind_s(os.environ["ORVANE_SLAPD_ADMIN"], os.environ["ORVANE_SLAPD_PASSWORD"])
    return conn


def search(conn, filterText, attributes):
    """Every entry of a paged subtree search, as (dn, {name: [bytes]})."""
    base = os.environ["ORVANE_SLAPD_BASE"]
    page = SimplePagedResultsControl(True, size=1000, cookie="")
    while True:
        msgid = conn.search_ext(base, ldap.SCOPE_SUBTREE, filterText, attributes, serverctrls=[page])
        _, entries, _, controls = conn.result3(msgid)
        for dn, attrs in entries:
            if dn:
                yield dn, attrs
        cookie = next((c.cookie for c in controls if c.controlType == SimplePagedResultsControl.controlType), b"")
        if not cookie:
            return
        page.cookie = cookie


def text(attrs, name):
    values = [v.decode("utf-8") for v in attrs.get(name, [])]
    return ";".join(values) if name in MULTI else (values[0] if values else "")


def plan(args):
    rows = {}
    sheet = load_workbook(args.workbook, read_only=True).active
    for row in sheet.iter_rows(min_row=2, values_only=True):
        key = "" if row[0] is None else str(row[0])
        rows.setdefault(key.upper(), row)
    conn = connect()
    changes = 0
    out = sys.stdout
    users = 0
    filterText = "(&(objectCategory=person)(objectClass=user)(sn=%s*))" % args.letter
    for dn, attrs in search(conn, filterText, READ):
        users += 1
        row = rows.get(text(attrs, "employeeID").upper())
        if row is None:
            continue
        for column, name in enumerate(HR[1:], start=1):
            wanted = "" if row[column] is None else str(row[column])
            if wanted != text(attrs, name):
                changes += 1
                out.write("%s\t%s\t%s\t%s\n" % (dn, name, text(attrs, name), wanted))
    out.write("%d users, %d changes\n" % (users, changes))


def export(args):
    book = Workbook(write_only=True)
    sheet = book.create_sheet("Export")
    sheet.append(HR)
    conn = connect()
    n = 0
    for _, attrs in search(conn, "(&(objectCategory=person)(objectClass=user))", HR):
        sheet.append([text(attrs, name) for name in HR])
        n += 1
    book.save(args.workbook)
    print("%d users exported" % n)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("job", choices=["plan", "export"])
    ap.add_argument("--letter", default="S")
    ap.add_argument("--workbook", required=True)
    args = ap.parse_args()
    plan(args) if args.job == "plan" else export(args)


if __name__ == "__main__":
    main()
