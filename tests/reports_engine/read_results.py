# Reads an exported results page and its CSV files with independent readers: the page through
# html5lib in strict mode (any parse error fails), the CSV files through the csv module.
# Prints what was read as JSON: the page's title, its heading, its scripts and outside links,
# every table's rows of cell texts, and every CSV file's rows.
import csv
import json
import sys

import html5lib

with open(sys.argv[1], "rb") as page:
    document = html5lib.HTMLParser(strict=True, namespaceHTMLElements=False).parse(page)
tables = []
for table in document.iter("table"):
    tables.append([["".join(cell.itertext()) for cell in row if cell.tag in ("td", "th")]
                   for row in table.iter("tr")])
outside = [e.get("src") or e.get("href") for e in document.iter()
           if e.get("src") or (e.tag == "link" and e.get("href"))]
result = {
    "title": "".join(document.find(".//title").itertext()),
    "h1": "".join(document.find(".//h1").itertext()),
    "scripts": len(list(document.iter("script"))),
    "outside": outside,
    "tables": tables,
    "csv": [],
}
for name in sys.argv[2:]:
    with open(name, newline="", encoding="utf-8") as f:
        result["csv"].append(list(csv.reader(f, strict=True)))
print(json.dumps(result))
