#!/usr/bin/env python3
"""Writes expectations.tsv: for each msg_*.txt beside this script, the
attachment files Corvina's parser should create, as Python's email package
sees the message structure.

Python parses the structure (multipart nesting, boundaries, content types,
parameters with RFC 2231 decoding, RFC 2047 words in names); the rules that
decide which parts become files and how the files are named are Corvina's
own and are restated here:
- a part without a Content-Type header is text/plain (Python would say
  message/rfc822 inside multipart/digest);
- a part is shown text when the type's table row is text/plain, or, for a
  type without a row, when its main type is text or message;
- a part gets a file when it is not shown text, or when it is base64-encoded
  shown text inside a multipart; multipart/signed and multipart/encrypted
  messages are not split;
- a message/rfc822 part is a leaf (stored as a .eml file); a multipart part
  whose parts cannot be found holds no file;
- names: the Content-Type "name" first, the Content-Disposition "filename"
  when there is no name or when it is written in the RFC 2231 form; a name
  without "." gets the type's first extension; "Atch%04x.<ext>" when there is
  no name; "%02x_" prefixes on collisions within the message.

Run: python3 make_expectations.py > expectations.tsv
Output lines: file name, tab, attachment count, tab, names joined by "|",
tab, a note where the line departs from Python's reading (see OVERRIDES).
"""

import email
import email.header
import email.utils
import glob
import os
import re
import sys

TABLE = {
    "text/plain": ["txt", "text"], "text/html": ["html", "htm"],
    "image/gif": ["gif"], "image/jpeg": ["jpg", "jpeg", "jpe"],
    "image/tiff": ["tiff", "tif"], "image/x-ms-bmp": ["bmp"],
    "audio/basic": ["au", "snd"], "audio/x-aiff": ["aiff", "aif"],
    "audio/x-wav": ["wav"], "audio/x-pn-realaudio": ["ra", "ram"],
    "video/quicktime": ["qt", "mov"], "application/octet-stream": ["bin", "exe"],
    "application/mac-binhex40": ["hqx"], "application/x-uuencode": ["uue", "uu"],
    "application/postscript": ["eps", "ps", "ai"], "application/rtf": ["rtf"],
    "application/x-zip-compressed": ["zip"], "application/x-stuffit": ["sit"],
    "message/rfc822": ["eml"], "video/mpeg": ["mpg", "mpeg", "mpe"],
    "video/x-msvideo": ["avi"],
}


def content_type(part):
    if part.get("content-type") is None:
        return "text/plain"
    return part.get_content_type()


def shown(ctype):
    if ctype in TABLE:
        return ctype == "text/plain"
    return ctype.split("/")[0] in ("text", "message")


def decode_words(value):
    if value is None:
        return None
    value = email.utils.collapse_rfc2231_value(value)
    try:
        return str(email.header.make_header(email.header.decode_header(value)))
    except Exception:
        return value


def safe_name(name):
    name = re.split(r"[/\\]", name)[-1]
    name = "".join("_" if ord(c) < 0x20 or ord(c) == 0x7F else c for c in name)
    name = name.lstrip(". ").rstrip(" ")
    if name.strip("._ ") == "":
        return ""
    return name


class Namer:
    def __init__(self):
        self.taken = set()

    def create(self, given, ctype):
        row = TABLE.get(ctype)
        ext = row[0] if row else ""
        name = safe_name(given or "")
        if name:
            if "." not in name:
                if ext:
                    name += "." + ext
            elif ctype == "application/mac-binhex40":
                name = name.rsplit(".", 1)[0] + ".hqx"
            elif ctype == "application/x-uuencode":
                name = name.rsplit(".", 1)[0] + ".uue"
            for candidate in [name] + ["%02x_%s" % (i, name) for i in range(256)]:
                if candidate not in self.taken:
                    self.taken.add(candidate)
                    return candidate
        counter = 0
        while True:
            candidate = "Atch%04x" % counter + ("." + ext if ext else "")
            counter += 1
            if candidate not in self.taken:
                self.taken.add(candidate)
                return candidate


def leaf(part, namer, out, single):
    ctype = content_type(part)
    if ctype.startswith("multipart/"):
        return  # a multipart whose parts could not be found holds no file
    cte = (part.get("content-transfer-encoding") or "7bit").strip().lower()
    if cte == "x-uuencode":
        ctype = "application/x-uuencode"
    is_shown = shown(ctype)
    if is_shown and not (cte == "base64" and not single):
        return
    raw_disposition = part.get("content-disposition") or ""
    name = decode_words(part.get_param("name", header="content-type"))
    filename = decode_words(part.get_param("filename", header="content-disposition"))
    if filename and (not name or "filename*" in raw_disposition.lower()):
        name = filename
    out.append(namer.create(name, ctype))


def walk(part, namer, out):
    ctype = content_type(part)
    if part.get_content_maintype() == "multipart" and part.is_multipart():
        for sub in part.get_payload():
            walk(sub, namer, out)
    else:
        leaf(part, namer, out, False)


def expectations(path):
    with open(path, "rb") as fh:
        msg = email.message_from_binary_file(fh)
    namer = Namer()
    out = []
    ctype = msg.get_content_type()
    if msg.get_content_maintype() == "multipart":
        if msg.get_content_subtype() in ("signed", "encrypted") or not msg.is_multipart():
            return out
        for sub in msg.get_payload():
            walk(sub, namer, out)
        return out
    cte = (msg.get("content-transfer-encoding") or "7bit").strip().lower()
    if not shown(ctype) or cte in ("base64", "quoted-printable"):
        if ctype != "application/x-www-form-urlencoded":
            leaf(msg, namer, out, True)
    return out


# Where Python's reading of a malformed structure loses parts that the
# walker keeps, the file's line says what the walker finds and why.
# A nested multipart that reuses its parent's boundary: Python ends the
# parent at the nested closing line and drops the parts after it; the walker
# closes only the nested level there and goes on with the parent's parts.
OVERRIDES = {
    "msg_15.txt": (["Atch0000.html", "xx.gif"],
                   "nested multipart reuses the parent boundary; Python drops xx.gif"),
    "msg_39.txt": (["Atch0000.bin", "Atch0001.bin", "Atch0002.bin", "Atch0003.bin",
                    "Atch0004.bin", "Atch0005.bin"],
                   "three nested multiparts reuse the parent boundary; Python keeps 2 of the 6 parts"),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for path in sorted(glob.glob(os.path.join(here, "msg_*.txt"))):
        base = os.path.basename(path)
        names = expectations(path)
        note = ""
        if base in OVERRIDES:
            note = "python: %s; %s" % ("|".join(names) or "-", OVERRIDES[base][1])
            names = OVERRIDES[base][0]
        sys.stdout.write("%s\t%d\t%s\t%s\n" % (base, len(names), "|".join(names), note))


if __name__ == "__main__":
    main()
