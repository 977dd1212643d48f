#!/usr/bin/env python3
"""Reads a workbook as a spreadsheet program would and prints what its first sheet holds as JSON.

Usage: xlsx_read.py WORKBOOK [NEEDLE...]
Printed: the sheet names, the first sheet's frozen cell, filter range and column widths, every
cell of its used range (the value a spreadsheet shows and its type, the formula behind it, fill,
link, comment, bold, number format), and for each NEEDLE the zip members whose bytes
(uncompressed) hold it.
"""

import json
import sys
import zipfile

import openpyxl


def cell_of(cell, shown):
    fill = None
    if cell.fill is not None and cell.fill.patternType == "solid":
        fill = cell.fill.fgColor.rgb
    return {
        "value": shown.value,
        "type": shown.data_type,
        "formula": cell.value if cell.data_type == "f" else None,
        "fill": fill,
        "link": cell.hyperlink.target if cell.hyperlink is not None else None,
        "comment": cell.comment.text if cell.comment is not None else None,
        "bold": bool(cell.font.b),
        "format": cell.number_format,
    }


def main():
    path = sys.argv[1]
    needles = sys.argv[2:]
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    # The values a spreadsheet shows: a formula's stored result.
    shown = openpyxl.load_workbook(path, data_only=True).worksheets[0]
    found = {}
    with zipfile.ZipFile(path) as archive:
        for needle in needles:
            found[needle] = [
                name for name in archive.namelist() if needle.encode() in archive.read(name)
            ]
    widths = {
        letter: dim.width for letter, dim in sheet.column_dimensions.items() if dim.width
    }
    print(json.dumps({
        "sheets": book.sheetnames,
        "freeze": sheet.freeze_panes,
        "filter": sheet.auto_filter.ref,
        "widths": widths,
        "rows": [
            [cell_of(c, s) for c, s in zip(row, shown_row)]
            for row, shown_row in zip(sheet.iter_rows(), shown.iter_rows())
        ],
        "found": found,
    }))


if __name__ == "__main__":
    main()
