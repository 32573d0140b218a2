#!/usr/bin/env python3
"""Writes the Windows help project (contents, keyword index, project file) from the Qt help
project, so both help files come from the same pages and the same keywords:

    make_chm.py kadrill.qhp OUTPUT_DIR

The pages and the stylesheet are copied into OUTPUT_DIR beside the project; chmcmd then
compiles OUTPUT_DIR/kadrill.hhp into kadrill.chm. The sitemaps are in code page 932, the
Japanese help viewer's own."""
import html
import shutil
import sys
import xml.etree.ElementTree as ET
from pathlib import Path


def entry(name: str, ref: str) -> str:
    return ('<LI> <OBJECT type="text/sitemap">\n'
            f'<param name="Name" value="{html.escape(name)}">\n'
            f'<param name="Local" value="{html.escape(ref)}">\n'
            '</OBJECT>\n')


def sections(parent) -> str:
    out = "<UL>\n"
    for section in parent.findall("section"):
        out += entry(section.get("title"), section.get("ref"))
        if section.find("section") is not None:
            out += sections(section)
    return out + "</UL>\n"


def sitemap(body: str) -> str:
    return ('<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML//EN">\n<HTML>\n<HEAD>\n'
            '<meta http-equiv="Content-Type" content="text/html; charset=shift_jis">\n'
            '</HEAD>\n<BODY>\n' + body + "</BODY>\n</HTML>\n")


def main() -> int:
    qhp, out = Path(sys.argv[1]), Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    section = ET.parse(qhp).getroot().find("filterSection")
    files = [f.text for f in section.find("files").findall("file")]
    for name in files:
        shutil.copyfile(qhp.parent / name, out / name)

    (out / "kadrill.hhc").write_bytes(sitemap(sections(section.find("toc"))).encode("cp932"))
    # Keywords in the order the index shows them; one entry per name, several pages under it.
    by_name: dict[str, list[str]] = {}
    for keyword in section.find("keywords").findall("keyword"):
        by_name.setdefault(keyword.get("name"), []).append(keyword.get("ref"))
    index = "<UL>\n"
    for name in sorted(by_name, key=str.casefold):
        index += ('<LI> <OBJECT type="text/sitemap">\n'
                  f'<param name="Name" value="{html.escape(name)}">\n')
        for ref in by_name[name]:
            index += f'<param name="Local" value="{html.escape(ref)}">\n'
        index += "</OBJECT>\n"
    index += "</UL>\n"
    (out / "kadrill.hhk").write_bytes(sitemap(index).encode("cp932"))

    title = section.find("toc").find("section").get("title")
    project = ("[OPTIONS]\r\n"
               "Compatibility=1.1 or later\r\n"
               "Compiled file=kadrill.chm\r\n"
               "Contents file=kadrill.hhc\r\n"
               "Index file=kadrill.hhk\r\n"
               "Default topic=index.html\r\n"
               "Display compile progress=No\r\n"
               "Full-text search=Yes\r\n"
               "Language=0x411 Japanese\r\n"
               f"Title={title}\r\n"
               "\r\n[FILES]\r\n" + "".join(f"{name}\r\n" for name in files))
    (out / "kadrill.hhp").write_bytes(project.encode("cp932"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
